#include "link/AutoDetect.h"

#include <cctype>

#include "link/Frames.h"

namespace zar {

namespace f = zar::frames;

namespace {

// Decimal reading as every number in the program is read: leading blanks,
// an optional sign, digits up to the first non-digit; no digits give 0.
int leadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 1000000) break;  // no model number comes near; keep it an int
  }
  return static_cast<int>(negative ? -value : value);
}

// A controller answer as a message line: its line end is the wire's, not text.
std::string shownText(std::string_view text) {
  const size_t end = text.find_first_of("\r\n");
  return std::string(text.substr(0, end));
}

}  // namespace

std::string modelTextOf(std::string_view answer) {
  const size_t at = answer.find_first_of("AK");
  if (at == std::string_view::npos) return {};
  return std::string(answer.substr(at, 7));
}

int modelNumberOf(std::string_view modelText) {
  const size_t hyphen = modelText.find('-');
  return hyphen == std::string_view::npos ? 0 : leadingNumber(modelText.substr(hyphen + 1));
}

bool applyModelNumber(int model, DetectIdentity& id) {
  static constexpr int models[] = {102, 202, 302, 101, 200, 300};
  for (int i = 0; i < 6; ++i) {
    if (models[i] != model) continue;
    id.modelIndex = i;
    id.typeIndex = i < 3 ? 0 : 1;
    return true;
  }
  return false;
}

std::string versionTextOf(std::string_view answer) {
  const size_t at = answer.find('V');
  return at == std::string_view::npos ? std::string() : std::string(answer.substr(at));
}

std::optional<char> versionLetterOf(std::string_view versionText) {
  const size_t stop = versionText.rfind('.');
  if (stop == std::string_view::npos) return std::nullopt;
  return stop + 3 < versionText.size() ? versionText[stop + 3] : '\0';
}

int versionIndexOf(char letter) {
  switch (letter) {
    case 'S': return 0;
    case 'K': return 1;
    case 'M': return 2;
    default: return 0;
  }
}

std::vector<DetectPort> AutoDetect::comPorts(int portCount) {
  std::vector<DetectPort> ports;
  for (int i = 0; i < portCount; ++i) ports.push_back({i, {}});
  return ports;
}

void AutoDetect::warn(std::string_view text) {
  x_.beep();
  x_.op().showCatalogDialog(text, DialogType::Warning, {ButtonKind::OK}, 0);
}

DetectReport AutoDetect::run(const std::vector<DetectPort>& ports, DetectIdentity& id) {
  DetectReport r;
  Link& link = x_.link();
  const std::string pathBefore = link.devicePath();
  r.outcome = x_.run([&] {
    x_.beep();
    x_.op().showCatalogDialog(x_.log().catalog().text(kStart), DialogType::Warning, {ButtonKind::OK}, 0);
    if (x_.cancelled() || link.stopIfCancelled()) return DialogueOutcome::Cancelled;
    for (size_t i = 0; i < ports.size(); ++i) {
      r.portIndex = static_cast<int>(i);
      ++r.portsTried;
      switch (tryPort(ports[i], id, r)) {
        case PortResult::Identified:
          r.end = DetectEnd::Found;
          return DialogueOutcome::Done;
        case PortResult::Wrong:
          r.end = DetectEnd::WrongIdentity;
          return DialogueOutcome::Done;
        case PortResult::Stopped:
          r.end = DetectEnd::Stopped;
          return x_.failure();
        case PortResult::NoLon:
          break;
      }
      if (i + 1 == ports.size()) break;
      x_.reconnectPause();
      if (link.stopIfCancelled()) return DialogueOutcome::Cancelled;
    }
    r.portIndex = 0;
    r.end = DetectEnd::NoController;
    return DialogueOutcome::LinkFailed;
  });
  link.setDevicePath(pathBefore);
  if (r.outcome == DialogueOutcome::Cancelled || r.outcome == DialogueOutcome::Busy) r.end = DetectEnd::Stopped;
  // The dialogs come after the port is closed: nothing waits on the line
  // while the person reads them.
  if (r.end == DetectEnd::NoController) warn(kDetectFailureText);
  if (r.end == DetectEnd::WrongIdentity) warn(kWrongIdentityText);
  return r;
}

AutoDetect::PortResult AutoDetect::tryPort(const DetectPort& port, DetectIdentity& id, DetectReport& r) {
  Link& link = x_.link();
  link.setDevicePath(port.device);
  // A port that does not open is skipped; the link wrote 102 and the reason.
  if (!x_.connect(port.comIndex)) return link.cancelled() ? PortResult::Stopped : PortResult::NoLon;
  const std::string device = link.deviceName();

  // LON: anything but a three-byte reply means no controller here. A write
  // that failed has closed the port already; no reply is awaited on it.
  bool lon = x_.sendText(f::kLon);
  if (lon) {
    x_.message(kConnected);
    lon = link.ReceiveFromZAR(Link::kReplyLimit, 1) && link.reply().size() == 3;
  }
  if (link.cancelled()) return PortResult::Stopped;
  if (!lon) {
    if (link.comm().Enabled()) link.comm().Close();
    x_.message(kClosed, device);
    return PortResult::NoLon;
  }
  r.deviceName = device;

  // From here every query must be answered; the link reports what failed.
  bool understood = true;
  if (!x_.sendText(f::kModelQuery) || !x_.receive()) return PortResult::Stopped;
  r.modelText = modelTextOf(x_.reply());
  r.modelNumber = r.modelText.empty() ? 0 : modelNumberOf(r.modelText);
  if (!r.modelText.empty()) x_.message(0, shownText(r.modelText));
  if (!applyModelNumber(r.modelNumber, id)) understood = false;

  if (!x_.sendText(f::kVersionQuery) || !x_.receive()) return PortResult::Stopped;
  const std::string version = versionTextOf(x_.reply());
  if (!version.empty()) {
    r.versionText = version;
    x_.message(0, shownText(version));
    if (const std::optional<char> letter = versionLetterOf(version)) {
      r.versionUnderstood = true;
      r.versionLetter = *letter;
      id.versionIndex = versionIndexOf(*letter);
    } else {
      understood = false;
    }
  }
  // A K model answer is a K controller, whatever its version text says.
  if (!r.modelText.empty() && r.modelText[0] == 'K') id.versionIndex = 1;

  if (!x_.sendText(f::kLof) || !x_.receive()) return PortResult::Stopped;
  if (link.comm().Enabled()) {
    link.comm().Close();
    x_.message(kClosed, device);
  }
  return understood ? PortResult::Identified : PortResult::Wrong;
}

}  // namespace zar
