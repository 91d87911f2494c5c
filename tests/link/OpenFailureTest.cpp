// A port that does not open: message 102 names the device tried, and one
// line after it says why, for every cause.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include "link/FakeSerialDevice.h"
#include "link/Link.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"

namespace zar {
namespace {

using test::FakeSerialDevice;
using V = std::vector<std::string>;

struct Opening {
  explicit Opening(std::unique_ptr<SerialDevice> device = nullptr) : comm(std::move(device)) {}

  // Connects list index 2 (COM3), mapped to `path` when one is given.
  V connect(const std::string& path) {
    comm.SetPathResolver([path](const std::string& name) { return name == "COM3" ? path : std::string(); });
    op.messages.clear();
    link.ConnectRS232(2);
    return op.messages[Page::Program];
  }

  test::RecordingOperator op;
  MessageCatalog catalog = test::numberedCatalog("#", ":", 200);
  MessageLog log{catalog, op};
  TComm comm;
  Link link{comm, LinkSettings{}, log};
};

TEST(OpenFailure, EveryCauseGetsOneLineNamingTheDeviceTried) {
  auto fake = std::make_unique<FakeSerialDevice>();
  auto state = fake->state;
  Opening o(std::move(fake));
  const std::string dev = "/dev/ttyUSB7";
  const std::string named = "COM3 (" + dev + ")";

  struct Cause {
    const char* what;
    std::function<void()> arrange;
    std::string reasonStart;
    std::string reasonHas;
  };
  const std::vector<Cause> causes = {
      {"permission", [&] { state->openError = EACCES; }, named + ": permission denied", "usermod -aG"},
      {"busy", [&] { state->openError = EBUSY; }, named + " is in use", "close that program"},
      {"absent", [&] { state->openError = ENOENT; }, named + " is not present", "plugged in"},
      {"other errno", [&] { state->openError = EIO; }, named + ": ", "Input/output error"},
      {"not a tty", [&] { state->characterDevice = false; }, named + " is not a serial device", "terminal"},
      {"refused setting", [&] { state->setSettingsError = EINVAL; }, named + " refused the line settings",
       "9600 baud, 8 data bits, no parity"},
  };
  for (const Cause& c : causes) {
    SCOPED_TRACE(c.what);
    state->openError = 0;
    state->characterDevice = true;
    state->setSettingsError = 0;
    c.arrange();
    const V lines = o.connect(dev);
    EXPECT_FALSE(o.comm.Enabled());
    EXPECT_FALSE(state->open);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "#102:" + named);
    EXPECT_EQ(lines[1].rfind(c.reasonStart, 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(c.reasonHas), std::string::npos) << lines[1];
    EXPECT_EQ(o.link.lastOpenError(), lines[1]);
  }

  // Not assigned to a COM number: no device was tried.
  state->setSettingsError = 0;
  EXPECT_EQ(o.connect(""), (V{"#102:COM3", "COM3 is not assigned to a serial device (see Ports.ini)."}));

  // After all that, the same port opens and says so, naming its device.
  EXPECT_EQ(o.connect(dev), (V{"#101:" + named}));
  EXPECT_TRUE(o.comm.Enabled());
  EXPECT_TRUE(o.link.lastOpenError().empty());
}

TEST(OpenFailure, RealPathsThatAreNoSerialPort) {
  Opening o;
  o.link.setDevicePath("/dev/zar-no-such-port");
  o.link.ConnectRS232(0);
  EXPECT_EQ(o.op.messages[Page::Program],
            (V{"#102:/dev/zar-no-such-port", "/dev/zar-no-such-port is not present: is the adapter plugged in?"}));

  o.op.messages.clear();
  o.link.setDevicePath("/dev/null");  // a character device, but no terminal
  o.link.ConnectRS232(0);
  EXPECT_EQ(o.op.messages[Page::Program],
            (V{"#102:/dev/null", "/dev/null is not a serial device (not a terminal)."}));

  o.op.messages.clear();
  o.link.setDevicePath("/");
  o.link.ConnectRS232(0);
  ASSERT_EQ(o.op.messages[Page::Program].size(), 2u);
  EXPECT_EQ(o.op.messages[Page::Program][1], "/: " + std::string(std::strerror(EISDIR)));
  EXPECT_FALSE(o.comm.Enabled());
}

}  // namespace
}  // namespace zar
