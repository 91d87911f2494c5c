#pragma once
// Ctrl-C and SIGTERM during a dialogue: while a CancelSignals lives, either
// signal asks the link to cancel its dialogue (which then stops cleanly: the
// port closed, nothing more sent) instead of ending the process. A second
// signal ends the process the usual way. The previous handlers come back
// when it goes, so a signal after the dialogue ends the command at once.

#include <csignal>

namespace zar {
class Link;
}

namespace zar::cli {

class CancelSignals {
 public:
  explicit CancelSignals(Link& link);
  ~CancelSignals();
  CancelSignals(const CancelSignals&) = delete;
  CancelSignals& operator=(const CancelSignals&) = delete;

  // Exit code of a command whose dialogue was cancelled (128 + SIGINT, as a
  // shell reports a command that Ctrl-C ended).
  static constexpr int kExitCode = 130;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

}  // namespace zar::cli
