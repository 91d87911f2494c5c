// Receiving 2000 checked parameters from a virtual controller paced at
// 19200 baud (transit mode 1), against the wire time of the bytes exchanged
// (target: at most 1.05 times). Also the same receive with no pacing.
// Run: build/bench/param_transfer_bench (takes about 30 s).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "BenchRig.h"
#include "controller/VirtualController.h"
#include "link/Link.h"
#include "param/ParameterTransfer.h"

namespace {

using namespace zar;
using bench::QuietOperator;
using Clock = std::chrono::steady_clock;

constexpr int kParameters = 2000;

void receiveOnce(benchmark::State& state, int paceBaud) {
  controller::ControllerConfig config;
  config.paceBaud = paceBaud;
  controller::VirtualController ctrl(config);
  std::vector<param::ParameterEntry> checked;
  for (int n = 1; n <= kParameters; ++n) {
    ctrl.setParameter(1000 + n, n * 7 - 5000);
    checked.push_back({"Parameter " + std::to_string(n), 1000 + n});
  }
  if (!bench::startOrSkip(state, ctrl)) return;
  QuietOperator op(Page::Parameter);
  bench::LinkRig rig(op, ctrl.devicePath(), bench::pacedSettings());
  param::ParameterTransfer transfer(rig.link, rig.log, 0);

  const auto start = Clock::now();
  const DialogueOutcome outcome = transfer.ParRcvBtnClick(checked);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  if (outcome != DialogueOutcome::Done || op.editor.size() != checked.size())
    state.SkipWithError("the receive did not complete");
  state.SetIterationTime(took);

  const size_t bytes = bench::lineBytes(ctrl);
  state.counters["receive_s"] = took;
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["parameters_per_s"] = kParameters / took;
  if (paceBaud > 0) {
    // Turnaround: the line's idle time between the end of one reply and
    // the start of the next frame (our side's and the controller's latencies).
    const double byteMs = 10.0 * 1000.0 / paceBaud;
    std::vector<double> idle;
    double replyEnd = -1;
    for (const auto& e : ctrl.traffic()) {
      if (e.kind == controller::TrafficEntry::Kind::Out) replyEnd = e.ms + static_cast<double>(e.bytes.size()) * byteMs;
      if (e.kind != controller::TrafficEntry::Kind::In) continue;
      if (replyEnd >= 0) idle.push_back(e.ms - static_cast<double>(e.bytes.size()) * byteMs - replyEnd);
      replyEnd = -1;
    }
    if (!idle.empty()) {
      std::sort(idle.begin(), idle.end());
      double total = 0;
      for (double ms : idle) total += ms;
      state.counters["idle_median_ms"] = idle[idle.size() / 2];
      state.counters["idle_p90_ms"] = idle[idle.size() * 9 / 10];
      state.counters["idle_p99_ms"] = idle[idle.size() * 99 / 100];
      state.counters["idle_total_s"] = total / 1000.0;
    }
    const double wire = static_cast<double>(bytes) * 10.0 / paceBaud;
    state.counters["wire_s"] = wire;
    state.counters["ratio"] = took / wire;
  }
  ctrl.stop();
}

void BM_PacedReceive2000Parameters(benchmark::State& state) {
  for (auto _ : state) receiveOnce(state, 19200);
}
BENCHMARK(BM_PacedReceive2000Parameters)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_UnpacedReceive2000Parameters(benchmark::State& state) {
  for (auto _ : state) receiveOnce(state, 0);
}
BENCHMARK(BM_UnpacedReceive2000Parameters)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
