// zarctl controller: a virtual controller on a pseudo-terminal, in the
// foreground until SIGINT or SIGTERM. The first line of standard output is
// the device to connect to.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "controller/VirtualController.h"

namespace zar::cli {

namespace {

struct ControllerOptions {
  std::string type;
  int model = 102;
  std::string version = "K";
  std::string stateFile;
  std::string link;
  int baud = 0;
  bool samples = false;
  bool trace = false;
  bool reloading = false;
  std::vector<std::string> faults;
};

constexpr int kExitCannotStart = 1;
constexpr int kExitUsage = 2;

[[noreturn]] void failWith(const std::string& message, int code = kExitUsage) {
  std::cerr << "zarctl controller: " << message << "\n";
  throw CLI::RuntimeError(code);
}

// --link PATH may be made when nothing is there, or when an earlier run left
// its link behind (a link to a pseudo-terminal, killed before it could remove
// it). Anything else at PATH belongs to someone else and is refused.
bool linkPathFree(const std::string& path, bool& stale, std::string* why) {
  stale = false;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    *why = std::strerror(errno);
    return false;
  }
  if (!S_ISLNK(st.st_mode)) {
    *why = "it exists and is not a link this command made";
    return false;
  }
  char target[4096] = {};
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
  if (n < 0 || std::string_view(target, static_cast<size_t>(n)).rfind("/dev/pts/", 0) != 0) {
    *why = "it is a link to " + std::string(target) + ", not one this command made";
    return false;
  }
  stale = true;
  return true;
}

// Makes PATH a link to the device; a stale link is replaced in one step.
bool makeLink(const std::string& device, const std::string& path, std::string* why) {
  bool stale = false;
  if (!linkPathFree(path, stale, why)) return false;
  if (!stale) {
    if (::symlink(device.c_str(), path.c_str()) == 0) return true;
    *why = std::strerror(errno);
    return false;
  }
  const std::string fresh = path + ".new-" + std::to_string(::getpid());
  ::unlink(fresh.c_str());
  if (::symlink(device.c_str(), fresh.c_str()) != 0 || ::rename(fresh.c_str(), path.c_str()) != 0) {
    *why = std::strerror(errno);
    ::unlink(fresh.c_str());
    return false;
  }
  return true;
}

void runController(const ControllerOptions& o) {
  using namespace zar::controller;
  ControllerConfig config;
  if (!isKnownModel(o.model)) failWith("unknown model " + std::to_string(o.model));
  config.model = o.model;
  config.type = *typeOfModel(o.model);
  if (!o.type.empty()) {
    const auto type = parseControllerType(o.type);
    if (!type) failWith("unknown controller type '" + o.type + "' (X02 or X00/X01)");
    config.type = *type;
  }
  const auto version = parseFirmwareVersion(o.version);
  if (!version) failWith("unknown version '" + o.version + "' (SD, K or M)");
  config.version = *version;
  if (o.baud < 0) failWith("the pacing baud rate cannot be negative");
  config.paceBaud = o.baud;
  config.stateFile = o.stateFile;
  config.samples = o.samples;
  config.sqrReloading = o.reloading;
  for (const auto& text : o.faults) {
    std::string error;
    const auto fault = parseFault(text, &error);
    if (!fault) failWith(error);
    config.faults.push_back(*fault);
  }
  if (o.trace)
    config.monitor = [](const TrafficEntry& e) { std::cerr << e.describe() << std::endl; };
  config.trafficLimit = 0;  // nothing here reads the record; --trace prints as it goes

  // Both paths are checked while SIGINT and SIGTERM still end the process;
  // the state file is read once here for that (a FIFO or directory is
  // refused, never waited on).
  std::string error;
  if (!o.link.empty()) {
    bool stale = false;
    if (!linkPathFree(o.link, stale, &error))
      failWith("will not make the link " + o.link + ": " + error, kExitCannotStart);
  }
  if (!o.stateFile.empty() && !loadState(o.stateFile, nullptr, &error)) failWith(error, kExitCannotStart);

  // Block the stop signals before the controller's thread exists, so that
  // only this thread takes them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  VirtualController controller(std::move(config));
  if (!controller.start(&error)) failWith(error, kExitCannotStart);
  const std::string device = controller.devicePath();
  // A stable name for the device, e.g. for a fixed COM number in Ports.ini.
  if (!o.link.empty() && !makeLink(device, o.link, &error)) {
    controller.stop();
    failWith("cannot create the link " + o.link + ": " + error, kExitCannotStart);
  }
  std::cout << device << std::endl;

  const timespec tick{0, 200 * 1000 * 1000};
  for (;;) {
    if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) break;
    if (controller.hungUp()) {
      std::cerr << "zarctl controller: hung up the line as asked; stopping\n";
      break;
    }
  }
  controller.stop();
  if (!o.link.empty()) {
    char target[4096] = {};
    if (::readlink(o.link.c_str(), target, sizeof target - 1) > 0 && device == target)
      ::unlink(o.link.c_str());
  }
  if (!o.stateFile.empty() && !controller.saveNow(&error)) failWith(error, kExitCannotStart);
}

}  // namespace

void addControllerCommand(CLI::App& app) {
  auto options = std::make_shared<ControllerOptions>();
  CLI::App* cmd = app.add_subcommand(
      "controller",
      "Run a virtual ZAR controller on a pseudo-terminal until interrupted; prints the "
      "device to connect to on the first line");
  setExitCodes(cmd, {{"0", "stopped by SIGINT or SIGTERM, or after a hang-up it was asked to make"},
                     {"1", "could not start or save (the state file is not a readable regular file, the link "
                           "path is taken, no pseudo-terminal)"},
                     {"2", "bad arguments"}});
  cmd->add_option("--model", options->model, "Controller model: 102, 202, 302, 101, 200, 300")
      ->capture_default_str();
  cmd->add_option("--type", options->type,
                  "Controller type X02 or X00/X01 (default: the model's type)");
  cmd->add_option("--version", options->version, "Firmware version: SD, K or M")
      ->capture_default_str();
  cmd->add_option("--state", options->stateFile,
                  "State file in which slots, parameters and the PLC image persist");
  cmd->add_option("--link", options->link,
                  "Also make PATH a symbolic link to the device (removed at exit); PATH must not "
                  "exist, or be a link an earlier run left behind");
  cmd->add_option("--baud", options->baud,
                  "Pace the line at this baud rate, 10 bits per byte (0: no pacing)")
      ->capture_default_str();
  cmd->add_flag("--samples", options->samples,
                "Put the sample programs into empty slots 1-4 and a sample PLC image");
  cmd->add_option("--fault", options->faults,
                  "Inject a fault: STEP[:N]:KIND[=ARG][*TIMES], KIND one of none, nak, garbage, "
                  "short, delay=MS, hangup, reply=BYTES (e.g. store.line:3:nak)")
      ->take_all();
  cmd->add_flag("--sqr-reloading", options->reloading,
                "Answer a PLC read first with a short reloading reply");
  cmd->add_flag("--trace", options->trace, "Print every frame and reply on standard error");
  cmd->callback([options] { runController(*options); });
}

}  // namespace zar::cli
