#pragma once
// The program dialogues wired to a virtual controller over a pseudo-terminal:
// the link opens "COM2", which leads to the controller's device.

#include <memory>
#include <string>
#include <vector>

#include "controller/VirtualController.h"
#include "link/Frames.h"
#include "link/Link.h"
#include "nc/ProgramTransfer.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"

namespace zar::nc::test {

// Message n reads "#n:", so a log line shows which message came.
inline MessageCatalog numberedCatalog() { return zar::test::numberedCatalog("#", ":", 200); }

inline std::string msg(int id, const std::string& extra = {}) { return "#" + std::to_string(id) + ":" + extra; }

inline LinkSettings fastSettings() {
  LinkSettings s;
  s.timeoutMs = 200;
  s.transitMode = 1;
  s.byteDelayMs = 0;
  s.reconnectDelayMs = 5;
  return s;
}

struct Rig {
  explicit Rig(controller::ControllerConfig config = {}, LinkSettings settings = fastSettings())
      : ctrl(std::move(config)), link(comm, settings, log) {
    ctrl.start(&startError);
    const std::string path = ctrl.devicePath();
    comm.SetPathResolver([path](const std::string& name) { return name == "COM2" ? path : std::string(); });
    page.comIndex = 1;
  }
  ~Rig() {
    comm.Close();
    ctrl.stop();
  }

  std::vector<std::string>& log_() { return op.messages[Page::Program]; }
  // Message 101 as the link writes it for the controller's device.
  std::string opened() const { return msg(101, "COM2 (" + ctrl.devicePath() + ")"); }
  std::vector<std::string>& editor() { return op.editors[Page::Program]; }
  bool has(const std::string& line) {
    for (const auto& l : log_())
      if (l == line) return true;
    return false;
  }
  // The frames the controller took, once `count` of them arrived.
  std::vector<std::string> frames(size_t count) {
    ctrl.waitForFrames(count, 2000);
    return ctrl.inputFrames();
  }

  controller::VirtualController ctrl;
  std::string startError;
  zar::test::RecordingOperator op;
  MessageCatalog catalog = numberedCatalog();
  MessageLog log{catalog, op};
  TComm comm;
  Link link;
  ProgramTransfer transfer{link, log};
  ProgramPage page;
};

inline controller::ControllerConfig x00Config() {
  controller::ControllerConfig c;
  c.type = controller::ControllerType::X00;
  c.model = 101;
  return c;
}

}  // namespace zar::nc::test
