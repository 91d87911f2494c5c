// COM numbers for Linux devices, against a made-up /dev and /sys.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "link/PortNames.h"
#include "support/WriteFailures.h"

namespace zar {
namespace {

namespace fs = std::filesystem;

class PortDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("zar-ports-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(dev() + "/serial/by-id");
    fs::create_directories(work());
    touch(dev() + "/ttyS0");
    touch(dev() + "/ttyS1");
    touch(dev() + "/ttyS10");
    uart("ttyS0", "4");
    uart("ttyS1", "0");  // a ttyS node without a UART behind it
    uart("ttyS10", "4");
    touch(dev() + "/ttyUSB0");
    touch(dev() + "/ttyUSB1");
    touch(dev() + "/ttyACM0");
    touch(dev() + "/ttyUSBx");  // not a numbered device
    fs::create_symlink("../../ttyUSB1", dev() + "/serial/by-id/usb-FTDI_A");
  }
  void TearDown() override { fs::remove_all(root); }

  std::string dev() const { return (root / "dev").string(); }
  std::string sys() const { return (root / "sys").string(); }
  std::string work() const { return (root / "work").string(); }
  static void touch(const std::string& path) { std::ofstream(path).put('\n'); }
  void uart(const std::string& name, const std::string& type) const {
    fs::create_directories(sys() + "/class/tty/" + name);
    std::ofstream(sys() + "/class/tty/" + name + "/type") << type << "\n";
  }
  std::string mapText() const {
    std::ifstream in(work() + "/Ports.ini", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  PortDirectory make() const { return PortDirectory(work(), dev(), sys()); }

  fs::path root;
};

TEST(PortNames, ComNumberOf) {
  EXPECT_EQ(PortDirectory::comNumberOf("COM1"), 1);
  EXPECT_EQ(PortDirectory::comNumberOf("Com2"), 2);
  EXPECT_EQ(PortDirectory::comNumberOf("com99"), 99);
  EXPECT_EQ(PortDirectory::comNumberOf("\\\\.\\COM10"), 10);
  EXPECT_EQ(PortDirectory::comNumberOf("COM0"), 0);
  EXPECT_EQ(PortDirectory::comNumberOf("COM100"), 0);
  EXPECT_EQ(PortDirectory::comNumberOf("COM07"), 0);
  EXPECT_EQ(PortDirectory::comNumberOf("COM"), 0);
  EXPECT_EQ(PortDirectory::comNumberOf("COM3x"), 0);
  EXPECT_EQ(PortDirectory::comNumberOf("LPT1"), 0);
  EXPECT_EQ(PortDirectory::comNumberOf("\\\\.\\"), 0);
}

TEST(PortNames, MapFileParsingIsForgiving) {
  const auto map = PortDirectory::parseMap(
      "; comment\r\n# another\r\nCOM3 = /dev/ttyUSB0\r\n  com4=/dev/ttyS0  \n"
      "COM5 = relative/path\nCOM0 = /dev/x\nnonsense\nCOM6 =\n=/dev/y\n\x01\x02\xff=\xfe\n"
      "COM3 = /dev/ttyUSB9");
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map.at(3), "/dev/ttyUSB9");  // the later line wins
  EXPECT_EQ(map.at(4), "/dev/ttyS0");
  EXPECT_EQ(PortDirectory::parseMap(PortDirectory::formatMap(map)), map);
}

TEST_F(PortDirectoryTest, NumbersDevicesOnceAndRecordsThem) {
  PortDirectory ports = make();
  EXPECT_EQ(ports.scanDevices(), (std::vector<std::string>{dev() + "/ttyS0", dev() + "/ttyS10",
                                                           dev() + "/serial/by-id/usb-FTDI_A",
                                                           dev() + "/ttyUSB0", dev() + "/ttyACM0"}));
  EXPECT_EQ(ports.devicePathFor("COM1"), dev() + "/ttyS0");
  EXPECT_EQ(ports.devicePathFor("COM2"), dev() + "/ttyS10");
  EXPECT_EQ(ports.devicePathFor("COM3"), dev() + "/serial/by-id/usb-FTDI_A");
  EXPECT_EQ(ports.devicePathFor("\\\\.\\COM4"), dev() + "/ttyUSB0");
  EXPECT_EQ(ports.devicePathFor("com5"), dev() + "/ttyACM0");
  EXPECT_EQ(ports.devicePathFor("COM6"), "");
  EXPECT_EQ(ports.devicePathFor("/dev/ttyS3"), "/dev/ttyS3");
  EXPECT_EQ(ports.describe(3), "ttyUSB1 (usb-FTDI_A)");
  EXPECT_EQ(ports.describe(6), "");
  EXPECT_NE(mapText().find("COM3 = " + dev() + "/serial/by-id/usb-FTDI_A\r\n"), std::string::npos);
  EXPECT_TRUE(ports.saveError().empty());
}

TEST_F(PortDirectoryTest, NumbersSurviveRestartsUnplugAndRenumbering) {
  make();
  // Unplug ttyUSB0, renumber the FTDI adapter, plug in something new.
  fs::remove(dev() + "/ttyUSB0");
  fs::remove(dev() + "/ttyUSB1");
  touch(dev() + "/ttyUSB2");
  fs::remove(dev() + "/serial/by-id/usb-FTDI_A");
  fs::create_symlink("../../ttyUSB2", dev() + "/serial/by-id/usb-FTDI_A");
  touch(dev() + "/ttyUSB7");

  PortDirectory ports = make();
  EXPECT_EQ(ports.devicePathFor("COM3"), dev() + "/serial/by-id/usb-FTDI_A");
  EXPECT_EQ(ports.describe(3), "ttyUSB2 (usb-FTDI_A)");
  EXPECT_EQ(ports.devicePathFor("COM4"), dev() + "/ttyUSB0");  // kept for its return
  EXPECT_EQ(ports.describe(4), dev() + "/ttyUSB0 (not present)");
  EXPECT_EQ(ports.devicePathFor("COM6"), dev() + "/ttyUSB7");
  EXPECT_EQ(ports.entries().size(), 6u);
}

TEST_F(PortDirectoryTest, HandEditedEntriesAreRespected) {
  std::ofstream(work() + "/Ports.ini") << "COM7 = " << dev() << "/ttyACM0\nCOM1 = " << dev()
                                       << "/ttyUSB1\n";
  PortDirectory ports = make();
  EXPECT_EQ(ports.devicePathFor("COM7"), dev() + "/ttyACM0");
  EXPECT_EQ(ports.devicePathFor("COM1"), dev() + "/ttyUSB1");
  // ttyUSB1 is already known by its plain name, so its by-id alias gets no number.
  for (const auto& e : ports.entries()) EXPECT_NE(e.path, dev() + "/serial/by-id/usb-FTDI_A");
  EXPECT_EQ(ports.devicePathFor("COM2"), dev() + "/ttyS0");
}

TEST_F(PortDirectoryTest, OverrideStandsInForThisRunOnly) {
  PortDirectory ports = make();
  const std::string before = mapText();
  ports.overrideDevice(2, "/dev/pts/77", "virtual controller");
  EXPECT_EQ(ports.devicePathFor("COM2"), "/dev/pts/77");
  EXPECT_EQ(ports.describe(2), "virtual controller (/dev/pts/77)");
  // The device first numbered 2 in this run moved to the next free number.
  EXPECT_EQ(ports.devicePathFor("COM6"), dev() + "/ttyS10");
  EXPECT_EQ(mapText().find("/dev/pts/77"), std::string::npos);

  PortDirectory again = make();
  EXPECT_EQ(again.devicePathFor("COM6"), dev() + "/ttyS10");
  again.overrideDevice(1, "/dev/pts/78");  // recorded before this run: stays recorded
  EXPECT_EQ(again.devicePathFor("COM1"), "/dev/pts/78");
  EXPECT_NE(mapText().find("COM1 = " + dev() + "/ttyS0"), std::string::npos);
}

TEST_F(PortDirectoryTest, AFailingDiskKeepsTheRecordedNumbers) {
  std::ofstream(work() + "/Ports.ini") << "COM7 = /dev/ttyS7\r\n";
  // Every start finds devices without a number and tries to record them.
  test::expectOldFileSurvivesWriteFailures(work() + "/Ports.ini", [&](std::string& why) {
    const PortDirectory ports = make();
    EXPECT_EQ(ports.devicePathFor("COM1"), dev() + "/ttyS0");  // numbered in memory all the same
    why = ports.saveError();
    return why.empty();
  });
  EXPECT_NE(mapText().find("COM1 = " + dev() + "/ttyS0"), std::string::npos);
}

TEST_F(PortDirectoryTest, UnwritableWorkingDirectoryKeepsTheNumbersInMemory) {
  PortDirectory ports(work() + "/missing/dir", dev(), sys());
  EXPECT_FALSE(ports.saveError().empty());
  EXPECT_EQ(ports.devicePathFor("COM1"), dev() + "/ttyS0");
}

}  // namespace
}  // namespace zar
