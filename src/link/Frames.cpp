#include "link/Frames.h"

#include <cstdio>

namespace zar::frames {

std::string slotFrame(int slot) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d\r\n", slot);
  return text;
}

std::string nameFrame(std::string_view name) {
  std::string frame(name.substr(0, 8));
  frame.resize(8, ' ');
  return frame + kLineEnd;
}

std::string programLineFrame(int lineNumber, std::string_view line) {
  const size_t lf = line.find('\n');
  if (lf != std::string_view::npos) line = line.substr(0, lf);
  std::string frame = "N";
  frame += std::to_string(lineNumber);
  frame += ' ';
  frame.append(line);
  frame += kLineEnd;
  return frame;
}

}  // namespace zar::frames
