#include "nc/ProgramTransfer.h"

#include <algorithm>
#include <cstdio>

#include "link/Frames.h"

namespace zar::nc {

namespace f = zar::frames;

namespace {

std::string cutAt(std::string_view text, char c) { return std::string(text.substr(0, text.find(c))); }

// Milliseconds `bytes` take on the line at a baud selector (10 bits a byte).
unsigned frameWireMs(size_t bytes, int baudSelector) {
  static constexpr unsigned rates[] = {1200, 2400, 4800, 9600, 19200};
  const unsigned baud = baudSelector >= 1 && baudSelector <= 5 ? rates[baudSelector - 1] : 9600;
  return static_cast<unsigned>((bytes * 10 * 1000 + baud - 1) / baud);
}

std::string withoutLineEnd(std::string_view frame) {
  if (frame.ends_with(f::kLineEnd)) frame.remove_suffix(f::kLineEnd.size());
  return std::string(frame);
}

}  // namespace

std::string_view outcomeName(TransferOutcome outcome) {
  switch (outcome) {
    case TransferOutcome::Done: return "done";
    case TransferOutcome::EmptyEditor: return "empty editor";
    case TransferOutcome::Declined: return "declined";
    case TransferOutcome::NotDeleted: return "not deleted";
    case TransferOutcome::Refused: return "refused";
    case TransferOutcome::LinkFailed: return "link failed";
    case TransferOutcome::LineTooLong: return "line too long";
    case TransferOutcome::Busy: return "busy";
  }
  return "?";
}

std::string lineTooLongText(int lineNumber, size_t frameBytes) {
  char text[160];
  std::snprintf(text, sizeof text,
                "Line %d is too long to send: its frame takes %zu bytes, at most %zu fit.", lineNumber,
                frameBytes, kMaxLineFrame);
  return text;
}

std::string receivedLineTooLongText() {
  char text[160];
  std::snprintf(text, sizeof text,
                "The controller sent a program line longer than %zu bytes; receiving stopped.",
                kMaxReceivedLine);
  return text;
}

// ---------------------------------------------------------------- helpers

void ProgramTransfer::message(int id, std::string_view extra) { log_.addTo(Page::Program, id, extra); }

bool ProgramTransfer::confirm(const std::string& text) { return log_.op().confirm(text); }

std::string ProgramTransfer::confirmationText(int question, int slot, std::string_view name) const {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", slot);
  const MessageCatalog& c = log_.catalog();
  return c.text(question) + "\n\n" + c.text(kLabelSlot) + ":" + number + "\n" + c.text(kLabelName) + ":" +
         std::string(name);
}

std::string ProgramTransfer::confirmationText(int question, int slot) const {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", slot);
  const MessageCatalog& c = log_.catalog();
  return c.text(question) + "\n\n" + c.text(kLabelSlot) + ":" + number;
}

bool ProgramTransfer::receiveRequired() {
  if (link_.ReceiveFromZAR(Link::kReplyLimit, 1)) return true;
  failure_ = link_.reply() == f::kNak ? TransferOutcome::Refused : TransferOutcome::LinkFailed;
  return false;
}

bool ProgramTransfer::require(std::string_view frame) {
  if (!link_.TransToZAR(frame)) {
    failure_ = TransferOutcome::LinkFailed;
    return false;
  }
  return receiveRequired();
}

bool ProgramTransfer::ask(std::string_view frame) {
  if (!link_.TransToZAR(frame)) {
    failure_ = TransferOutcome::LinkFailed;
    return false;
  }
  // A refusal or a silent controller is for the caller to weigh.
  link_.ReceiveFromZAR(Link::kReplyLimit, 0);
  return true;
}

bool ProgramTransfer::receiveLine(std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  for (;;) {
    if (!receiveRequired()) return false;
    const std::string& bytes = link_.replyBytes();
    line += bytes;
    // A reply that filled the limit without its terminator is the first part
    // of a longer line: the rest follows without another ACK frame.
    const bool cut = bytes.size() >= static_cast<size_t>(Link::kReplyLimit) && bytes.back() != f::LF &&
                     bytes.back() != f::ETX;
    if (!cut) break;
    if (line.size() > kMaxReceivedLine) {
      tooLong = true;
      message(0, receivedLineTooLongText());
      log_.op().beep();
      link_.closeLink();
      return false;
    }
  }
  line.resize(std::min(line.size(), line.find('\0')));
  return true;
}

template <typename Dialogue>
TransferOutcome ProgramTransfer::guarded(Dialogue&& dialogue) {
  DialogueGuard guard(link_);
  if (!guard) return TransferOutcome::Busy;
  const TransferOutcome outcome = dialogue();
  // Every way out leaves the line closed, whatever happened on it.
  if (link_.comm().Enabled()) link_.closeLink();
  return outcome;
}

// ---------------------------------------------------------------- handlers

TransferOutcome ProgramTransfer::TransBtnClick(ProgramPage& page) {
  return guarded([&] { return send(page); });
}

TransferOutcome ProgramTransfer::RcvBtnClick(ProgramPage& page) {
  return guarded([&] { return receive(page); });
}

TransferOutcome ProgramTransfer::DelProgBtnClick(ProgramPage& page) {
  return guarded([&] { return remove(page); });
}

TransferOutcome ProgramTransfer::send(ProgramPage& page) {
  Operator& op = log_.op();
  constexpr Page P = Page::Program;
  {
    const std::vector<std::string> lines = op.editorLines(P);
    if (lines.empty()) {
      message(kEditorEmpty);
      op.beep();
      return TransferOutcome::EmptyEditor;
    }
    // A line that cannot travel in one frame stops the send before anything goes out.
    for (size_t i = 0; i < lines.size(); ++i) {
      const size_t bytes = f::programLineFrame(static_cast<int>(i + 1), lines[i]).size();
      if (bytes > kMaxLineFrame) {
        message(0, lineTooLongText(static_cast<int>(i + 1), bytes));
        op.beep();
        return TransferOutcome::LineTooLong;
      }
    }
  }
  op.beep();
  if (!confirm(confirmationText(kAskSend, page.slot, page.progName))) return TransferOutcome::Declined;

  // What does the slot hold?
  link_.ConnectRS232(page.comIndex);
  message(kConnected);
  if (!ask(f::kAttention)) return failure_;
  if (!require(f::kList)) return failure_;
  bool deleteFirst = false;
  if (!link_.TransToZAR(f::slotFrame(page.slot))) return TransferOutcome::LinkFailed;
  if (link_.ReceiveFromZAR(Link::kReplyLimit, 0)) {
    if (!require(f::kAck)) return failure_;
    const std::string_view reply = link_.reply();
    if (reply != f::kAttention) page.tmpProgName = cutAt(reply, f::CR);
    link_.closeLink();
    deleteFirst = confirm(confirmationText(kAskDeleteFirst, page.slot, page.tmpProgName));
  }

  if (deleteFirst) {
    link_.ConnectRS232(page.comIndex);
    message(kDeleting);
    if (!ask(f::kAttention)) return failure_;
    if (!require(f::kDelete)) return failure_;
    if (!require(f::slotFrame(page.slot))) return failure_;
    if (!require(f::nameFrame(page.tmpProgName))) return failure_;
    message(link_.reply() == f::kDeleteConfirmed ? kDeleteConfirmed : kDeleteNotConfirmed);
  }

  // Sending.
  link_.closeLink();
  link_.DelayMs(static_cast<unsigned>(std::max(link_.settings().reconnectDelayMs, 0)));
  link_.ConnectRS232(page.comIndex);
  message(kSending);
  if (!ask(f::kAttention)) return failure_;
  if (!require(f::kStore)) return failure_;
  if (!require(f::slotFrame(page.slot))) return failure_;
  if (namesTravel(page.typeIndex) && !require(f::nameFrame(page.progName))) return failure_;
  // The editor stays live during the send: its lines are read as they go.
  for (size_t k = 0; k < op.editorLineCount(P); ++k) {
    const int number = static_cast<int>(k + 1);
    const std::string frame = f::programLineFrame(number, op.editorLine(P, k));
    if (frame.size() > kMaxLineFrame) {
      message(0, lineTooLongText(number, frame.size()));
      op.beep();
      return TransferOutcome::LineTooLong;
    }
    message(0, withoutLineEnd(frame));
    if (!require(frame)) return failure_;
  }
  message(kSent);
  link_.closeLink();
  return TransferOutcome::Done;
}

TransferOutcome ProgramTransfer::receive(ProgramPage& page) {
  Operator& op = log_.op();
  constexpr Page P = Page::Program;
  linesReceived_ = 0;
  op.beep();
  if (!confirm(confirmationText(kAskReceive, page.slot))) return TransferOutcome::Declined;

  link_.ConnectRS232(page.comIndex);
  message(kConnected);
  if (!ask(f::kAttention)) return failure_;
  if (!require(f::kList)) return failure_;
  if (!require(f::slotFrame(page.slot))) return failure_;
  if (!link_.TransToZAR(f::kAck)) return TransferOutcome::LinkFailed;

  bool expectName = namesTravel(page.typeIndex);
  if (!expectName) page.progName.clear();
  // The editor is emptied when the program starts to arrive, so a receive
  // that fails before any line came leaves it as it was; on a later failure
  // the lines received so far stay.
  bool emptied = false;
  auto emptyEditor = [&] {
    if (!emptied) op.setEditorLines(P, {});
    emptied = true;
  };
  for (;;) {
    std::string reply;
    bool tooLong = false;
    if (!receiveLine(reply, tooLong)) return tooLong ? TransferOutcome::LineTooLong : failure_;
    const bool complete = reply == f::kAttention;
    if (complete) emptyEditor();
    if (!complete) {
      std::string text = cutAt(reply, f::CR);
      if (expectName) {
        page.progName = std::move(text);
        expectName = false;
      } else {
        // "N<k> " goes; a line without any blank is kept whole.
        const size_t blank = text.find(' ');
        if (blank != std::string::npos) text.erase(0, blank + 1);
        emptyEditor();
        op.appendEditorLine(P, cutAt(text, f::LF));
        ++linesReceived_;
      }
    }
    if (!link_.TransToZAR(f::kAck)) return TransferOutcome::LinkFailed;
    if (complete) break;
  }
  // No reply follows the last ACK frame: give it time to leave the line
  // before the port is closed, which drops what is still queued.
  link_.DelayMs(frameWireMs(f::kAck.size(), link_.settings().baudSelector) + 10);
  message(kReceived);
  link_.closeLink();
  return TransferOutcome::Done;
}

TransferOutcome ProgramTransfer::remove(ProgramPage& page) {
  link_.ConnectRS232(page.comIndex);
  message(kConnected);
  if (!ask(f::kAttention)) return failure_;
  if (!require(f::kList)) return failure_;
  if (!require(f::slotFrame(page.slot))) return failure_;
  if (!require(f::kAck)) return failure_;
  const std::string_view reply = link_.reply();
  if (reply != f::kAttention) page.progName = cutAt(reply, f::CR);
  link_.closeLink();

  if (!confirm(confirmationText(kAskDelete, page.slot, page.progName))) {
    message(kDeleteDeclined);
    return TransferOutcome::Declined;
  }
  link_.ConnectRS232(page.comIndex);
  message(kDeleting);
  if (!ask(f::kAttention)) return failure_;
  if (!require(f::kDelete)) return failure_;
  if (!require(f::slotFrame(page.slot))) return failure_;
  if (!require(f::nameFrame(page.progName))) return failure_;
  const bool deleted = link_.reply() == f::kDeleteConfirmed;
  message(deleted ? kDeleteConfirmed : kDeleteNotConfirmed);
  link_.closeLink();
  return deleted ? TransferOutcome::Done : TransferOutcome::NotDeleted;
}

}  // namespace zar::nc
