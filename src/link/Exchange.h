#pragma once
// The toolkit every controller dialogue is written with. An Exchange binds
// the link, the message log and the page whose message area the dialogue
// writes to, and offers the steps dialogues are made of, so that a dialogue
// reads like its wire table:
//
//   DialogueOutcome ParameterTransfer::receive(int comIndex) {
//     return x_.run([&] {                                // guard, port closed at the end
//       if (!x_.confirm(question)) return DialogueOutcome::Declined;
//       if (!x_.connect(comIndex)) return x_.failure();  // 102 and the reason written
//       x_.message(kStarting);
//       if (!x_.ask(frames::kAttention)) return x_.failure();       // reply not weighed
//       if (!x_.require(frames::kParamReceive)) return x_.failure();
//       x_.progress().begin(ProgressUnit::Parameters, wanted.size());
//       for (const auto& p : wanted) {
//         if (!x_.require(requestFrame(p))) return x_.failure();    // refusal or silence ends it
//         use(x_.reply());
//         x_.progress().advance();
//       }
//       x_.message(kEnded);
//       return DialogueOutcome::Done;
//     });
//   }
//
// Keep one Exchange per dialogue object (or per run); it holds no state
// between runs except the page it writes to.
//
// Failures: every step returns false when the dialogue cannot go on. The
// link has already reported the cause (102 and the reason, time-out 103,
// write failure 104, the hang-up line, refusal 122/142/162, "Cancelled.",
// and 107 for the port it closed); the dialogue only stops, usually with
// `return x_.failure()`, which says why: Refused, LinkFailed or Cancelled.
// Nothing is shown twice, and a dialogue formats no failure text itself.
//
// Cancel (Link::requestCancel, from a button or a signal) needs nothing
// from a dialogue: the steps stop at the next frame boundary or within a
// pump interval of a wait, and run() returns Cancelled.
//
// Everything runs on the thread that owns the port; the link pumps the
// operator's events while a reply is awaited.

#include <string>
#include <string_view>

#include "link/DialogueOutcome.h"
#include "link/Link.h"
#include "ui/MessageLog.h"

namespace zar {

class Exchange {
 public:
  Exchange(Link& link, const MessageLog& log, Page page) : link_(link), log_(log), page_(page) {}

  // Runs `dialogue` (a callable returning DialogueOutcome) as one dialogue:
  // Busy at once when another dialogue holds the link; otherwise the
  // dialogue's outcome (Cancelled whenever a cancel took effect), with the
  // port closed (and 107 written) on every way out. The link's progress
  // hears of the start and the end.
  template <typename Dialogue>
  DialogueOutcome run(Dialogue&& dialogue);

  // ---- The line.

  // (Re)opens the port of list index `comIndex` (ConnectRS232). True when
  // it is open; when not, the link has written 102 and the reason, and the
  // dialogue should end at once (`return x_.failure()`): running on into
  // the time-outs of a port that never opened only adds "no reply" lines
  // that send the person to the cable instead of the port.
  bool connect(int comIndex);
  // Sends a frame (TransToZAR). False when the write failed (104 or the
  // hang-up line, 107) or a cancel took effect.
  bool send(std::string_view frame);
  // The same, with the frame text in the trace line (TransStr; STX/ETX frames).
  bool sendText(std::string_view frame);
  // Sends `frame` and reads one reply with report 0, whose content does not
  // matter: a refusal is not reported and ends nothing. True when the frame
  // went out and the line is still open; whether an accepted reply came is
  // left to the caller (replied()). No reply in time or a hang-up closes
  // the port (103 or the hang-up line, 107) and gives false: the dialogue
  // ends there rather than time out a second time on a closed port.
  bool ask(std::string_view frame);
  // Sends `frame` and requires an accepted reply (report 1). False on a
  // failed write, no reply in time, a hang-up, a refusal or a cancel; the
  // port is closed then.
  bool require(std::string_view frame);
  // Reads one reply with report 1 (after send()); false as for require().
  bool receive();
  // Reads one reply with report 0: true when an accepted reply came (not
  // the NAK frame, in time). A refusal is not reported; a time-out or a
  // hang-up is (103 or the hang-up line) and closes the port.
  bool tryReceive();
  // Reads one reply as `ReceiveZARProgNo` does: a NAK only writes the
  // refusal (report 1, program page shown) and leaves the port open.
  bool receiveProgNo(int report);
  // One reply line with report 1, joining the pieces of a line longer than
  // the reply limit (a reply that fills the limit without its terminator is
  // continued by the next one, without another ACK frame). A line growing
  // past `maxBytes` stops the dialogue: `tooLongText` is written, beep, the
  // port closed, failure() is LineTooLong. The line ends at its first NUL.
  bool receiveLine(std::string& line, size_t maxBytes, std::string_view tooLongText);

  // Whether the last ask() got an accepted reply.
  bool replied() const { return replied_; }
  // The last reply, up to its first NUL, and all its bytes.
  std::string_view reply() const { return link_.reply(); }
  const std::string& replyBytes() const { return link_.replyBytes(); }

  // Closes the port at the end of a phase (107 when it was open).
  void closeLink() { link_.closeLink(); }
  // The pause before re-opening the port within a dialogue (settings).
  // Cut short by a cancel request; the next step then stops.
  void reconnectPause();
  // No reply follows the last frame of a dialogue: gives its `bytes` time
  // to leave the line before the port is closed, which drops what is queued.
  void letFrameLeave(size_t bytes);

  // ---- Progress and cancel.

  // Where the dialogue reports how far it got: begin(unit, total) when its
  // counted part starts, advance() for every unit done. Bytes are counted
  // by the link; rate and time left are computed there. Never format or
  // time anything in a dialogue.
  Progress& progress() { return link_.progress(); }
  // Whether a cancel took effect. Every step above returns false from then
  // on; a dialogue that goes on after a failed step (an end message, say)
  // sends nothing more. Ask it where a declined question would otherwise
  // be answered with a message of its own.
  bool cancelled() const { return link_.cancelled(); }

  // ---- The person.

  // An OK/Cancel confirmation; true for OK. A cancel requested before or
  // while it is shown makes it false (and takes effect). The time the
  // person takes does not count as transfer time.
  bool confirm(const std::string& text);
  // Appends message `id` plus `extra` to this dialogue's page (0: extra alone).
  void message(int id, std::string_view extra = {});
  void beep();

  // Why the last failed step failed: Refused, LinkFailed, LineTooLong
  // (receiveLine) or Cancelled.
  DialogueOutcome failure() const { return failure_; }

  Link& link() { return link_; }
  const MessageLog& log() const { return log_; }
  Operator& op() const { return log_.op(); }
  Page page() const { return page_; }
  const LinkSettings& settings() const { return link_.settings(); }

 private:
  void start();
  DialogueOutcome finish(DialogueOutcome outcome);
  bool failed(DialogueOutcome why);

  Link& link_;
  const MessageLog& log_;
  Page page_;
  DialogueOutcome failure_ = DialogueOutcome::LinkFailed;
  bool replied_ = false;
};

template <typename Dialogue>
DialogueOutcome Exchange::run(Dialogue&& dialogue) {
  DialogueGuard guard(link_);
  if (!guard) return DialogueOutcome::Busy;
  start();
  return finish(dialogue());
}

}  // namespace zar
