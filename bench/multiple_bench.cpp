// Figures of the many-programs run and the port search, over pseudo-terminals:
//  - reading 68 slots of N lines (N = 50 and 500) from a controller paced at
//    19200 baud, against the wire time of the bytes exchanged (ratio);
//  - the time from a cancel request to the port being closed during such a
//    read: while the controller answers, and while it has gone silent;
//  - the port search over 8 absent ports and over 8 silent ones (each tried
//    once: LON frames counted), with the default 200 ms reconnect pause.
// Run: build/bench/multiple_bench --benchmark_filter=... (68 x 500 takes
// about six minutes: it is the wire time).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "BenchRig.h"
#include "controller/VirtualController.h"
#include "link/AutoDetect.h"
#include "link/Frames.h"
#include "link/Link.h"
#include "nc/MultipleTransfer.h"

namespace {

using namespace zar;
using bench::QuietOperator;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string scratchDirectory() {
  const auto dir = std::filesystem::temp_directory_path() / ("zar-multi-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  return dir.string() + "/";
}

controller::VirtualController* filledController(controller::ControllerConfig config, int lines) {
  auto* ctrl = new controller::VirtualController(std::move(config));
  for (int slot = 1; slot <= nc::kServiceSlots; ++slot) {
    controller::Program p{"P" + std::to_string(slot), {}};
    for (int i = 0; i < lines; ++i) p.lines.push_back("G01 X" + std::to_string(i % 100) + " Y1");
    ctrl->setProgram(slot, p);
  }
  return ctrl;
}

void BM_PacedRead68Slots(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  for (auto _ : state) {
    controller::ControllerConfig config;
    config.paceBaud = 19200;
    config.trafficLimit = 0;
    std::atomic<size_t> bytes{0};
    config.monitor = [&bytes](const controller::TrafficEntry& e) { bytes += e.bytes.size(); };
    std::unique_ptr<controller::VirtualController> ctrl(filledController(config, lines));
    if (!bench::startOrSkip(state, *ctrl)) return;
    QuietOperator op;
    bench::LinkRig rig(op, ctrl->devicePath(), bench::pacedSettings());
    nc::MultipleTransfer run(rig.link, rig.log);
    nc::SlotSelection all;
    all.fill(true);
    nc::ProgramPage page;
    const std::string dir = scratchDirectory();
    const auto start = Clock::now();
    const DialogueOutcome outcome = run.readSlots(all, "B", dir, page);
    const double took = seconds(Clock::now() - start);
    if (outcome != DialogueOutcome::Done) state.SkipWithError("the read did not complete");
    state.SetIterationTime(took);
    const double wire = static_cast<double>(bytes.load()) * 10.0 / 19200.0;
    state.counters["read_s"] = took;
    state.counters["wire_s"] = wire;
    state.counters["ratio"] = took / wire;
    ctrl->stop();
    std::filesystem::remove_all(dir);
  }
}
BENCHMARK(BM_PacedRead68Slots)->Arg(50)->Arg(500)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Cancel while the controller answers (range 0) or while it is silent
// (range 1: the reply awaited is held back 3 s; time-out 1 s).
void BM_CancelMultipleRead(benchmark::State& state) {
  const bool silent = state.range(0) == 1;
  std::vector<double> latencies;
  for (auto _ : state) {
    controller::ControllerConfig config;
    config.trafficLimit = 0;
    if (silent) config.faults.push_back(controller::Fault::delay("list.line:40", 3000));
    std::unique_ptr<controller::VirtualController> ctrl(filledController(config, 200));
    if (!bench::startOrSkip(state, *ctrl)) return;
    QuietOperator op;
    LinkSettings settings;
    settings.transitMode = 1;
    bench::LinkRig rig(op, ctrl->devicePath(), settings);
    nc::MultipleTransfer run(rig.link, rig.log);
    nc::SlotSelection all;
    all.fill(true);
    nc::ProgramPage page;
    const std::string dir = scratchDirectory();
    std::atomic<bool> done{false};
    Clock::time_point requested{}, closed{};
    std::thread canceller([&] {
      // Into slot 1's lines (silent: past line 40, where the reply stalls).
      ctrl->waitForFrames(silent ? 44 : 60, 5000);
      if (silent) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      requested = Clock::now();
      rig.link.requestCancel();
      while (!done && rig.comm.Enabled()) std::this_thread::sleep_for(std::chrono::microseconds(200));
      closed = Clock::now();
    });
    run.readSlots(all, "C", dir, page);
    done = true;
    canceller.join();
    const double ms = std::chrono::duration<double, std::milli>(closed - requested).count();
    latencies.push_back(ms);
    state.SetIterationTime(ms / 1000.0);
    ctrl->stop();
    std::filesystem::remove_all(dir);
  }
  double sum = 0, worst = 0;
  for (double l : latencies) {
    sum += l;
    worst = std::max(worst, l);
  }
  state.counters["cancel_to_closed_ms"] = sum / static_cast<double>(latencies.size());
  state.counters["max_ms"] = worst;
}
BENCHMARK(BM_CancelMultipleRead)->Arg(0)->Arg(1)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// The port search over 8 ports that are absent (range 0) or that hold a
// line that never answers LON (range 1), reply time-out 1 s.
void BM_PortSearch8Ports(benchmark::State& state) {
  const bool silent = state.range(0) == 1;
  for (auto _ : state) {
    std::vector<std::unique_ptr<controller::VirtualController>> silentPorts;
    std::vector<DetectPort> ports;
    for (int i = 0; i < 8; ++i) {
      if (!silent) {
        ports.push_back({i, "/nonexistent/zar-bench-port-" + std::to_string(i)});
        continue;
      }
      controller::ControllerConfig config;
      config.faults.push_back(controller::Fault::make("plc.lon", controller::FaultKind::NoReply));
      config.faults.back().times = 0;
      silentPorts.push_back(std::make_unique<controller::VirtualController>(config));
      silentPorts.back()->start();
      ports.push_back({i, silentPorts.back()->devicePath()});
    }
    QuietOperator op;
    LinkSettings settings;
    settings.transitMode = 1;
    bench::LinkRig rig(op, "", settings);
    DetectIdentity id;
    const auto start = Clock::now();
    const DetectReport r = AutoDetect(rig.link, rig.log).run(ports, id);
    const double took = seconds(Clock::now() - start);
    state.SetIterationTime(took);
    state.counters["search_s"] = took;
    state.counters["ports_tried"] = r.portsTried;
    if (silent) {
      size_t lons = 0;
      for (auto& c : silentPorts) {
        for (const std::string& f : c->inputFrames()) lons += f == frames::kLon;
        c->stop();
      }
      state.counters["lon_frames"] = static_cast<double>(lons);
    }
    if (r.end != DetectEnd::NoController) state.SkipWithError("something was found");
  }
}
BENCHMARK(BM_PortSearch8Ports)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
