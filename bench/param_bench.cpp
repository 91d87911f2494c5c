// Rebuilding the parameter list on a model switch: the definition file is
// read afresh every time (2000 definitions), the address table (1000
// entries) was loaded at start-up. Files sit in a scratch directory, in the
// shipped layout: a group title and blank line every 20 entries, names
// padded to column 40.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "param/ParameterTables.h"

namespace {

namespace fs = std::filesystem;
using namespace zar::param;

class ScratchData {
 public:
  ScratchData() : dir_(fs::temp_directory_path() / ("zar-param-bench-" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
    std::string defs, addrs;
    for (int i = 0; i < 2000; ++i) {
      if (i % 20 == 0) defs += "\r\n[Group " + std::to_string(i / 20) + "]\r\n";
      std::string name = "Axis " + std::to_string(i % 4) + " parameter number " + std::to_string(i);
      name.resize(40, ' ');
      defs += name + "= " + std::to_string(i + 1) + "\r\n";
    }
    for (int i = 0; i < 1000; ++i)
      addrs += "Address entry " + std::to_string(i) + "=" + std::to_string(5000 + i) + "\r\n";
    // Every model and version reads files of this size.
    for (int model = 0; model < kModelCount; ++model) {
      for (int version = 0; version < kVersionCount; ++version)
        std::ofstream(dir_ / definitionFileNames(model, version, kEnglish).primary, std::ios::binary) << defs;
      std::ofstream(dir_ / addressTableFileName(model, kEnglish), std::ios::binary) << addrs;
    }
  }
  ~ScratchData() { fs::remove_all(dir_); }
  std::string path() const { return dir_.string(); }

 private:
  fs::path dir_;
};

void BM_RebuildListOnModelSwitch(benchmark::State& state) {
  const ScratchData data;
  ParameterTables tables{zar::FileLocator(data.path()), kEnglish};
  tables.LoadAddressTables();
  ParameterChooser chooser(tables);
  static constexpr SelectorButton kButtons[] = {SelectorButton::ZAR102, SelectorButton::ZAR202,
                                                SelectorButton::ZAR302, SelectorButton::ZAR101};
  size_t i = 0;
  for (auto _ : state) {
    chooser.enter(kButtons[i++ % 4]);
    benchmark::DoNotOptimize(chooser.list().entries.data());
  }
  state.counters["entries"] = static_cast<double>(chooser.list().count());
}
BENCHMARK(BM_RebuildListOnModelSwitch)->Unit(benchmark::kMillisecond);

void BM_LoadAddressTables(benchmark::State& state) {
  const ScratchData data;
  ParameterTables tables{zar::FileLocator(data.path()), kEnglish};
  for (auto _ : state) {
    tables.LoadAddressTables();
    benchmark::DoNotOptimize(tables.addressTable(0).data());
  }
}
BENCHMARK(BM_LoadAddressTables)->Unit(benchmark::kMillisecond);

}  // namespace
