#pragma once
// Sending and receiving parameter settings: the two dialogues of the
// parameter page, free of widgets.
//
//   send (editor lines)                 receive (checked entries)
//   $% CR LF      reply ignored         $% CR LF      reply ignored
//   $R CR LF      ACK                   $P CR LF      ACK
//   12=3000 CR LF ACK   (each line)     12 CR LF      ACK   (each entry)
//                                       ACK frame     3000 CR LF
//
//   ParameterTransfer transfer(link, log, comIndex);
//   transfer.ParRcvBtnClick(checkedEntries);   // fills the parameter editor
//   transfer.ParTrnBtnClick();                 // sends the parameter editor
//
// Each handler runs its whole dialogue through the dialogue toolkit: under
// the link's guard, talking to the person through the log's operator (the
// confirmation, the beep, lines into the parameter page's message area and
// editor), counting parameters for the progress views, stopping at a cancel
// request, and leaving the port closed. Failures of the line are reported by
// the link; the handler only stops or goes on as its table says.
//
// Outcomes: Done when every line was sent or every checked parameter came;
// EmptyEditor (message 141), Declined, LineFormat (the send stopped at a line
// it cannot send, message 145), Refused (a NAK), LinkFailed, BadValue (a
// value that is no number: not kept, marked "XXXXXX"), Cancelled, Busy.
// A receive that lost one parameter goes on with the next as its table
// says; its outcome is that of the first loss.

#include <optional>
#include <string>
#include <vector>

#include "link/DialogueOutcome.h"
#include "link/Exchange.h"
#include "param/ParameterLine.h"
#include "param/ParameterTables.h"
#include "ui/MessageLog.h"

namespace zar::param {

// What one request of a receive gave.
struct ReceivedParameter {
  ParameterEntry entry;
  std::optional<std::string> value;  // the value text; none when "XXXXXX" was shown
};

class ParameterTransfer {
 public:
  enum Msg : int {
    kEditorEmpty = 141, kAskSend = 143, kSending = 144, kLineFormat = 145, kSent = 146,
    kReceiving = 147, kReceived = 148,
  };

  // `comIndex`: the port list index the dialogues open (0 = COM1).
  ParameterTransfer(Link& link, const MessageLog& log, int comIndex)
      : x_(link, log, Page::Parameter), comIndex_(comIndex) {}

  // `ParTrnBtn`: every line of the parameter editor to the controller.
  DialogueOutcome ParTrnBtnClick();
  // `ParRcvBtn`: the value of each checked entry, in order, into the
  // emptied parameter editor as "<name>(<number>)=<value>".
  DialogueOutcome ParRcvBtnClick(const std::vector<ParameterEntry>& checked);

  // ---- what the last dialogue did
  // Receive: one element per request made, in order.
  const std::vector<ReceivedParameter>& received() const { return received_; }
  // Receive: whether the editor was emptied (the dialogue reached its loop).
  bool editorCleared() const { return editorCleared_; }
  // Send: settings the controller accepted.
  size_t settingsSent() const { return settingsSent_; }
  // Send stopped at a line it cannot send: the line's index and why.
  std::optional<size_t> malformedLine() const { return malformedLine_; }
  LineProblem malformedProblem() const { return malformedProblem_; }

 private:
  DialogueOutcome send();
  DialogueOutcome receive(const std::vector<ParameterEntry>& checked);

  Exchange x_;
  int comIndex_;
  std::vector<ReceivedParameter> received_;
  bool editorCleared_ = false;
  size_t settingsSent_ = 0;
  std::optional<size_t> malformedLine_;
  LineProblem malformedProblem_ = LineProblem::None;
};

}  // namespace zar::param
