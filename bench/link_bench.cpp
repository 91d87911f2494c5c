// Serial port and link figures over a pseudo-terminal:
//   - CPU used by an open, idle port (event thread waiting) over 10 s;
//   - CPU used while a dialogue waits 10 s for a silent controller;
//   - request/reply exchanges per second without pacing.
// Run: build/bench/link_bench  (CPU figures are the cpu_percent counters)

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "link/Frames.h"
#include "link/Link.h"
#include "link/ThreadComm.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace {

using namespace std::chrono_literals;

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Pty {
  Pty() {
    char name[128] = {};
    int slave = -1;
    openpty(&master, &slave, name, nullptr, nullptr);
    ::close(slave);
    path = name;
  }
  ~Pty() { ::close(master); }
  int master = -1;
  std::string path;
};

class QuietOperator : public zar::Operator {
 public:
  zar::Page currentPage() const override { return zar::Page::Program; }
  void appendMessage(zar::Page, std::string_view) override {}
  int showCatalogDialog(std::string_view, zar::DialogType, const std::vector<zar::ButtonKind>&, int) override {
    return zar::mrOk;
  }
  void beep() override {}
  void processEvents() override { ++pumps; }
  std::vector<std::string> editorLines(zar::Page) const override { return {}; }
  void setEditorLines(zar::Page, const std::vector<std::string>&) override {}
  void appendEditorLine(zar::Page, std::string_view) override {}
  long pumps = 0;
};

void BM_IdleOpenPortCpu(benchmark::State& state) {
  for (auto _ : state) {
    Pty pty;
    zar::TComm comm;
    zar::OwnerQueue owner;
    comm.SetDispatcher(owner.dispatcher());
    comm.SetDeviceName(pty.path);
    comm.Open();
    if (!comm.Enabled()) state.SkipWithError(comm.LastOpenError().c_str());
    const double before = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(10s);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["cpu_percent"] = 100.0 * (cpuSeconds() - before) / wall;
    comm.Close();
  }
}
BENCHMARK(BM_IdleOpenPortCpu)->Iterations(1)->Unit(benchmark::kSecond);

void BM_SilentControllerWaitCpu(benchmark::State& state) {
  for (auto _ : state) {
    Pty pty;
    zar::TComm comm;
    zar::MessageCatalog catalog;
    QuietOperator op;
    zar::MessageLog log(catalog, op);
    zar::LinkSettings settings;
    settings.timeoutMs = 10000;
    zar::Link link(comm, settings, log);
    comm.SetDeviceName(pty.path);
    comm.Open();
    const double before = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const bool replied = link.ReceiveFromZAR(zar::Link::kReplyLimit, 1);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (replied) state.SkipWithError("unexpected reply");
    state.counters["cpu_percent"] = 100.0 * (cpuSeconds() - before) / wall;
    state.counters["pumps_per_s"] = static_cast<double>(op.pumps) / wall;
  }
}
BENCHMARK(BM_SilentControllerWaitCpu)->Iterations(1)->Unit(benchmark::kSecond);

// The far end answers every LF-terminated frame with the attention frame.
void BM_ExchangesPerSecond(benchmark::State& state) {
  Pty pty;
  std::atomic<bool> stop{false};
  std::thread peer([&] {
    char buffer[256];
    while (!stop) {
      pollfd p{pty.master, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(pty.master, buffer, sizeof buffer);
      if (n <= 0) continue;
      for (ssize_t i = 0; i < n; ++i)
        if (buffer[i] == '\n') [[maybe_unused]] auto w = ::write(pty.master, "$%\r\n", 4);
    }
  });
  zar::TComm comm;
  zar::MessageCatalog catalog;
  QuietOperator op;
  zar::MessageLog log(catalog, op);
  zar::LinkSettings settings;
  settings.transitMode = 1;
  zar::Link link(comm, settings, log);
  comm.SetDeviceName(pty.path);
  comm.Open();
  for (auto _ : state) {
    if (!link.TransToZAR(zar::frames::kList) || !link.ReceiveFromZAR(zar::Link::kReplyLimit, 1)) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  comm.Close();
  stop = true;
  peer.join();
}
BENCHMARK(BM_ExchangesPerSecond)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
