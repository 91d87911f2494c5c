#pragma once
// The port search of the program page's AutoDetectBtn: walks the ports
// COM1, COM2, … (or a given list of devices), and on the first one whose
// LON reply is three bytes long asks the controller for its model and
// firmware version and maps the answers onto the window's controller type,
// model and version.
//
//   AutoDetect detect(link, log);
//   DetectIdentity id{typeIndex, modelIndex, versionIndex};
//   DetectReport r = detect.run(AutoDetect::comPorts(portCount), id);
//   select(r.portIndex); apply(id);                    // whatever the end
//   if (r.end == DetectEnd::Found) SetParameterList(id.modelIndex);
//
// The search is one dialogue (Exchange): Busy while another holds the link,
// the port closed on every way out, cancel taking effect at the next frame.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Exchange.h"

namespace zar {

// The window's controller state the search sets: TypeSel, ModelIndex and
// VersionIndex. A field the answers do not decide keeps what it held.
struct DetectIdentity {
  int typeIndex = 0;     // 0 "ZAR X02", 1 "ZAR X00/X01"
  int modelIndex = 0;    // 0..5: 102, 202, 302, 101, 200, 300
  int versionIndex = 1;  // 0..2: SD, K, M
};

// How a search ended.
enum class DetectEnd {
  Found,          // a controller answered and both answers were understood
  WrongIdentity,  // a controller answered, its model or version was not understood
  NoController,   // no port gave a three-byte LON reply
  Stopped,        // a query after LON went unanswered or was refused, a cancel, or Busy
};

// One port to try: a list index (COM1 = 0) and, when not empty, the device
// opened for it instead of the index's COM name.
struct DetectPort {
  int comIndex = 0;
  std::string device;
};

struct DetectReport {
  DialogueOutcome outcome = DialogueOutcome::LinkFailed;
  DetectEnd end = DetectEnd::Stopped;
  int portIndex = 0;          // position in the list of the port left selected
  std::string deviceName;     // the device of the port that answered LON
  std::string modelText;      // up to 7 characters from the first A or K ("" when none)
  int modelNumber = 0;        // the number after the hyphen of the model text
  std::optional<std::string> versionText;  // from the first V; empty when no V came
  bool versionUnderstood = false;  // a full stop in the version text
  char versionLetter = 0;     // three places after the last full stop (0: none)
  int portsTried = 0;
};

// The fixed texts of a failed search (no catalog message carries them).
inline constexpr std::string_view kDetectFailureText = "Auto detect failure";
inline constexpr std::string_view kWrongIdentityText = "Detect a wrong type or version";

// The rules that turn the answers into the window's state (pure; tested alone).
// The model text of a model answer: from its first A or K, at most 7 characters.
std::string modelTextOf(std::string_view answer);
// The integer after the first hyphen (0 when there is none or no digits follow).
int modelNumberOf(std::string_view modelText);
// Type and model index of a model number; false for a number not in the table.
bool applyModelNumber(int model, DetectIdentity& id);
// The version text of a version answer: from its first V to the end ("" without V).
std::string versionTextOf(std::string_view answer);
// The version letter of a version text (0 when it holds no full stop or
// nothing stands three places after the last one).
std::optional<char> versionLetterOf(std::string_view versionText);
// VersionIndex of a letter: S 0, K 1, M 2, any other 0.
int versionIndexOf(char letter);

class AutoDetect {
 public:
  enum Msg : int { kStart = 55, kConnected = 108, kClosed = 107 };

  AutoDetect(Link& link, const MessageLog& log) : x_(link, log, Page::Program) {}

  // COM1 … COM<portCount>, by list index.
  static std::vector<DetectPort> comPorts(int portCount);

  // Runs the whole search (message 55 first, the failure dialogs at the
  // end). `id` is changed as the answers come, also when the search ends
  // early; r.portIndex is the port to leave selected.
  DetectReport run(const std::vector<DetectPort>& ports, DetectIdentity& id);

 private:
  enum class PortResult { NoLon, Identified, Wrong, Stopped };
  PortResult tryPort(const DetectPort& port, DetectIdentity& id, DetectReport& r);
  void warn(std::string_view text);

  Exchange x_;
};

}  // namespace zar
