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
// Each handler runs its whole dialogue synchronously under the link's
// dialogue guard, talks to the person through the log's operator (the
// confirmation, the beep, lines into the parameter page's message area and
// editor) and leaves the port closed. Failures of the line are reported by
// the link primitives; the handler only stops or goes on as its table says.

#include <optional>
#include <string>
#include <vector>

#include "link/Link.h"
#include "param/ParameterLine.h"
#include "param/ParameterTables.h"
#include "ui/MessageLog.h"

namespace zar::param {

// How a parameter dialogue ended.
enum class ParameterOutcome {
  Done,          // every line sent / every checked parameter received
  EmptyEditor,   // nothing to send (message 141)
  Declined,      // the person declined the confirmation
  Malformed,     // the send stopped at a line it cannot send (message 145)
  Refused,       // the controller answered with the NAK frame
  LinkFailed,    // no reply in time, a write failed, or the port did not open
  BadValue,      // a value came back that is no parameter value ("XXXXXX")
  Busy,          // another dialogue holds the link
};

std::string_view outcomeName(ParameterOutcome outcome);

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
      : link_(link), log_(log), comIndex_(comIndex) {}

  // `ParTrnBtn`: every line of the parameter editor to the controller.
  ParameterOutcome ParTrnBtnClick();
  // `ParRcvBtn`: the value of each checked entry, in order, into the
  // emptied parameter editor as "<name>(<number>)=<value>".
  ParameterOutcome ParRcvBtnClick(const std::vector<ParameterEntry>& checked);

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
  ParameterOutcome send();
  ParameterOutcome receive(const std::vector<ParameterEntry>& checked);
  void message(int id, std::string_view extra = {});

  Link& link_;
  const MessageLog& log_;
  int comIndex_;
  std::vector<ReceivedParameter> received_;
  bool editorCleared_ = false;
  size_t settingsSent_ = 0;
  std::optional<size_t> malformedLine_;
  LineProblem malformedProblem_ = LineProblem::None;
};

}  // namespace zar::param
