#include "link/Exchange.h"

#include <algorithm>

#include "link/Frames.h"

namespace zar {

namespace f = zar::frames;

namespace {

// Milliseconds `bytes` take on the line at a baud selector (10 bits a byte).
unsigned wireMs(size_t bytes, int baudSelector) {
  static constexpr unsigned rates[] = {1200, 2400, 4800, 9600, 19200};
  const unsigned baud = baudSelector >= 1 && baudSelector <= 5 ? rates[baudSelector - 1] : 9600;
  return static_cast<unsigned>((bytes * 10 * 1000 + baud - 1) / baud);
}

}  // namespace

std::string_view outcomeName(DialogueOutcome outcome) {
  switch (outcome) {
    case DialogueOutcome::Done: return "done";
    case DialogueOutcome::EmptyEditor: return "empty editor";
    case DialogueOutcome::Declined: return "declined";
    case DialogueOutcome::NotDeleted: return "not deleted";
    case DialogueOutcome::Refused: return "refused";
    case DialogueOutcome::LinkFailed: return "link failed";
    case DialogueOutcome::LineTooLong: return "line too long";
    case DialogueOutcome::LineFormat: return "line format";
    case DialogueOutcome::BadValue: return "bad value";
    case DialogueOutcome::Busy: return "busy";
    case DialogueOutcome::Cancelled: return "cancelled";
    case DialogueOutcome::FileFailed: return "file failed";
  }
  return "?";
}

void Exchange::start() {
  failure_ = DialogueOutcome::LinkFailed;
  replied_ = false;
  link_.progress().dialogueStarted();
}

DialogueOutcome Exchange::finish(DialogueOutcome outcome) {
  // Whatever the dialogue made of a step that a cancel cut short, it was cancelled.
  if (link_.cancelled()) outcome = DialogueOutcome::Cancelled;
  // Every way out leaves the line closed, whatever happened on it.
  if (link_.comm().Enabled()) link_.closeLink();
  link_.progress().dialogueEnded(outcome);
  return outcome;
}

bool Exchange::failed(DialogueOutcome why) {
  failure_ = link_.cancelled() ? DialogueOutcome::Cancelled : why;
  return false;
}

bool Exchange::connect(int comIndex) {
  link_.ConnectRS232(comIndex);
  return link_.comm().Enabled() || failed(DialogueOutcome::LinkFailed);
}

bool Exchange::send(std::string_view frame) {
  return link_.TransToZAR(frame) || failed(DialogueOutcome::LinkFailed);
}

bool Exchange::sendText(std::string_view frame) {
  return link_.TransStr(frame) || failed(DialogueOutcome::LinkFailed);
}

bool Exchange::receive() {
  if (link_.ReceiveFromZAR(Link::kReplyLimit, 1)) return true;
  return failed(link_.reply() == f::kNak ? DialogueOutcome::Refused : DialogueOutcome::LinkFailed);
}

bool Exchange::tryReceive() { return link_.ReceiveFromZAR(Link::kReplyLimit, 0); }

bool Exchange::receiveProgNo(int report) {
  if (link_.ReceiveZARProgNo(Link::kReplyLimit, report)) return true;
  return failed(link_.reply() == f::kNak ? DialogueOutcome::Refused : DialogueOutcome::LinkFailed);
}

bool Exchange::require(std::string_view frame) { return send(frame) && receive(); }

bool Exchange::ask(std::string_view frame) {
  replied_ = false;
  if (!send(frame)) return false;
  replied_ = tryReceive();
  // No reply in time (or a hang-up) closed the port: the link has said so,
  // and every later step could only run into another time-out.
  return replied_ || link_.comm().Enabled() || failed(DialogueOutcome::LinkFailed);
}

bool Exchange::receiveLine(std::string& line, size_t maxBytes, std::string_view tooLongText) {
  line.clear();
  for (;;) {
    if (!receive()) return false;
    const std::string& bytes = link_.replyBytes();
    line += bytes;
    const bool cut = bytes.size() >= static_cast<size_t>(Link::kReplyLimit) && bytes.back() != f::LF &&
                     bytes.back() != f::ETX;
    if (!cut) break;
    if (line.size() > maxBytes) {
      message(0, tooLongText);
      beep();
      link_.closeLink();
      return failed(DialogueOutcome::LineTooLong);
    }
  }
  line.resize(std::min(line.size(), line.find('\0')));
  return true;
}

void Exchange::reconnectPause() {
  link_.pause(static_cast<unsigned>(std::max(link_.settings().reconnectDelayMs, 0)));
}

void Exchange::letFrameLeave(size_t bytes) { link_.pause(wireMs(bytes, link_.settings().baudSelector) + 10); }

bool Exchange::confirm(const std::string& text) {
  if (link_.stopIfCancelled()) return failed(DialogueOutcome::Cancelled);
  link_.progress().pause();
  const bool yes = log_.op().confirm(text);
  link_.progress().resume();
  // Stopped while the question was shown (zarctl's Ctrl-C at the prompt).
  if (link_.stopIfCancelled()) return failed(DialogueOutcome::Cancelled);
  return yes;
}

void Exchange::message(int id, std::string_view extra) { log_.addTo(page_, id, extra); }

void Exchange::beep() { log_.op().beep(); }

}  // namespace zar
