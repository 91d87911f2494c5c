#pragma once
// COM numbers for Linux serial devices.
//
// The program names its ports "COM1" to "COM99" (and "\\.\COM10" upwards).
// PortDirectory gives every serial device it finds a COM number and records
// it in "Ports.ini" beside "Init.Ini", so a device keeps its number across
// restarts; a device seen for the first time gets the lowest free number.
// Devices are found in /dev/serial/by-id (stable names that survive USB
// renumbering, preferred), /dev/ttyUSB*, /dev/ttyACM*, and the /dev/ttyS*
// that have a UART behind them. The file may be edited by hand:
//
//   COM1 = /dev/ttyS0
//   COM3 = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0
//   COM5 = rfc2217://10.0.0.5:4001      (a serial server on the network)
//
// Entries of absent devices are kept, so an adapter gets its number back
// when it is plugged in again.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zar {

class PortDirectory {
 public:
  static constexpr int kMaxComNumber = 99;
  static constexpr const char* kMapFileName = "Ports.ini";

  struct Entry {
    int number = 0;
    std::string path;
    bool present = false;     // the device exists now
    bool overridden = false;  // stands in for the recorded device in this run
  };

  // Reads the mapping and scans for devices (see reload()). The roots are
  // for tests; the program uses the real /dev and /sys.
  explicit PortDirectory(std::string workingDirectory, std::string devRoot = "/dev",
                         std::string sysRoot = "/sys");

  // Re-reads "Ports.ini", scans for devices, numbers new ones and writes the
  // file back when something was added.
  void reload();

  // The device path for "COM3", "com3", "\\.\COM10"; a path starting with
  // "/" and a network port name are returned unchanged. Empty when the name
  // maps to nothing.
  std::string devicePathFor(const std::string& comName) const;
  // What COM number n stands for, for the port box ("ttyUSB0 (usb-FTDI_...)",
  // "/dev/ttyS0", "... (not present)"); empty when nothing is assigned.
  std::string describe(int comNumber) const;
  // Lets COM number n reach `path` in this run only (the embedded virtual
  // controller's pseudo-terminal); the file is not changed for it. A device
  // numbered n in this very run moves to the next free number.
  void overrideDevice(int comNumber, std::string path, std::string label = {});

  // Every assigned number, in order.
  std::vector<Entry> entries() const;
  const std::string& mappingFile() const { return mapFile_; }
  // Why "Ports.ini" could not be written (empty when it was, or needn't be).
  const std::string& saveError() const { return saveError_; }

  // 1..99 for "COMn" / "\\.\COMn" (any letter case), 0 for anything else.
  static int comNumberOf(std::string_view name);
  // "Ports.ini" content to number → path, and back (CR LF lines).
  static std::map<int, std::string> parseMap(std::string_view text);
  static std::string formatMap(const std::map<int, std::string>& map);
  // Serial devices present now, in numbering order.
  std::vector<std::string> scanDevices() const;

 private:
  struct Override {
    std::string path;
    std::string label;
  };
  int lowestFreeNumber() const;
  void save();
  bool hasUart(const std::string& name) const;
  std::string describePath(const std::string& path) const;

  std::string workingDirectory_;
  std::string devRoot_;
  std::string sysRoot_;
  std::string mapFile_;
  std::string saveError_;
  std::map<int, std::string> map_;
  std::map<int, Override> overrides_;
  std::vector<int> addedThisRun_;
};

}  // namespace zar
