// The dialogues through Debian's ser2net, over raw TCP and over Telnet with
// the COM port option, against the virtual controller behind it: the same
// frames as on a local port, line settings that reach the terminal, and a
// server that dies in the middle of a transfer.
//
// Skipped, saying why, when ser2net cannot be started.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "link/Ser2netServer.h"
#include "nc/TransferRig.h"
#include "param/ParameterRig.h"
#include "plc/PlcRig.h"

namespace zar {
namespace {

using namespace std::chrono_literals;
using V = std::vector<std::string>;

#define START_SER2NET(server, device)                                           \
  test::Ser2netServer server(device);                                           \
  if (!server.usable()) GTEST_SKIP() << "ser2net cannot be started: " << server.why()

// A reply through the server comes a little later than on a direct line:
// time-outs with room for a loaded machine.
LinkSettings patient(LinkSettings s) {
  s.timeoutMs = 1000;
  return s;
}

void routeCom2(TComm& comm, const std::string& url) {
  comm.SetPathResolver([url](const std::string& name) { return name == "COM2" ? url : std::string(); });
}

// The output rate the terminal is set to, as the server left it.
speed_t terminalSpeed(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return 0;
  termios t{};
  const speed_t speed = ::tcgetattr(fd, &t) == 0 ? cfgetospeed(&t) : 0;
  ::close(fd);
  return speed;
}

// Receives the controller's PLC image through the server and sends it back
// into a cleared controller: the same records both ways.
void plcRoundTrip(bool telnet) {
  plc::test::Rig rig({}, patient(plc::test::fastSettings()));
  ASSERT_TRUE(rig.startError.empty()) << rig.startError;
  START_SER2NET(server, rig.ctrl.devicePath());
  routeCom2(rig.comm, telnet ? server.telnetUrl() : server.rawUrl());
  const std::vector<std::string> image = controller::samplePlcImage();
  rig.ctrl.setPlcImage(image);
  ASSERT_EQ(rig.transfer.receiveImage(), DialogueOutcome::Done) << ::testing::PrintToString(rig.messages());
  EXPECT_EQ(rig.transfer.records(), image);

  rig.ctrl.setPlcImage({});
  rig.editor() = rig.transfer.records();  // an image in the editor is sent as it stands
  std::this_thread::sleep_for(300ms);      // the server lets go of the device a moment after a client
  ASSERT_EQ(rig.send(), DialogueOutcome::Done) << ::testing::PrintToString(rig.messages());
  EXPECT_EQ(rig.ctrl.plcImage(), image);
}

TEST(Ser2net, PlcImageBothWaysOverRawTcp) { plcRoundTrip(false); }
TEST(Ser2net, PlcImageBothWaysOverComPortOption) { plcRoundTrip(true); }

// Sends and receives a program on a direct line and through the server:
// the controller must see the same frames and end with the same program.
void programRoundTrip(bool telnet) {
  nc::test::Rig direct;
  ASSERT_TRUE(direct.startError.empty()) << direct.startError;
  nc::test::Rig networked({}, patient(nc::test::fastSettings()));
  ASSERT_TRUE(networked.startError.empty()) << networked.startError;
  START_SER2NET(server, networked.ctrl.devicePath());
  routeCom2(networked.comm, telnet ? server.telnetUrl() : server.rawUrl());

  // Bytes a Telnet layer must carry untouched: 0xFF, a CR NUL pair, high bytes.
  const V program = {"G00 X0 Y0", std::string("(\xff\xfe marks)", 10), "", "G01 X10.5 F200", "M30"};
  for (nc::test::Rig* rig : {&direct, &networked}) {
    rig->ctrl.setProgram(7, {"OLD", {"M30"}});
    rig->editor() = program;
    rig->page.slot = 7;
    rig->page.progName = "NETTEST";
    ASSERT_EQ(rig->transfer.TransBtnClick(rig->page), nc::TransferOutcome::Done)
        << ::testing::PrintToString(rig->log_());
  }
  EXPECT_EQ(networked.ctrl.inputFrames(), direct.ctrl.inputFrames());
  EXPECT_EQ(networked.ctrl.program(7), direct.ctrl.program(7));
  EXPECT_EQ(networked.ctrl.program(7)->lines, program);

  networked.editor().clear();
  networked.page.progName.clear();
  ASSERT_EQ(networked.transfer.RcvBtnClick(networked.page), nc::TransferOutcome::Done)
      << ::testing::PrintToString(networked.log_());
  EXPECT_EQ(networked.editor(), program);
  EXPECT_EQ(networked.page.progName, "NETTEST");
}

TEST(Ser2net, ProgramSendAndReceiveOverRawTcp) { programRoundTrip(false); }
TEST(Ser2net, ProgramSendAndReceiveOverComPortOption) { programRoundTrip(true); }

TEST(Ser2net, ParameterReceiveAndSendBothWays) {
  param::test::Rig rig({}, patient(param::test::fastSettings()));
  ASSERT_TRUE(rig.startError.empty()) << rig.startError;
  START_SER2NET(server, rig.ctrl.devicePath());
  rig.ctrl.setParameter(12, 3000);
  rig.ctrl.setParameter(20, -45);
  const std::vector<param::ParameterEntry> checked = {{"P12", 12}, {"P20", 20}};
  for (const std::string& url : {server.rawUrl(), server.telnetUrl()}) {
    std::this_thread::sleep_for(300ms);  // the server lets go of the device a moment after a client
    routeCom2(rig.comm, url);
    rig.editor().clear();
    ASSERT_EQ(rig.transfer.ParRcvBtnClick(checked), DialogueOutcome::Done)
        << ::testing::PrintToString(rig.messages());
    ASSERT_EQ(rig.transfer.received().size(), 2u);
    EXPECT_EQ(rig.transfer.received()[0].value, "3000") << url;
    EXPECT_EQ(rig.transfer.received()[1].value, "-45") << url;
  }
  rig.editor() = {"P12(12)=1234"};
  EXPECT_EQ(rig.transfer.ParTrnBtnClick(), DialogueOutcome::Done) << ::testing::PrintToString(rig.messages());
  EXPECT_EQ(rig.ctrl.parameter(12), 1234);
}

TEST(Ser2net, TheRateAskedForReachesTheTerminalOnlyWithTheComPortOption) {
  LinkSettings settings = patient(nc::test::fastSettings());
  settings.baudSelector = 1;  // 1200 baud
  nc::test::Rig rig({}, settings);
  ASSERT_TRUE(rig.startError.empty()) << rig.startError;
  START_SER2NET(server, rig.ctrl.devicePath());

  routeCom2(rig.comm, server.rawUrl());
  rig.link.ConnectRS232(1);
  ASSERT_TRUE(rig.comm.Enabled()) << rig.link.lastOpenError();
  EXPECT_EQ(terminalSpeed(rig.ctrl.devicePath()), B19200);  // the server's own setting rules raw TCP
  rig.comm.Close();

  std::this_thread::sleep_for(300ms);  // the server lets go of the device a moment after a client
  routeCom2(rig.comm, server.telnetUrl());
  rig.link.ConnectRS232(1);
  ASSERT_TRUE(rig.comm.Enabled()) << rig.link.lastOpenError();
  EXPECT_TRUE(rig.comm.OpenNotice().empty()) << rig.comm.OpenNotice();
  EXPECT_EQ(terminalSpeed(rig.ctrl.devicePath()), B1200);
  rig.comm.Close();
}

TEST(Ser2net, ASecondClientIsTurnedAwayByTheServer) {
  nc::test::Rig rig;
  ASSERT_TRUE(rig.startError.empty()) << rig.startError;
  START_SER2NET(server, rig.ctrl.devicePath());
  // Another program holds the raw port.
  const auto url = server.rawUrl();
  const int port = std::stoi(url.substr(url.rfind(':') + 1));
  const int other = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  ASSERT_EQ(::connect(other, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  std::this_thread::sleep_for(100ms);

  routeCom2(rig.comm, url);
  rig.link.ConnectRS232(1);
  EXPECT_FALSE(rig.comm.Enabled());
  EXPECT_NE(rig.link.lastOpenError().find("closed the connection at once: \"Port already in use\""),
            std::string::npos)
      << rig.link.lastOpenError();
  ::close(other);
}

TEST(Ser2net, TheDeviceHeldThroughTheOtherPortIsNamedAsTheReason) {
  nc::test::Rig rig;
  ASSERT_TRUE(rig.startError.empty()) << rig.startError;
  START_SER2NET(server, rig.ctrl.devicePath());
  TComm holder;
  holder.SetDeviceName(server.rawUrl());
  holder.Open();
  ASSERT_TRUE(holder.Enabled()) << holder.LastOpenError();
  routeCom2(rig.comm, server.telnetUrl());
  rig.link.ConnectRS232(1);
  EXPECT_FALSE(rig.comm.Enabled());
  EXPECT_NE(rig.link.lastOpenError().find("device already in use"), std::string::npos) << rig.link.lastOpenError();
}

TEST(Ser2net, ServerKilledMidTransferEndsTheDialogueAsAHangUp) {
  controller::ControllerConfig config;
  config.paceBaud = 1200;  // slow enough to be caught in the middle
  nc::test::Rig rig(config);
  ASSERT_TRUE(rig.startError.empty()) << rig.startError;
  START_SER2NET(server, rig.ctrl.devicePath());
  routeCom2(rig.comm, server.telnetUrl());
  V program;
  for (int i = 0; i < 200; ++i) program.push_back("G01 X" + std::to_string(i) + " Y" + std::to_string(i));
  rig.editor() = program;
  rig.page.slot = 3;
  rig.page.progName = "LONG";

  std::thread killer([&] {
    rig.ctrl.waitForFrames(12, 10000);
    server.kill();
  });
  const auto outcome = rig.transfer.TransBtnClick(rig.page);
  killer.join();
  EXPECT_EQ(outcome, nc::TransferOutcome::LinkFailed) << ::testing::PrintToString(rig.log_());
  EXPECT_FALSE(rig.comm.Enabled());
  // The slot is said to hold only the first lines.
  EXPECT_FALSE(rig.transfer.partialSendNote().empty());
}

}  // namespace
}  // namespace zar
