#include "link/Progress.h"

#include <algorithm>

namespace zar {

std::string_view unitName(ProgressUnit unit) {
  switch (unit) {
    case ProgressUnit::None: return "";
    case ProgressUnit::Lines: return "lines";
    case ProgressUnit::Records: return "records";
    case ProgressUnit::Parameters: return "parameters";
    case ProgressUnit::Programs: return "programs";
  }
  return "";
}

std::optional<double> ProgressSnapshot::fraction() const {
  if (!total) return std::nullopt;
  if (*total == 0) return 1.0;
  return done >= *total ? 1.0 : static_cast<double>(done) / static_cast<double>(*total);
}

void Progress::dialogueStarted() {
  running_ = true;
  unit_ = ProgressUnit::None;
  done_ = 0;
  total_.reset();
  sent_ = received_ = 0;
  started_ = now_();
  paused_ = {};
  pausedAt_.reset();
  countingFrom_ = 0;
  lastNotified_ = started_;
  if (observer_) observer_->progressStarted();
}

void Progress::dialogueEnded(DialogueOutcome outcome) {
  resume();
  ProgressSnapshot last = snapshot();
  last.running = running_ = false;
  if (observer_) observer_->progressEnded(last, outcome);
}

void Progress::pause() {
  if (running_ && !pausedAt_) pausedAt_ = now_();
}

void Progress::resume() {
  if (!pausedAt_) return;
  paused_ += now_() - *pausedAt_;
  pausedAt_.reset();
}

void Progress::begin(ProgressUnit unit, std::optional<size_t> total) {
  unit_ = unit;
  done_ = 0;
  total_ = total;
  countingFrom_ = workingSeconds(now_());
  changed(true);
}

void Progress::setTotal(std::optional<size_t> total) {
  if (total == total_) return;
  total_ = total;
  changed(false);
}

void Progress::advance(size_t units) {
  done_ += units;
  changed(total_ && done_ >= *total_);
}

void Progress::countSent(size_t bytes) {
  sent_ += bytes;
  changed(false);
}

void Progress::countReceived(size_t bytes) {
  received_ += bytes;
  changed(false);
}

double Progress::workingSeconds(Clock::time_point at) const {
  if (!running_) return 0;
  Clock::duration working = at - started_ - paused_;
  if (pausedAt_) working -= at - *pausedAt_;
  return std::max(0.0, std::chrono::duration<double>(working).count());
}

ProgressSnapshot Progress::snapshot() const {
  ProgressSnapshot s;
  s.unit = unit_;
  s.done = done_;
  s.total = total_;
  s.bytesSent = sent_;
  s.bytesReceived = received_;
  s.running = running_;
  s.elapsedSeconds = workingSeconds(now_());
  if (s.elapsedSeconds > 0) s.bytesPerSecond = static_cast<double>(sent_ + received_) / s.elapsedSeconds;
  const double counting = s.elapsedSeconds - countingFrom_;
  if (unit_ != ProgressUnit::None && done_ > 0 && counting > 0) {
    s.unitsPerSecond = static_cast<double>(done_) / counting;
    if (total_ && done_ < *total_) s.secondsLeft = static_cast<double>(*total_ - done_) / s.unitsPerSecond;
  }
  if (unit_ != ProgressUnit::None && total_ && done_ >= *total_) s.secondsLeft = 0.0;
  return s;
}

void Progress::changed(bool force) {
  if (!observer_ || !running_) return;
  const Clock::time_point now = now_();
  if (!force && now - lastNotified_ < interval_) return;
  lastNotified_ = now;
  observer_->progressChanged(snapshot());
}

}  // namespace zar
