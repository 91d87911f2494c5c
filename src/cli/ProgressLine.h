#pragma once
// The progress of a dialogue as one line on a terminal, rewritten in place:
//
//   send  120/302 lines  40%  3.6 kB  1.2 kB/s  ETA 0:15
//   receive  57 lines  1.9 kB  960 B/s  0:02
//
// It shows nothing unless its descriptor is a terminal. Everything else
// written to that terminal while the line is up goes between hide() and
// show(), so the line stays below it. When the dialogue ends the line is
// left with its final counts.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "link/Progress.h"
#include "link/ProgressText.h"

namespace zar::cli {

using zar::formatBytes;
using zar::formatDuration;
// The line for a snapshot (no terminal control characters). `ended`: the
// final form, with the time taken and, unless Done, how it ended.
std::string formatProgressLine(std::string_view label, const ProgressSnapshot& now,
                               const DialogueOutcome* ended = nullptr);

class ProgressLine : public ProgressObserver {
 public:
  explicit ProgressLine(std::string label, int fd = STDERR_FILENO);

  // Whether the descriptor is a terminal (otherwise every call does nothing).
  bool active() const { return tty_; }

  void progressStarted() override;
  void progressChanged(const ProgressSnapshot& now) override;
  void progressEnded(const ProgressSnapshot& last, DialogueOutcome outcome) override;

  // Around other output to the terminal.
  void hide();
  void show();

 private:
  void draw();
  void put(std::string_view bytes) const;

  std::string label_;
  int fd_;
  bool tty_;
  std::string text_;    // what the line says now; empty before anything moved
  bool shown_ = false;  // it is on the screen
};

}  // namespace zar::cli
