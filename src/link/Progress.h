#pragma once
// How far a dialogue has got: units done of a total (lines, records,
// parameters; the total may be unknown), bytes both ways, rate and time
// left. One Progress lives in the link; the parts fill it and views read it:
//
//   dialogue (through Exchange):  x_.progress().begin(ProgressUnit::Lines, lines.size());
//                                 ... x_.progress().advance();   // one line acknowledged
//   the link itself:              counts every byte it writes and reads
//   Exchange::run:                dialogueStarted() / dialogueEnded(outcome)
//   a view:                       link.progress().setObserver(&bar);
//
// Dialogues never time or format anything; the rate and time left are
// computed here from a steady clock, counting only the time the dialogue
// works (confirmations shown to the person pause the clock). The observer
// is told at most every notifyInterval() (and always at begin, at the last
// unit of a known total, and at the end), on the dialogue's thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "link/DialogueOutcome.h"

namespace zar {

// What a dialogue counts. None: it has not begun counting (it is still
// asking the controller, or it has nothing to count: a delete).
enum class ProgressUnit { None, Lines, Records, Parameters, Programs };

// "lines", "records", "parameters", "programs" ("" for None), for the plain-English views.
std::string_view unitName(ProgressUnit unit);

struct ProgressSnapshot {
  ProgressUnit unit = ProgressUnit::None;
  size_t done = 0;
  std::optional<size_t> total;          // unknown while empty
  uint64_t bytesSent = 0;               // since the dialogue started
  uint64_t bytesReceived = 0;
  double elapsedSeconds = 0;            // working time since the dialogue started
  double bytesPerSecond = 0;            // both ways, over the working time
  double unitsPerSecond = 0;            // since counting began; 0 before the first unit
  std::optional<double> secondsLeft;    // known total and at least one unit done
  bool running = false;                 // between dialogueStarted and dialogueEnded

  // done / total, 0 to 1; empty when the total is unknown.
  std::optional<double> fraction() const;
};

class ProgressObserver {
 public:
  virtual ~ProgressObserver() = default;
  // A dialogue starts (all counts zero).
  virtual void progressStarted() {}
  // The counts moved.
  virtual void progressChanged(const ProgressSnapshot& now) = 0;
  // The dialogue ended with `outcome`; `last` holds its final counts.
  virtual void progressEnded(const ProgressSnapshot& last, DialogueOutcome outcome) {
    (void)last;
    (void)outcome;
  }
};

class Progress {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kNotifyInterval{100};

  // `now` is for tests that drive the clock themselves.
  explicit Progress(std::function<Clock::time_point()> now = Clock::now) : now_(std::move(now)) {}

  // One view at a time (nullptr: none). Not owned.
  void setObserver(ProgressObserver* observer) { observer_ = observer; }
  ProgressObserver* observer() const { return observer_; }
  // Zero tells the observer of every change.
  void setNotifyInterval(std::chrono::milliseconds interval) { interval_ = interval; }
  std::chrono::milliseconds notifyInterval() const { return interval_; }

  // ---- The dialogue's frame (Exchange::run).
  void dialogueStarted();
  void dialogueEnded(DialogueOutcome outcome);
  // Time the person takes to answer a question is not transfer time.
  void pause();
  void resume();

  // ---- The dialogue.
  // Counting starts: `total` units to go (empty: not known). The rate and
  // time left run from here.
  void begin(ProgressUnit unit, std::optional<size_t> total = std::nullopt);
  // The total changed (the editor grew or shrank while it was sent).
  void setTotal(std::optional<size_t> total);
  void advance(size_t units = 1);

  // ---- The link.
  void countSent(size_t bytes);
  void countReceived(size_t bytes);

  ProgressSnapshot snapshot() const;

 private:
  double workingSeconds(Clock::time_point at) const;
  void changed(bool force);

  std::function<Clock::time_point()> now_;
  ProgressObserver* observer_ = nullptr;
  std::chrono::milliseconds interval_ = kNotifyInterval;

  bool running_ = false;
  ProgressUnit unit_ = ProgressUnit::None;
  size_t done_ = 0;
  std::optional<size_t> total_;
  uint64_t sent_ = 0;
  uint64_t received_ = 0;
  Clock::time_point started_{};
  Clock::duration paused_{};                 // paused time since the start
  std::optional<Clock::time_point> pausedAt_;
  double countingFrom_ = 0;                  // working seconds at begin()
  Clock::time_point lastNotified_{};
};

}  // namespace zar
