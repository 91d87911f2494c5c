#pragma once
// The PLC dialogues wired to a virtual controller over a pseudo-terminal:
// the link opens "COM2", which leads to the controller's device. The
// operator looks at the PLC page; files go to a directory of the test's own.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "controller/VirtualController.h"
#include "link/Frames.h"
#include "link/Link.h"
#include "plc/PlcTransfer.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"

namespace zar::plc::test {

// Message n reads "#n:", so a log line shows which message came.
inline std::string msg(int id, const std::string& extra = {}) { return "#" + std::to_string(id) + ":" + extra; }

inline LinkSettings fastSettings() {
  LinkSettings s;
  s.timeoutMs = 300;
  s.transitMode = 1;
  s.byteDelayMs = 0;
  return s;
}

struct Rig {
  explicit Rig(controller::ControllerConfig config = {}, LinkSettings settings = fastSettings())
      : ctrl(std::move(config)), link(comm, settings, log) {
    static std::atomic<int> serial{0};
    dir = std::filesystem::temp_directory_path() /
          ("zar_plcrig_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ctrl.start(&startError);
    const std::string path = ctrl.devicePath();
    comm.SetPathResolver([path](const std::string& name) { return name == "COM2" ? path : std::string(); });
    op.page = Page::Plc;
  }
  ~Rig() {
    comm.Close();
    ctrl.stop();
    std::filesystem::remove_all(dir);
  }

  std::vector<std::string>& messages() { return op.messages[Page::Plc]; }
  std::string opened() const { return msg(101, "COM2 (" + ctrl.devicePath() + ")"); }
  std::vector<std::string>& editor() { return op.editors[Page::Plc]; }
  bool has(const std::string& line) {
    return std::find(messages().begin(), messages().end(), line) != messages().end();
  }
  std::string file(const std::string& name) const { return (dir / name).string(); }
  DialogueOutcome send(int delayMs = 0) { return transfer.PLMTrnBtnClick(file("prog.pmc"), delayMs); }
  DialogueOutcome receive() { return transfer.PLMRcvBtnClick(file("Mcn.tmp")); }
  // The frames the controller took, once `count` of them arrived.
  std::vector<std::string> frames(size_t count) {
    ctrl.waitForFrames(count, 2000);
    return ctrl.inputFrames();
  }

  std::filesystem::path dir;
  controller::VirtualController ctrl;
  std::string startError;
  zar::test::RecordingOperator op;
  MessageCatalog catalog = zar::test::numberedCatalog("#", ":", 260);
  MessageLog log{catalog, op};
  TComm comm;
  Link link;
  PlcWorkspace ws;
  PlcTransfer transfer{link, log, 1, ws};
};

}  // namespace zar::plc::test
