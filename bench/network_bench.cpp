// A 2000-line program send through ser2net over loopback, raw TCP and RFC
// 2217, against the virtual controller paced at 19200 baud: the send's time
// against the wire time of the bytes exchanged (target: ratio <= 1.02).
// Run: build/bench/network_bench (about a minute; needs ser2net).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "controller/VirtualController.h"
#include "link/Link.h"
#include "link/Ser2netServer.h"
#include "nc/ProgramTransfer.h"
#include "ui/Operator.h"

namespace {

using namespace zar;
using Clock = std::chrono::steady_clock;

// Answers every confirmation with OK, keeps the editor, drops message lines.
class QuietOperator : public Operator {
 public:
  std::vector<std::string> editor;
  Page currentPage() const override { return Page::Program; }
  void appendMessage(Page, std::string_view) override {}
  int showCatalogDialog(std::string_view, DialogType, const std::vector<ButtonKind>&, int) override { return mrOk; }
  void beep() override {}
  void processEvents() override {}
  std::vector<std::string> editorLines(Page) const override { return editor; }
  void setEditorLines(Page, const std::vector<std::string>& lines) override { editor = lines; }
  void appendEditorLine(Page, std::string_view line) override { editor.emplace_back(line); }
  size_t editorLineCount(Page) const override { return editor.size(); }
  std::string editorLine(Page, size_t i) const override { return i < editor.size() ? editor[i] : std::string(); }
};

void sendThroughSer2net(benchmark::State& state, bool telnet) {
  constexpr int kPaceBaud = 19200;
  controller::ControllerConfig config;
  config.paceBaud = kPaceBaud;
  controller::VirtualController ctrl(config);
  std::string error;
  if (!ctrl.start(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  test::Ser2netServer server(ctrl.devicePath(), kPaceBaud);
  if (!server.usable()) {
    state.SkipWithError(server.why().c_str());
    return;
  }
  QuietOperator op;
  for (int i = 0; i < 2000; ++i) op.editor.push_back("G01 X" + std::to_string(i % 100));
  MessageCatalog catalog;
  MessageLog log(catalog, op);
  TComm comm;
  const std::string url = telnet ? server.telnetUrl() : server.rawUrl();
  comm.SetPathResolver([url](const std::string&) { return url; });
  LinkSettings settings;
  settings.transitMode = 1;
  settings.baudSelector = 5;
  settings.reconnectDelayMs = 0;
  Link link(comm, settings, log);
  nc::ProgramTransfer transfer(link, log);
  nc::ProgramPage page;
  page.slot = 42;
  page.progName = "BENCH";

  const auto start = Clock::now();
  const nc::TransferOutcome outcome = transfer.TransBtnClick(page);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  if (outcome != nc::TransferOutcome::Done) state.SkipWithError("the send did not complete");
  state.SetIterationTime(took);
  size_t bytes = 0;
  for (const auto& e : ctrl.traffic())
    if (e.kind == controller::TrafficEntry::Kind::In || e.kind == controller::TrafficEntry::Kind::Out)
      bytes += e.bytes.size();
  const double wire = static_cast<double>(bytes) * 10.0 / kPaceBaud;
  state.counters["send_s"] = took;
  state.counters["wire_s"] = wire;
  state.counters["ratio"] = took / wire;
  comm.Close();
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
