// Figures of the program dialogues over a pseudo-terminal:
//  - a 2000-line send against a controller paced at 19200 baud (transit
//    mode 1), against the wire time of the bytes exchanged;
//  - exchanges per second with no pacing;
//  - CPU used while a reply is awaited from a silent controller.
// Run: build/bench/transfer_bench (takes about 40 s).
#include <benchmark/benchmark.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "BenchRig.h"
#include "controller/VirtualController.h"
#include "link/Link.h"
#include "nc/ProgramTransfer.h"

namespace {

using namespace zar;
using bench::QuietOperator;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// One send of `lines` lines into an empty slot; returns the handler's time
// and fills the counters.
void sendOnce(benchmark::State& state, int paceBaud, int reconnectDelayMs) {
  controller::ControllerConfig config;
  config.paceBaud = paceBaud;
  controller::VirtualController ctrl(config);
  if (!bench::startOrSkip(state, ctrl)) return;
  QuietOperator op;
  for (int i = 0; i < 2000; ++i) op.editor.push_back("G01 X" + std::to_string(i % 100));
  LinkSettings settings = bench::pacedSettings();
  settings.reconnectDelayMs = reconnectDelayMs;
  bench::LinkRig rig(op, ctrl.devicePath(), settings);
  nc::ProgramTransfer transfer(rig.link, rig.log);
  nc::ProgramPage page;
  page.slot = 42;
  page.progName = "BENCH";

  const auto start = Clock::now();
  const nc::TransferOutcome outcome = transfer.TransBtnClick(page);
  const double took = seconds(Clock::now() - start);
  if (outcome != nc::TransferOutcome::Done) state.SkipWithError("the send did not complete");
  state.SetIterationTime(took);

  size_t bytes = 0, exchanges = 0;
  for (const auto& e : ctrl.traffic()) {
    if (e.kind == controller::TrafficEntry::Kind::In) ++exchanges;
    if (e.kind == controller::TrafficEntry::Kind::In || e.kind == controller::TrafficEntry::Kind::Out)
      bytes += e.bytes.size();
  }
  state.counters["send_s"] = took;
  state.counters["exchanges"] = static_cast<double>(exchanges);
  state.counters["exchanges_per_s"] = static_cast<double>(exchanges) / took;
  if (paceBaud > 0) {
    // Turnaround: the line's idle time between the end of one reply and the
    // start of the next frame (our side's and the controller's latencies).
    const double byteMs = 10.0 * 1000.0 / paceBaud;
    std::vector<double> idle;
    const auto traffic = ctrl.traffic();
    const controller::TrafficEntry* lastIn = nullptr;
    size_t replyBytes = 0;
    for (const auto& e : traffic) {
      if (e.kind == controller::TrafficEntry::Kind::Out) replyBytes += e.bytes.size();
      if (e.kind != controller::TrafficEntry::Kind::In) continue;
      if (lastIn) idle.push_back(e.ms - lastIn->ms - static_cast<double>(replyBytes + e.bytes.size()) * byteMs);
      lastIn = &e;
      replyBytes = 0;
    }
    if (!idle.empty()) {
      std::sort(idle.begin(), idle.end());
      state.counters["idle_median_ms"] = idle[idle.size() / 2];
      state.counters["idle_p90_ms"] = idle[idle.size() * 9 / 10];
    }
    const double wire = static_cast<double>(bytes) * 10.0 / paceBaud;
    state.counters["wire_s"] = wire;
    state.counters["ratio"] = took / wire;
  }
  ctrl.stop();
}

void BM_PacedSend2000Lines(benchmark::State& state) {
  for (auto _ : state) sendOnce(state, 19200, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_PacedSend2000Lines)->Arg(0)->Arg(200)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_UnpacedExchanges(benchmark::State& state) {
  for (auto _ : state) sendOnce(state, 0, 0);
}
BENCHMARK(BM_UnpacedExchanges)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

double cpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A reply awaited for 10 s from a line that stays silent.
void BM_SilentControllerCpu(benchmark::State& state) {
  int master = -1, slave = -1;
  char name[128] = {};
  if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    state.SkipWithError("openpty");
    return;
  }
  QuietOperator op;
  LinkSettings settings;
  settings.timeoutMs = 10000;
  settings.transitMode = 1;
  bench::LinkRig rig(op, name, settings);
  for (auto _ : state) {
    rig.link.ConnectRS232(0);
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    rig.link.ReceiveFromZAR(Link::kReplyLimit, 1);
    const double wall = seconds(Clock::now() - start);
    const double cpu = cpuSeconds() - cpu0;
    state.SetIterationTime(wall);
    state.counters["wait_s"] = wall;
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
  }
  rig.comm.Close();
  ::close(slave);
  ::close(master);
}
BENCHMARK(BM_SilentControllerCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
