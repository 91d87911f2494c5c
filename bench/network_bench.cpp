// A 2000-line program send through ser2net over loopback, raw TCP and RFC
// 2217, against the virtual controller paced at 19200 baud: the send's time
// against the wire time of the bytes exchanged (target: ratio <= 1.02).
// Run: build/bench/network_bench (about a minute; needs ser2net).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "BenchRig.h"
#include "controller/VirtualController.h"
#include "link/Link.h"
#include "link/Ser2netServer.h"
#include "nc/ProgramTransfer.h"

namespace {

using namespace zar;
using bench::QuietOperator;
using Clock = std::chrono::steady_clock;

void sendThroughSer2net(benchmark::State& state, bool telnet) {
  constexpr int kPaceBaud = 19200;
  controller::ControllerConfig config;
  config.paceBaud = kPaceBaud;
  controller::VirtualController ctrl(config);
  if (!bench::startOrSkip(state, ctrl)) return;
  test::Ser2netServer server(ctrl.devicePath(), kPaceBaud);
  if (!server.usable()) {
    state.SkipWithError(server.why().c_str());
    return;
  }
  QuietOperator op;
  for (int i = 0; i < 2000; ++i) op.editor.push_back("G01 X" + std::to_string(i % 100));
  LinkSettings settings = bench::pacedSettings();
  settings.reconnectDelayMs = 0;
  bench::LinkRig rig(op, telnet ? server.telnetUrl() : server.rawUrl(), settings);
  nc::ProgramTransfer transfer(rig.link, rig.log);
  nc::ProgramPage page;
  page.slot = 42;
  page.progName = "BENCH";

  const auto start = Clock::now();
  const nc::TransferOutcome outcome = transfer.TransBtnClick(page);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  if (outcome != nc::TransferOutcome::Done) state.SkipWithError("the send did not complete");
  state.SetIterationTime(took);
  const size_t bytes = bench::lineBytes(ctrl);
  const double wire = static_cast<double>(bytes) * 10.0 / kPaceBaud;
  state.counters["send_s"] = took;
  state.counters["wire_s"] = wire;
  state.counters["ratio"] = took / wire;
  rig.comm.Close();
  ctrl.stop();
}

void BM_Ser2netRawTcpSend2000Lines(benchmark::State& state) {
  for (auto _ : state) sendThroughSer2net(state, false);
}
BENCHMARK(BM_Ser2netRawTcpSend2000Lines)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_Ser2netRfc2217Send2000Lines(benchmark::State& state) {
  for (auto _ : state) sendThroughSer2net(state, true);
}
BENCHMARK(BM_Ser2netRfc2217Send2000Lines)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
