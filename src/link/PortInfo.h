#pragma once
// What stands behind each COM number, for `zarctl ports`: the device, its
// stable /dev/serial/by-id name, the kernel driver and, for USB adapters,
// the latency timer, which decides how long the adapter holds received
// bytes back (16 ms by default on many: more than a whole short reply
// takes on the wire).

#include <optional>
#include <string>
#include <vector>

#include "link/PortNames.h"

namespace zar {

struct PortInfo {
  int comNumber = 0;
  std::string device;             // as recorded ("/dev/ttyUSB0" or a by-id path)
  std::string node;               // the device node it resolves to ("/dev/ttyUSB0"); "" when absent
  std::string byId;               // its /dev/serial/by-id name, "" when none
  std::string driver;             // "ftdi_sio", "cp210x", "serial8250"; "" when unknown
  std::optional<int> latencyMs;   // the USB latency timer, where the driver has one
  std::string latencyFile;        // where it is set
  bool present = false;
};

// Every assigned COM number of `ports`, described from `devRoot` and `sysRoot`.
std::vector<PortInfo> describePorts(const PortDirectory& ports, const std::string& devRoot = "/dev",
                                    const std::string& sysRoot = "/sys");

// The advice for a latency timer above 1 ms ("" otherwise).
std::string latencyAdvice(const PortInfo& port);

}  // namespace zar
