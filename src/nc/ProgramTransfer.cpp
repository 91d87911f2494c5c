#include "nc/ProgramTransfer.h"

#include <algorithm>
#include <cstdio>

#include "link/Frames.h"
#include "ui/Encoding.h"

namespace zar::nc {

namespace f = zar::frames;

namespace {

std::string cutAt(std::string_view text, char c) { return std::string(text.substr(0, text.find(c))); }

std::string withoutLineEnd(std::string_view frame) {
  if (frame.ends_with(f::kLineEnd)) frame.remove_suffix(f::kLineEnd.size());
  return std::string(frame);
}

}  // namespace

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

std::string partialSendText(int slot, size_t taken, size_t total, bool unanswered) {
  // Short enough to be read whole in the message area.
  char took[64];
  if (taken == 0 && !unanswered)
    std::snprintf(took, sizeof took, "none");
  else if (!unanswered)
    std::snprintf(took, sizeof took, "only the first %zu", taken);
  else if (taken == 0)
    std::snprintf(took, sizeof took, "none (or the first)");
  else
    std::snprintf(took, sizeof took, "only the first %zu (or %zu)", taken, taken + 1);
  char text[200];
  std::snprintf(text, sizeof text,
                "Slot %02d holds %s of the program's %zu lines: do not run it, send it again.", slot, took,
                total);
  return text;
}

// ---------------------------------------------------------------- texts

std::string ProgramTransfer::confirmationText(int question, int slot, std::string_view name) const {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", slot);
  const MessageCatalog& c = x_.log().catalog();
  return c.text(question) + "\n\n" + c.text(kLabelSlot) + ":" + number + "\n" + c.text(kLabelName) + ":" +
         std::string(name);
}

std::string ProgramTransfer::confirmationText(int question, int slot) const {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", slot);
  const MessageCatalog& c = x_.log().catalog();
  return c.text(question) + "\n\n" + c.text(kLabelSlot) + ":" + number;
}

std::string ProgramTransfer::emptySlotText(int slot) const {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", slot);
  const MessageCatalog& c = x_.log().catalog();
  // No catalog message says this; the text follows the catalog's language.
  const std::string_view why = c.language() == 0 ? "：此程式號可能沒有程式，控制器拒絕傳送。"
                                                 : ": the slot may be empty; the controller refused to send it.";
  return c.text(kLabelSlot) + ":" + number + fromUtf8(why, c.language());
}

// ---------------------------------------------------------------- handlers

// The closing notes below are written inside the run, so that a click that
// comes while another dialogue holds the link (Busy) touches neither.

TransferOutcome ProgramTransfer::TransBtnClick(ProgramPage& page) {
  return x_.run([&] {
    store_ = Store{};
    partialSendNote_.clear();
    const TransferOutcome outcome = send(page);
    // Whatever stopped the send, the slot keeps what the controller took:
    // said last, where it is seen.
    if (store_.begun && store_.taken < store_.total) {
      partialSendNote_ = partialSendText(page.slot, store_.taken, store_.total, store_.unanswered);
      x_.message(0, partialSendNote_);
    }
    return outcome;
  });
}

TransferOutcome ProgramTransfer::RcvBtnClick(ProgramPage& page) {
  return x_.run([&] {
    garbled_.start(x_.log().catalog().language());
    const TransferOutcome outcome = receive(page);
    // Lines stored stay in the editor whatever the end: the warning comes
    // last, where it is seen.
    if (garbled_.any()) {
      x_.message(0, garbled_.warning());
      x_.beep();
    }
    return outcome;
  });
}

TransferOutcome ProgramTransfer::DelProgBtnClick(ProgramPage& page) {
  return x_.run([&] { return remove(page); });
}

TransferOutcome ProgramTransfer::send(ProgramPage& page) {
  // The program is taken once, here: the slot, the name and the lines that
  // go out are these, whatever happens in the window while the send runs.
  // Reading the editor afresh for each line let a file opened mid-send cut
  // the program short and still end with "every line was sent".
  const std::vector<std::string> lines = x_.op().editorLines(Page::Program);
  if (lines.empty()) {
    x_.message(kEditorEmpty);
    x_.beep();
    return TransferOutcome::EmptyEditor;
  }
  // A line that cannot travel in one frame stops the send before anything goes out.
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t bytes = f::programLineFrame(static_cast<int>(i + 1), lines[i]).size();
    if (bytes > kMaxLineFrame) {
      x_.message(0, lineTooLongText(static_cast<int>(i + 1), bytes));
      x_.beep();
      return TransferOutcome::LineTooLong;
    }
  }
  x_.beep();
  if (!x_.confirm(confirmationText(kAskSend, page.slot, page.progName))) return TransferOutcome::Declined;

  // What does the slot hold?
  if (!x_.connect(page.comIndex)) return x_.failure();
  x_.message(kConnected);
  if (!x_.ask(f::kAttention)) return x_.failure();
  if (!x_.require(f::kList)) return x_.failure();
  bool deleteFirst = false;
  if (!x_.send(f::slotFrame(page.slot))) return x_.failure();
  if (x_.tryReceive()) {  // a refused or unanswered slot query: send at once
    if (!x_.require(f::kAck)) return x_.failure();
    if (x_.reply() != f::kAttention) page.tmpProgName = cutAt(x_.reply(), f::CR);
    x_.closeLink();
    deleteFirst = x_.confirm(confirmationText(kAskDeleteFirst, page.slot, page.tmpProgName));
  }

  if (deleteFirst) {
    if (!x_.connect(page.comIndex)) return x_.failure();
    x_.message(kDeleting);
    if (!x_.ask(f::kAttention)) return x_.failure();
    if (!x_.require(f::kDelete)) return x_.failure();
    if (!x_.require(f::slotFrame(page.slot))) return x_.failure();
    if (!x_.require(f::nameFrame(page.tmpProgName))) return x_.failure();
    x_.message(x_.reply() == f::kDeleteConfirmed ? kDeleteConfirmed : kDeleteNotConfirmed);
  }

  // Sending.
  x_.closeLink();
  x_.reconnectPause();
  if (!x_.connect(page.comIndex)) return x_.failure();
  x_.message(kSending);
  if (!x_.ask(f::kAttention)) return x_.failure();
  if (!x_.require(f::kStore)) return x_.failure();
  if (!x_.require(f::slotFrame(page.slot))) return x_.failure();
  if (namesTravel(page.typeIndex) && !x_.require(f::nameFrame(page.progName))) return x_.failure();
  // From here the slot holds the lines the controller takes.
  store_ = Store{};
  store_.begun = true;
  store_.total = lines.size();
  x_.progress().begin(ProgressUnit::Lines, lines.size());
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string frame = f::programLineFrame(static_cast<int>(k + 1), lines[k]);
    x_.message(0, withoutLineEnd(frame));
    if (!x_.send(frame)) return x_.failure();
    // A line that got no answer (a time-out, a hang-up, a cancel while the
    // reply was awaited) may have been stored all the same; a refused one not.
    store_.unanswered = true;
    if (!x_.receive()) {
      store_.unanswered = x_.failure() != TransferOutcome::Refused;
      return x_.failure();
    }
    store_.unanswered = false;
    ++store_.taken;
    x_.progress().advance();
  }
  x_.message(kSent);
  x_.closeLink();
  return TransferOutcome::Done;
}

TransferOutcome ProgramTransfer::receive(ProgramPage& page) {
  Operator& op = x_.op();
  constexpr Page P = Page::Program;
  linesReceived_ = 0;
  x_.beep();
  if (!x_.confirm(confirmationText(kAskReceive, page.slot))) return TransferOutcome::Declined;

  if (!x_.connect(page.comIndex)) return x_.failure();
  x_.message(kConnected);
  if (!x_.ask(f::kAttention)) return x_.failure();
  if (!x_.require(f::kList)) return x_.failure();
  if (!x_.require(f::slotFrame(page.slot))) {
    // The controller refuses to list a slot that holds nothing.
    if (x_.failure() == TransferOutcome::Refused) x_.message(0, emptySlotText(page.slot));
    return x_.failure();
  }
  if (!x_.send(f::kAck)) return x_.failure();
  x_.progress().begin(ProgressUnit::Lines);  // how many will come is not known

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
  static const std::string tooLong = receivedLineTooLongText();
  for (;;) {
    std::string reply;
    if (!x_.receiveLine(reply, kMaxReceivedLine, tooLong)) return x_.failure();
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
        const std::string line = cutAt(text, f::LF);
        op.appendEditorLine(P, line);
        garbled_.check(++linesReceived_, line);
        x_.progress().advance();
      }
    }
    if (!x_.send(f::kAck)) return x_.failure();
    if (complete) break;
  }
  x_.letFrameLeave(f::kAck.size());
  x_.message(kReceived);
  x_.closeLink();
  return TransferOutcome::Done;
}

TransferOutcome ProgramTransfer::remove(ProgramPage& page) {
  if (!x_.connect(page.comIndex)) return x_.failure();
  x_.message(kConnected);
  if (!x_.ask(f::kAttention)) return x_.failure();
  if (!x_.require(f::kList)) return x_.failure();
  if (!x_.require(f::slotFrame(page.slot))) return x_.failure();
  if (!x_.require(f::kAck)) return x_.failure();
  if (x_.reply() != f::kAttention) page.progName = cutAt(x_.reply(), f::CR);
  x_.closeLink();

  if (!x_.confirm(confirmationText(kAskDelete, page.slot, page.progName))) {
    if (x_.cancelled()) return x_.failure();
    x_.message(kDeleteDeclined);
    return TransferOutcome::Declined;
  }
  if (!x_.connect(page.comIndex)) return x_.failure();
  x_.message(kDeleting);
  if (!x_.ask(f::kAttention)) return x_.failure();
  if (!x_.require(f::kDelete)) return x_.failure();
  if (!x_.require(f::slotFrame(page.slot))) return x_.failure();
  if (!x_.require(f::nameFrame(page.progName))) return x_.failure();
  const bool deleted = x_.reply() == f::kDeleteConfirmed;
  x_.message(deleted ? kDeleteConfirmed : kDeleteNotConfirmed);
  x_.closeLink();
  return deleted ? TransferOutcome::Done : TransferOutcome::NotDeleted;
}

}  // namespace zar::nc
