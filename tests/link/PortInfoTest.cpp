// What `zarctl ports` says of each COM number, from a made-up /dev and /sys.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "link/PortInfo.h"

namespace zar {
namespace {

namespace fs = std::filesystem;

TEST(PortInfo, ByIdNameDriverAndLatencyOfAUsbAdapter) {
  const fs::path root = fs::temp_directory_path() / ("zar_portinfo_" + std::to_string(::getpid()));
  fs::remove_all(root);
  const fs::path dev = root / "dev", sys = root / "sys", work = root / "work";
  fs::create_directories(dev / "serial" / "by-id");
  fs::create_directories(sys / "class" / "tty" / "ttyUSB0" / "device");
  fs::create_directories(sys / "class" / "tty" / "ttyACM0" / "device");
  fs::create_directories(sys / "bus" / "usb-serial" / "drivers" / "ftdi_sio");
  fs::create_directories(work);
  std::ofstream(dev / "ttyUSB0");
  std::ofstream(dev / "ttyACM0");
  fs::create_directory_symlink(sys / "bus" / "usb-serial" / "drivers" / "ftdi_sio",
                               sys / "class" / "tty" / "ttyUSB0" / "device" / "driver");
  std::ofstream(sys / "class" / "tty" / "ttyUSB0" / "device" / "latency_timer") << "16\n";
  fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-FTDI_FT232R-if00-port0");
  std::ofstream(work / "Ports.ini") << "COM5 = " << (dev / "ttyS9").string() << "\r\n";

  PortDirectory ports(work.string(), dev.string(), sys.string());
  const std::vector<PortInfo> list = describePorts(ports, dev.string(), sys.string());
  ASSERT_EQ(list.size(), 3u);

  const PortInfo& usb = list[0];  // the by-id name comes first
  EXPECT_EQ(usb.comNumber, 1);
  EXPECT_TRUE(usb.present);
  EXPECT_EQ(usb.byId, "usb-FTDI_FT232R-if00-port0");
  EXPECT_EQ(usb.node, fs::canonical(dev / "ttyUSB0").string());
  EXPECT_EQ(usb.driver, "ftdi_sio");
  ASSERT_TRUE(usb.latencyMs);
  EXPECT_EQ(*usb.latencyMs, 16);
  const std::string advice = latencyAdvice(usb);
  EXPECT_NE(advice.find("16 ms"), std::string::npos);
  EXPECT_NE(advice.find("echo 1 | sudo tee " + (sys / "class" / "tty" / "ttyUSB0" / "device" / "latency_timer").string()),
            std::string::npos);

  const PortInfo& acm = list[1];
  EXPECT_TRUE(acm.present);
  EXPECT_FALSE(acm.latencyMs);
  EXPECT_EQ(latencyAdvice(acm), "");

  const PortInfo& gone = list[2];
  EXPECT_EQ(gone.comNumber, 5);
  EXPECT_FALSE(gone.present);

  PortInfo fast = usb;
  fast.latencyMs = 1;
  EXPECT_EQ(latencyAdvice(fast), "");
  fs::remove_all(root);
}

}  // namespace
}  // namespace zar
