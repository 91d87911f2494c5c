// Any editor text converted and, when it converts, simulated headless with
// small limits and drawn as SVG.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "sim/Converter.h"
#include "sim/PathPlot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto list = std::make_unique<zar::sim::BlockList>();
  const std::vector<std::string> lines = zar::fuzz::editorLines(data, size);
  zar::sim::Converter converter(*list);
  if (!converter.ConvertLines(lines).ok()) return 0;

  zar::sim::SvgPlot svg;
  zar::sim::HeadlessOptions options;
  options.unit = size % 2;
  options.resolution = static_cast<int>(size % 5);
  options.maxSteps = 20000;
  options.prepassWorkLimit = 200000;
  const zar::sim::HeadlessResult result = zar::sim::RunHeadless(*list, svg, options);
  if (result.steps > options.maxSteps) __builtin_trap();
  const zar::sim::PathExtents& e = result.extents;
  if (std::isnan(e.minX) || std::isnan(e.maxX) || std::isnan(e.minY) || std::isnan(e.maxY)) __builtin_trap();
  const std::string doc = svg.document();
  (void)doc;
  return 0;
}
