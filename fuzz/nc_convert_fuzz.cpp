// Any editor text through the NC block conversion and its dump.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Converter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto list = std::make_unique<zar::sim::BlockList>();
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  lines.push_back(line);
  zar::sim::Converter converter(*list);
  const zar::sim::ConversionResult result = converter.ConvertLines(lines);
  if (result.status != zar::sim::csSuccess && (result.failingLine < 1 ||
                                               result.failingLine > static_cast<int>(lines.size())))
    __builtin_trap();
  if (list->count() > zar::sim::BlockList::kFullCount) __builtin_trap();
  const std::string dump = zar::sim::DumpText(*list, result);
  (void)dump;
  return 0;
}
