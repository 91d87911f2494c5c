#pragma once
// Sending, receiving and deleting one NC program: the three dialogues of the
// program page, free of widgets.
//
//   ProgramPage page;                        // what the window shows
//   page.slot = 5; page.progName = "NEW";
//   ProgramTransfer transfer(link, log);
//   TransferOutcome how = transfer.TransBtnClick(page);
//
// Each handler runs its whole dialogue synchronously under the link's
// dialogue guard. It talks to the person through the log's operator:
// confirmations, the beep, message lines into the program page's message
// area and the program editor (lines are read afresh while a send runs, so
// the editor stays live). The window's fields travel in and out through
// `ProgramPage`. Failures of the line are reported by the link primitives;
// the handler only stops. Every handler leaves the port closed.

#include <string>
#include <string_view>

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

// How a dialogue ended, for callers that act on it (exit codes, buttons).
enum class TransferOutcome {
  Done,          // ran to its end (a send also after an unconfirmed deletion)
  EmptyEditor,   // a send with nothing in the editor
  Declined,      // the person declined a confirmation
  NotDeleted,    // a delete the controller did not confirm
  Refused,       // the controller answered a required step with the NAK frame
  LinkFailed,    // no reply in time, a write failed, or the port did not open
  LineTooLong,   // a program line does not fit into one frame, or came back over-long
  Busy,          // another dialogue holds the link
};

std::string_view outcomeName(TransferOutcome outcome);

// Longest program line frame, prefix and CR LF included.
inline constexpr size_t kMaxLineFrame = 255;
// Longest program line accepted from the controller, over several replies.
inline constexpr size_t kMaxReceivedLine = 4096;

// Fixed texts of the two over-long cases (no catalog message covers them).
std::string lineTooLongText(int lineNumber, size_t frameBytes);
std::string receivedLineTooLongText();

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

  ProgramTransfer(Link& link, const MessageLog& log) : link_(link), log_(log) {}

  // TransBtn: sends the editor's program into page.slot, offering to delete
  // the program the slot holds first. Updates page.tmpProgName.
  TransferOutcome TransBtnClick(ProgramPage& page);
  // RcvBtn: fetches the program of page.slot into the editor (and its name
  // into page.progName; emptied for "ZAR X00/X01").
  TransferOutcome RcvBtnClick(ProgramPage& page);
  // DelProgBtn: asks the slot's name (into page.progName), confirms, deletes.
  TransferOutcome DelProgBtnClick(ProgramPage& page);

  // The confirmation texts ("%s\n\n%s:%02d\n%s:%s" and "%s\n\n%s:%02d").
  std::string confirmationText(int question, int slot, std::string_view name) const;
  std::string confirmationText(int question, int slot) const;

  // The number of editor lines received by the last RcvBtnClick.
  size_t linesReceived() const { return linesReceived_; }

 private:
  TransferOutcome send(ProgramPage& page);
  TransferOutcome receive(ProgramPage& page);
  TransferOutcome remove(ProgramPage& page);
  template <typename Dialogue>
  TransferOutcome guarded(Dialogue&& dialogue);

  // Sends `frame` and requires an accepted reply (report 1); on failure
  // `failure_` tells a refusal from a dead link.
  bool require(std::string_view frame);
  // Sends `frame` and reads a reply with report 0; true when accepted.
  bool ask(std::string_view frame);
  bool receiveRequired();
  // One reply line with report 1, joining the pieces of a line longer than
  // the reply limit. False (and `tooLong` set when that was why) on failure.
  bool receiveLine(std::string& line, bool& tooLong);

  bool confirm(const std::string& text);
  void message(int id, std::string_view extra = {});

  Link& link_;
  const MessageLog& log_;
  size_t linesReceived_ = 0;
  TransferOutcome failure_ = TransferOutcome::LinkFailed;
};

}  // namespace zar::nc
