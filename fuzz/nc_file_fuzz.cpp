// NC program files of any content: loading never crashes, stays bounded and
// gives only what the format allows.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nc/ProgramFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (int type : {zar::nc::kTypeX02, zar::nc::kTypeX00}) {
    const zar::nc::ProgramFileData d = zar::nc::parseProgramText(text, type);
    if (d.slot && (*d.slot < 1 || *d.slot > 99)) std::abort();
    if (d.name && d.name->size() > zar::nc::kMaxNameLength) std::abort();
    if (d.lines.size() > zar::nc::kMaxFilledLines + size) std::abort();
    for (const auto& line : d.lines)
      if (line.size() > zar::nc::kLinePieceLength || line.find('\n') != std::string::npos) std::abort();
  }
  return 0;
}
