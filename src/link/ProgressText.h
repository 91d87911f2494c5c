#pragma once
// Progress as plain English text, for the views of Progress (zarctl's
// terminal line, the window's strip under the pages). Views format; the
// dialogues and Progress itself never do.

#include <string>

#include "link/Progress.h"

namespace zar {

// "812 B", "3.6 kB", "1.2 MB".
std::string formatBytes(double bytes);
// "0:07", "12:30", "1:02:03".
std::string formatDuration(double seconds);
// What the window's strip says beside its bar: "120/302 lines  0:15 left",
// "57 lines  1.9 kB/s", "12/68 programs  1:20 left"; before counting
// begins only the bytes. No percentage: the bar shows it.
std::string progressEstimate(const ProgressSnapshot& now);

}  // namespace zar
