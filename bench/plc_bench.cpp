// Core PLC functions on a 100 000-instruction program: compile (encode all
// lines into the list), build the image text, decompile the image.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "plc/PlcCompiler.h"
#include "plc/PlcDecompiler.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

using namespace zar;
using namespace zar::plc;

namespace {

constexpr int kInstructions = 100000;

std::vector<std::string_view> program() {
  static const char* kLines[] = {
      "LD 0012",          "AND T005",         "OUT 0500",   "TMR 005 #00100", "CNT 003 #00010 0012",
      "DW $00FF DM0011",  "LDA TM05",         "@CMP #TM05", "SLA #04",        "ATMU 01 05 0500 0501",
      "JMP 012 ; jump",   "DEMB 0012 #00010", "SFT 1000 1015", "END"};
  std::vector<std::string_view> lines;
  for (int i = 0; i < kInstructions; ++i) lines.emplace_back(kLines[i % std::size(kLines)]);
  return lines;
}

class CountingEditor : public Operator {
 public:
  std::size_t lines = 0;
  Page currentPage() const override { return Page::Plc; }
  void appendMessage(Page, std::string_view) override {}
  int showCatalogDialog(std::string_view, DialogType, const std::vector<ButtonKind>&, int) override { return 0; }
  void beep() override {}
  void processEvents() override {}
  std::vector<std::string> editorLines(Page) const override { return {}; }
  void setEditorLines(Page, const std::vector<std::string>&) override {}
  void appendEditorLine(Page, std::string_view) override { ++lines; }
};

void BM_CompilePlcSource(benchmark::State& state) {
  const auto lines = program();
  PlcWorkspace ws;
  std::vector<PlcInstruction> list;
  for (auto _ : state) {
    const auto r = CompilePlcSource(lines, ws, list);
    benchmark::DoNotOptimize(r.instructions);
  }
  state.SetItemsProcessed(state.iterations() * kInstructions);
}
BENCHMARK(BM_CompilePlcSource)->Unit(benchmark::kMillisecond);

void BM_PlcImageText(benchmark::State& state) {
  PlcWorkspace ws;
  std::vector<PlcInstruction> list;
  CompilePlcSource(program(), ws, list);
  for (auto _ : state) {
    const std::string text = PlcImageText(PlcImageBytes(list, ws.presets, ws.header));
    benchmark::DoNotOptimize(text.size());
  }
  state.SetItemsProcessed(state.iterations() * kInstructions);
}
BENCHMARK(BM_PlcImageText)->Unit(benchmark::kMillisecond);

void BM_DecompilePlcImage(benchmark::State& state) {
  PlcWorkspace ws;
  std::vector<PlcInstruction> list;
  CompilePlcSource(program(), ws, list);
  const std::string image = PlcImageText(PlcImageBytes(list, ws.presets, ws.header));
  const MessageCatalog catalog;
  CountingEditor editor;
  const MessageLog log(catalog, editor);
  for (auto _ : state) {
    std::istringstream in(image);
    const auto r = DecompilePlcImage(in, ws, log);
    benchmark::DoNotOptimize(r.lines);
  }
  state.SetItemsProcessed(state.iterations() * kInstructions);
}
BENCHMARK(BM_DecompilePlcImage)->Unit(benchmark::kMillisecond);

}  // namespace
