#include "cli/ProgressLine.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zar::cli {

std::string formatProgressLine(std::string_view label, const ProgressSnapshot& s, const DialogueOutcome* ended) {
  std::string line(label);
  if (s.unit != ProgressUnit::None) {
    line += "  " + std::to_string(s.done);
    if (s.total) line += "/" + std::to_string(*s.total);
    line += " ";
    line += unitName(s.unit);
    if (const auto f = s.fraction()) line += "  " + std::to_string(static_cast<int>(*f * 100)) + "%";
  }
  line += "  " + formatBytes(static_cast<double>(s.bytesSent + s.bytesReceived));
  if (s.bytesPerSecond > 0) line += "  " + formatBytes(s.bytesPerSecond) + "/s";
  if (ended) {
    line += "  in " + formatDuration(s.elapsedSeconds);
    if (*ended != DialogueOutcome::Done) {
      line += "  ";
      line += outcomeName(*ended);
    }
  } else if (s.secondsLeft) {
    line += "  ETA " + formatDuration(*s.secondsLeft);
  } else {
    line += "  " + formatDuration(s.elapsedSeconds);
  }
  return line;
}

ProgressLine::ProgressLine(std::string label, int fd)
    : label_(std::move(label)), fd_(fd), tty_(::isatty(fd) == 1) {}

void ProgressLine::put(std::string_view bytes) const {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void ProgressLine::draw() {
  if (!tty_ || text_.empty()) return;
  // A line longer than the terminal wraps, and "\r" then rewrites only its end.
  winsize size{};
  std::string shown = text_;
  if (::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && shown.size() >= size.ws_col)
    shown.resize(size.ws_col - 1);
  put("\r" + shown + "\x1b[K");
  shown_ = true;
}

void ProgressLine::progressStarted() {
  text_.clear();
  shown_ = false;
}

void ProgressLine::progressChanged(const ProgressSnapshot& now) {
  if (!tty_) return;
  text_ = formatProgressLine(label_, now);
  draw();
}

void ProgressLine::progressEnded(const ProgressSnapshot& last, DialogueOutcome outcome) {
  if (!tty_ || text_.empty()) return;  // nothing moved: nothing to sum up
  text_ = formatProgressLine(label_, last, &outcome);
  draw();
  put("\n");
  text_.clear();
  shown_ = false;
}

void ProgressLine::hide() {
  if (!shown_) return;
  put("\r\x1b[K");
  shown_ = false;
}

void ProgressLine::show() {
  if (!shown_) draw();
}

}  // namespace zar::cli
