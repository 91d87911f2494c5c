#pragma once
// Sending, receiving and deleting one NC program: the three dialogues of the
// program page, free of widgets.
//
//   ProgramPage page;                        // what the window shows
//   page.slot = 5; page.progName = "NEW";
//   ProgramTransfer transfer(link, log);
//   TransferOutcome how = transfer.TransBtnClick(page);
//
// Each handler runs its whole dialogue synchronously as one Exchange run
// (link/Exchange.h): one dialogue at a time, the port closed on every way
// out. It talks to the person through the log's operator:
// confirmations, the beep, message lines into the program page's message
// area and the program editor. A send takes the editor's lines and the
// page's fields once, when it starts; the window keeps its controls from
// changing them meanwhile. The window's fields travel in and out through
// `ProgramPage`. Failures of the line are reported by the link primitives;
// the handler only stops. Every handler leaves the port closed.

#include <string>
#include <string_view>

#include "link/Exchange.h"
#include "link/GarbledText.h"
#include "link/Link.h"
#include "ui/MessageLog.h"

namespace zar::nc {

// Index of the controller type box `TypeSel`.
inline constexpr int kTypeX02 = 0;  // "ZAR X02": a program name travels with the program
inline constexpr int kTypeX00 = 1;  // "ZAR X00/X01": no names

inline bool namesTravel(int typeIndex) { return typeIndex == kTypeX02; }

// The program page's fields a dialogue reads and changes.
struct ProgramPage {
  int slot = 1;             // ProgNoEdit, 1..99
  std::string progName;     // ProgNameEdit, at most 8 characters
  std::string tmpProgName;  // TmpProgNameEdit: the name last reported during a send
  int typeIndex = kTypeX02; // TypeSel
  int comIndex = 1;         // COM_Select list index (0 = COM1)
};

// How a dialogue ended (the outcome every dialogue family shares).
using TransferOutcome = zar::DialogueOutcome;
using zar::outcomeName;

// Longest program line frame, prefix and CR LF included.
inline constexpr size_t kMaxLineFrame = 255;
// Longest program line accepted from the controller, over several replies.
inline constexpr size_t kMaxReceivedLine = 4096;

// Fixed English texts no catalog message covers: the two over-long cases,
// and a send that stopped after the controller began to store the program
// (`taken` lines acknowledged of `total`; `unanswered`: the next line went
// out but its reply never came, so the controller may have taken it too).
std::string lineTooLongText(int lineNumber, size_t frameBytes);
std::string receivedLineTooLongText();
std::string partialSendText(int slot, size_t taken, size_t total, bool unanswered);

class ProgramTransfer {
 public:
  // Message identifiers of the program dialogues.
  enum Msg : int {
    kLabelSlot = 14, kLabelName = 15,
    kSending = 105, kSent = 106, kConnected = 108, kReceived = 109,
    kEditorEmpty = 121, kAskSend = 123, kAskReceive = 124, kAskDelete = 125,
    kDeleteDeclined = 126, kDeleting = 127, kDeleteConfirmed = 128, kDeleteNotConfirmed = 129,
    kAskDeleteFirst = 130,
  };

  ProgramTransfer(Link& link, const MessageLog& log) : x_(link, log, Page::Program) {}

  // TransBtn: sends the editor's program into page.slot, offering to delete
  // the program the slot holds first. Updates page.tmpProgName. A send
  // that stops once the controller has begun to store the program (a
  // refused line, a dropped line, a cancel) ends with partialSendText:
  // the slot holds the first lines only, and nobody must run them.
  TransferOutcome TransBtnClick(ProgramPage& page);
  // RcvBtn: fetches the program of page.slot into the editor (and its name
  // into page.progName; emptied for "ZAR X00/X01").
  TransferOutcome RcvBtnClick(ProgramPage& page);
  // DelProgBtn: asks the slot's name (into page.progName), confirms, deletes.
  TransferOutcome DelProgBtnClick(ProgramPage& page);

  // The confirmation texts ("%s\n\n%s:%02d\n%s:%s" and "%s\n\n%s:%02d").
  std::string confirmationText(int question, int slot, std::string_view name) const;
  std::string confirmationText(int question, int slot) const;
  // After a refused receive: which slot, and that it may be empty.
  std::string emptySlotText(int slot) const;

  // The number of editor lines received by the last RcvBtnClick.
  size_t linesReceived() const { return linesReceived_; }
  // What the last TransBtnClick wrote about a program left incomplete in
  // its slot; empty when the slot was not left so.
  const std::string& partialSendNote() const { return partialSendNote_; }
  // The lines of the last RcvBtnClick that arrived garbled; they are stored
  // as they came, and the handler ends with a warning naming them.
  const GarbledReplies& garbledLines() const { return garbled_; }

 private:
  TransferOutcome send(ProgramPage& page);
  TransferOutcome receive(ProgramPage& page);
  TransferOutcome remove(ProgramPage& page);

  // How far the controller got with storing the program of a send.
  struct Store {
    bool begun = false;   // the slot (X00) or name (X02) frame was accepted
    size_t taken = 0;     // program lines acknowledged since
    size_t total = 0;
    bool unanswered = false;  // line taken + 1 went out; no reply, and no refusal, came
  };

  Exchange x_;
  size_t linesReceived_ = 0;
  Store store_;
  std::string partialSendNote_;
  GarbledReplies garbled_{kGarbledProgramLines};
};

}  // namespace zar::nc
