#pragma once
// How a controller dialogue ended. Every dialogue family returns one of
// these, so callers (button handlers, zarctl exit codes, progress views)
// treat all of them alike.

#include <string_view>

namespace zar {

enum class DialogueOutcome {
  Done,          // ran to its end (a send also after an unconfirmed deletion)
  EmptyEditor,   // nothing in the editor to send
  Declined,      // the person declined a confirmation
  NotDeleted,    // a delete the controller did not confirm
  Refused,       // the controller answered a required step with the NAK frame
  LinkFailed,    // the port did not open, no reply in time, a write failed, the line hung up
  LineTooLong,   // a line does not fit into one frame, or came back over-long
  LineFormat,    // an editor line is not in a form that can be sent (parameter lines)
  BadValue,      // a value came back that is not one (a parameter value that is no number)
  Busy,          // another dialogue holds the link
  Cancelled,     // stopped on request (Link::requestCancel): nothing more was sent
  FileFailed,    // a file the dialogue reads or writes could not be (its reason was written)
};

// A short lower-case English name ("done", "link failed"), for logs and exit texts.
std::string_view outcomeName(DialogueOutcome outcome);

}  // namespace zar
