// Time from a cancel request to the port being closed, during a 2000-line
// send to the virtual controller:
//   - while the controller answers (unpaced, and paced at 19200 baud);
//   - while a reply is awaited from a controller that has gone silent.
// The request comes from another thread (as a window's button or a signal
// handler would make it) once the controller has taken frame 200; the
// figure is the time until the port is closed (Enabled() false).
// Run: build/bench/cancel_bench  (cancel_to_closed_ms: mean; max_ms: worst)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "BenchRig.h"
#include "controller/VirtualController.h"
#include "link/Link.h"
#include "nc/ProgramTransfer.h"

namespace {

using namespace zar;
using bench::QuietOperator;
using Clock = std::chrono::steady_clock;

constexpr size_t kCancelAtFrame = 200;

// One cancelled send; returns the milliseconds from the request to the closed port.
double cancelOnce(benchmark::State& state, int paceBaud, bool silent) {
  controller::ControllerConfig config;
  config.paceBaud = paceBaud;
  if (silent) config.faults.push_back(controller::Fault::noReply("store.line"));
  controller::VirtualController ctrl(config);
  if (!bench::startOrSkip(state, ctrl)) return 0;
  QuietOperator op;
  for (int i = 0; i < 2000; ++i) op.editor.push_back("G01 X" + std::to_string(i % 100));
  LinkSettings settings = bench::pacedSettings();
  settings.reconnectDelayMs = 0;
  settings.timeoutMs = 10000;
  bench::LinkRig rig(op, ctrl.devicePath(), settings);
  nc::ProgramTransfer transfer(rig.link, rig.log);
  nc::ProgramPage page;
  page.slot = 42;
  page.progName = "BENCH";

  // Silent: the first program line is never answered; wait a while in it.
  const size_t frame = silent ? 8 : kCancelAtFrame;  // frame 8: N1 after query, store, slot, name
  double ms = 0;
  std::thread canceller([&] {
    ctrl.waitForFrames(frame, 60000);
    if (silent) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto requested = Clock::now();
    rig.link.requestCancel();
    while (rig.comm.Enabled() && Clock::now() - requested < std::chrono::seconds(20))
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    ms = std::chrono::duration<double, std::milli>(Clock::now() - requested).count();
  });
  const nc::TransferOutcome outcome = transfer.TransBtnClick(page);
  canceller.join();
  if (outcome != nc::TransferOutcome::Cancelled) state.SkipWithError("the send was not cancelled");
  ctrl.stop();
  return ms;
}

void run(benchmark::State& state, int paceBaud, bool silent) {
  std::vector<double> all;
  for (auto _ : state) {
    const double ms = cancelOnce(state, paceBaud, silent);
    all.push_back(ms);
    state.SetIterationTime(ms / 1000.0);
  }
  if (all.empty()) return;
  state.counters["max_ms"] = *std::max_element(all.begin(), all.end());
  std::sort(all.begin(), all.end());
  state.counters["median_ms"] = all[all.size() / 2];
}

void BM_CancelWhileAnsweringUnpaced(benchmark::State& state) { run(state, 0, false); }
void BM_CancelWhileAnswering19200(benchmark::State& state) { run(state, 19200, false); }
void BM_CancelWhileAwaitingAReply(benchmark::State& state) { run(state, 0, true); }

BENCHMARK(BM_CancelWhileAnsweringUnpaced)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CancelWhileAnswering19200)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CancelWhileAwaitingAReply)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
