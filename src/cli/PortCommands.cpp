// zarctl detect and zarctl ports: which port holds a controller and what
// it is, and what stands behind each COM number.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/LinkSession.h"
#include "link/AutoDetect.h"
#include "link/NetworkSerialDevice.h"
#include "link/PortInfo.h"
#include "link/PortNames.h"

namespace zar::cli {

namespace {

constexpr int kModels[] = {102, 202, 302, 101, 200, 300};
constexpr const char* kVersions[] = {"SD", "K", "M"};

struct DetectOptions {
  LinkOptions link;
  std::vector<std::string> ports;
};

void runDetect(const DetectOptions& o) {
  const std::string command = "detect";
  Session s(command, o.link);
  // The ports to try, in order: COM names through Ports.ini, or device paths.
  std::vector<DetectPort> ports;
  std::vector<std::string> labels;
  for (const std::string& p : o.ports) {
    if (p.starts_with('/') || isNetworkPortName(p)) {
      std::string why;
      if (!p.starts_with('/') && !parseNetworkPort(p, &why)) fail(command, "--port " + p + ": " + why, kExitUsage);
      ports.push_back({static_cast<int>(ports.size()), p});
      labels.push_back(p);
      continue;
    }
    const int n = PortDirectory::comNumberOf(p);
    if (n == 0)
      fail(command,
           "--port must be COM1 to COM99, a device path, tcp://HOST:PORT or rfc2217://HOST:PORT, not '" + p + "'",
           kExitUsage);
    ports.push_back({n - 1, {}});
    labels.push_back("COM" + std::to_string(n));
  }
  if (ports.empty()) {
    ports = AutoDetect::comPorts(s.settings.portCount);
    for (int i = 1; i <= s.settings.portCount; ++i) labels.push_back("COM" + std::to_string(i));
  }

  // Messages on standard error: standard output carries the one result line.
  CommandOperator op(s.language, true, true);
  MessageLog log(s.catalog, op);
  SessionLink port(s, op, log);
  DetectIdentity id{s.typeIndex, 0, 1};
  DetectReport r;
  port.run([&] {
    r = AutoDetect(port.link(), log).run(ports, id);
    return r.outcome;
  });

  if (r.outcome == DialogueOutcome::Cancelled) fail(command, "cancelled; the port is closed", kExitCancelled);
  switch (r.end) {
    case DetectEnd::NoController: fail(command, std::string(kDetectFailureText), kExitLink);
    case DetectEnd::WrongIdentity: fail(command, std::string(kWrongIdentityText), kExitRefused);
    case DetectEnd::Stopped: {
      const std::string why = s.failureLine(op.lines, {103, 104, 122, 142, 162});
      fail(command, why.empty() ? std::string(outcomeName(r.outcome)) : why, kExitLink);
    }
    case DetectEnd::Found: break;
  }
  const DetectPort& found = ports[static_cast<size_t>(r.portIndex)];
  std::string device = found.device;
  if (device.empty()) device = PortDirectory(".").devicePathFor(labels[static_cast<size_t>(r.portIndex)]);
  std::cout << labels[static_cast<size_t>(r.portIndex)] << ' ' << device
            << " type=" << (id.typeIndex == 0 ? "X02" : "X00/X01") << " model=" << kModels[id.modelIndex]
            << " version=" << kVersions[id.versionIndex] << '\n';
  if (!r.versionText)
    std::cerr << "zarctl detect: the controller's version answer holds no V; version " << kVersions[id.versionIndex]
              << " is assumed\n";
}

void runPorts() {
  PortDirectory ports(".");
  const std::vector<PortInfo> list = describePorts(ports);
  if (list.empty()) {
    std::cout << "No serial ports found (none in /dev/serial/by-id, /dev/ttyUSB*, /dev/ttyACM*, "
                 "or a /dev/ttyS* with a UART).\n";
    return;
  }
  for (const PortInfo& p : list) {
    std::cout << "COM" << p.comNumber << "  " << p.device;
    if (!p.present) {
      std::cout << "  (not present)\n";
      continue;
    }
    if (p.node != p.device) std::cout << "  -> " << p.node;
    if (!p.byId.empty() && p.device.find("/by-id/") == std::string::npos) std::cout << "  by-id " << p.byId;
    if (!p.driver.empty()) std::cout << "  driver " << p.driver;
    if (p.latencyMs) std::cout << "  latency " << *p.latencyMs << " ms";
    std::cout << '\n';
    if (const std::string advice = latencyAdvice(p); !advice.empty()) std::cout << "  " << advice << '\n';
  }
  if (!ports.saveError().empty()) std::cerr << "zarctl ports: " << ports.mappingFile() << ": " << ports.saveError() << '\n';
}

}  // namespace

void addPortCommands(CLI::App& app) {
  auto o = std::make_shared<DetectOptions>();
  CLI::App* detect = app.add_subcommand(
      "detect", "Search the ports for a controller and say which model and version it is");
  setExitCodes(detect,
               {{"0", "a controller was found: PORT DEVICE type=X02|X00/X01 model=N version=SD|K|M"},
                {"2", "bad arguments"},
                {"3", "no port answered (\"Auto detect failure\"), or a controller stopped answering its "
                      "model, version or LOF query"},
                {"4", "a controller answered with a model or version not understood (\"Detect a wrong type or "
                      "version\")"},
                {"130", "cancelled by Ctrl-C or SIGTERM (the port was closed)"}},
               "Without --port: COM1 up to the port count of Init.Ini, through Ports.ini.");
  addLinkOptions(*detect, o->link);
  detect->remove_option(detect->get_option("--port"));
  detect->add_option("--port", o->ports, "A port to try: COM1..COM99 or a device path; repeat it for more, "
                                          "tried in order (default: COM1 .. the port count of Init.Ini)")
      ->type_name("PORT");
  detect->callback([o] { runDetect(*o); });

  CLI::App* ports = app.add_subcommand(
      "ports", "List every COM number with its device, by-id name, driver and USB latency timer");
  setExitCodes(ports, {{"0", "listed"}, {"2", "bad arguments"}});
  ports->callback([] { runPorts(); });
}

}  // namespace zar::cli
