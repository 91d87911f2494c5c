// Any editor text through the NC block conversion and its dump.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "sim/Converter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto list = std::make_unique<zar::sim::BlockList>();
  const std::vector<std::string> lines = zar::fuzz::editorLines(data, size);
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
