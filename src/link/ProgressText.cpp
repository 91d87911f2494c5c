#include "link/ProgressText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zar {

std::string formatBytes(double bytes) {
  char text[32];
  if (bytes < 999.5) std::snprintf(text, sizeof text, "%.0f B", bytes);
  else if (bytes < 999950) std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
  else std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
  return text;
}

std::string formatDuration(double seconds) {
  const long total = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  return text;
}

std::string progressEstimate(const ProgressSnapshot& s) {
  std::string text;
  if (s.unit != ProgressUnit::None) {
    text = std::to_string(s.done);
    if (s.total) text += "/" + std::to_string(*s.total);
    text += " ";
    text += unitName(s.unit);
  } else {
    text = formatBytes(static_cast<double>(s.bytesSent + s.bytesReceived));
  }
  if (s.secondsLeft && s.running) text += "  " + formatDuration(*s.secondsLeft) + " left";
  else if (s.bytesPerSecond > 0) text += "  " + formatBytes(s.bytesPerSecond) + "/s";
  return text;
}

}  // namespace zar
