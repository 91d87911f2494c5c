#pragma once
// The parameter dialogues wired to a virtual controller over a
// pseudo-terminal: the link opens "COM2", which leads to the controller's
// device. The operator looks at the parameter page, so refusals read 142.

#include <algorithm>
#include <string>
#include <vector>

#include "controller/VirtualController.h"
#include "link/Frames.h"
#include "link/Link.h"
#include "param/ParameterTransfer.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"

namespace zar::param::test {

// Message n reads "#n:", so a log line shows which message came.
inline std::string msg(int id, const std::string& extra = {}) { return "#" + std::to_string(id) + ":" + extra; }

inline LinkSettings fastSettings() {
  LinkSettings s;
  s.timeoutMs = 200;
  s.transitMode = 1;
  s.byteDelayMs = 0;
  return s;
}

struct Rig {
  explicit Rig(controller::ControllerConfig config = {}, LinkSettings settings = fastSettings())
      : ctrl(std::move(config)), link(comm, settings, log) {
    ctrl.start(&startError);
    const std::string path = ctrl.devicePath();
    comm.SetPathResolver([path](const std::string& name) { return name == "COM2" ? path : std::string(); });
    op.page = Page::Parameter;
  }
  ~Rig() {
    comm.Close();
    ctrl.stop();
  }

  std::vector<std::string>& messages() { return op.messages[Page::Parameter]; }
  // Message 101 as the link writes it: the COM name and the device behind it.
  std::string opened() const { return msg(101, "COM2 (" + ctrl.devicePath() + ")"); }
  std::vector<std::string>& editor() { return op.editors[Page::Parameter]; }
  bool has(const std::string& line) {
    return std::find(messages().begin(), messages().end(), line) != messages().end();
  }
  // The frames the controller took, once `count` of them arrived.
  std::vector<std::string> frames(size_t count) {
    ctrl.waitForFrames(count, 2000);
    return ctrl.inputFrames();
  }

  controller::VirtualController ctrl;
  std::string startError;
  zar::test::RecordingOperator op;
  MessageCatalog catalog = zar::test::numberedCatalog("#", ":", 200);
  MessageLog log{catalog, op};
  TComm comm;
  Link link;
  ParameterTransfer transfer{link, log, 1};
};

}  // namespace zar::param::test
