// NC conversion of a program that fills the block list, and the preparatory
// pass over 5 998 full circles at the 0.5 degree angle step (what START does
// before the first step is drawn).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/Converter.h"
#include "sim/Interpreter.h"

namespace {

using namespace zar::sim;

// 5 998 lines of one record each, of the usual kinds.
std::vector<std::string> fullListProgram() {
  std::vector<std::string> lines;
  for (int i = 0; lines.size() < BlockList::kFullCount - 1; ++i) {
    const std::string x = std::to_string(i % 400) + "." + std::to_string(i % 1000);
    const std::string y = std::to_string((i * 7) % 300) + ".25";
    switch (i % 6) {
      case 0: lines.push_back("G1 X" + x + " Y-" + y + " Z0.5 F1200"); break;
      case 1: lines.push_back("G0 X" + x + " Y" + y + " Z5"); break;
      case 2: lines.push_back("G2 X" + x + " Y" + y + " I5.5 J-2.25"); break;
      case 3: lines.push_back("(arc) G3 X" + x + " Y" + y + " R12.5"); break;
      case 4: lines.push_back("x" + y + " y" + x); break;
      default: lines.push_back("DOH" + std::to_string(1 + i % 32) + " ' output"); break;
    }
  }
  return lines;
}

void BM_ConvertFullList(benchmark::State& state) {
  const auto lines = fullListProgram();
  auto list = std::make_unique<BlockList>();
  Converter converter(*list);
  for (auto _ : state) {
    const ConversionResult r = converter.ConvertLines(lines);
    benchmark::DoNotOptimize(r);
    if (!r.ok()) state.SkipWithError("conversion failed");
  }
  state.counters["records"] = list->count();
}
BENCHMARK(BM_ConvertFullList)->Unit(benchmark::kMillisecond);

void BM_PrepassFullCircles(benchmark::State& state) {
  const std::vector<std::string> lines(5998, "G2 I5 J0");
  auto list = std::make_unique<BlockList>();
  Converter(*list).ConvertLines(lines);
  PathSink sink;  // default choices: first resolution, 0.5 degree steps
  Interpreter interpreter(*list, sink);
  for (auto _ : state) {
    const PathExtents e = interpreter.RunPrepass();
    benchmark::DoNotOptimize(e);
  }
  if (interpreter.PrepassTruncated) state.SkipWithError("pass truncated");
  state.counters["records"] = list->count();
}
BENCHMARK(BM_PrepassFullCircles)->Unit(benchmark::kMillisecond);

}  // namespace
