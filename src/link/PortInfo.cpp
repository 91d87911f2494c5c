#include "link/PortInfo.h"

#include <filesystem>
#include <fstream>

#include "link/NetworkSerialDevice.h"

namespace zar {

namespace fs = std::filesystem;

namespace {

std::string readFirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The node a device path resolves to inside `devRoot` ("" when it does not exist).
std::string resolve(const std::string& path) {
  std::error_code ec;
  const fs::path real = fs::canonical(path, ec);
  return ec ? std::string() : real.string();
}

}  // namespace

std::vector<PortInfo> describePorts(const PortDirectory& ports, const std::string& devRoot,
                                    const std::string& sysRoot) {
  // by-id names, by the node they lead to.
  std::vector<std::pair<std::string, std::string>> byId;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(devRoot) / "serial" / "by-id", ec))
    byId.emplace_back(resolve(e.path().string()), e.path().filename().string());

  std::vector<PortInfo> out;
  for (const PortDirectory::Entry& entry : ports.entries()) {
    PortInfo p;
    p.comNumber = entry.number;
    p.device = entry.path;
    if (const auto server = parseNetworkPort(entry.path)) {
      // Nothing local to look at: the line is the server's.
      p.node = entry.path;
      p.present = true;
      p.driver = server->kind == NetworkPort::Kind::Rfc2217 ? "serial server (RFC 2217)" : "serial server (raw TCP)";
      out.push_back(std::move(p));
      continue;
    }
    p.node = resolve(entry.path);
    p.present = !p.node.empty();
    if (p.present) {
      for (const auto& [node, name] : byId)
        if (node == p.node) p.byId = name;
      const std::string name = fs::path(p.node).filename().string();
      const fs::path device = fs::path(sysRoot) / "class" / "tty" / name / "device";
      const fs::path driver = fs::read_symlink(device / "driver", ec);
      if (!ec) p.driver = driver.filename().string();
      for (const fs::path& timer : {device / "latency_timer", fs::path(sysRoot) / "bus" / "usb-serial" / "devices" /
                                                                  name / "latency_timer"}) {
        const std::string text = readFirstLine(timer);
        if (text.empty()) continue;
        try {
          p.latencyMs = std::stoi(text);
          p.latencyFile = timer.string();
        } catch (...) {
        }
        break;
      }
    }
    out.push_back(std::move(p));
  }
  return out;
}

std::string latencyAdvice(const PortInfo& port) {
  if (!port.latencyMs || *port.latencyMs <= 1) return {};
  return "latency timer " + std::to_string(*port.latencyMs) +
         " ms: each reply waits that long in the adapter. Lower it with\n"
         "    echo 1 | sudo tee " + port.latencyFile +
         "\n  or for good with a udev rule, e.g. ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
         "DRIVER==\"" + (port.driver.empty() ? std::string("ftdi_sio") : port.driver) +
         "\", ATTR{latency_timer}=\"1\"";
}

}  // namespace zar
