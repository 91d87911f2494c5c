// The virtual controller over its pseudo-terminal, driven with plain
// descriptors: round trips per second unpaced, and how close a paced store
// of 2000 lines comes to the wire time of its bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "controller/VirtualController.h"
#include "link/Frames.h"

namespace {

using namespace zar::controller;
namespace f = zar::frames;

int openRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// Sends a frame and reads its reply up to LF or ETX; returns the reply's length.
size_t ask(int fd, const std::string& frame) {
  if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return 0;
  char buf[128];
  size_t n = 0;
  while (n < sizeof buf) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 2000) <= 0 || ::read(fd, buf + n, 1) != 1) return 0;
    if (buf[n] == '\n' || buf[n] == '\x03') return n + 1;
    ++n;
  }
  return n;
}

void BM_RoundTripUnpaced(benchmark::State& state) {
  VirtualController ctrl;
  ctrl.start();
  const int fd = openRaw(ctrl.devicePath());
  for (auto _ : state) benchmark::DoNotOptimize(ask(fd, f::kAttention));
  state.SetItemsProcessed(state.iterations());  // exchanges
  ::close(fd);
}
BENCHMARK(BM_RoundTripUnpaced)->UseRealTime();

void BM_PacedStore2000Lines(benchmark::State& state) {
  ControllerConfig config;
  config.paceBaud = static_cast<int>(state.range(0));
  VirtualController ctrl(config);
  ctrl.start();
  const int fd = openRaw(ctrl.devicePath());
  double ratio = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    size_t bytes = 0;
    for (const auto& frame : {f::kAttention, f::kStore, f::slotFrame(1), f::nameFrame("BENCH")})
      bytes += frame.size() + ask(fd, frame);
    for (int i = 1; i <= 2000; ++i) {
      const std::string line = f::programLineFrame(i, "G01 X" + std::to_string(i) + " Y-5.5 F300");
      bytes += line.size() + ask(fd, line);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ratio = seconds / (bytes * 10.0 / config.paceBaud);
  }
  state.counters["time_per_wire_time"] = ratio;
  ::close(fd);
}
BENCHMARK(BM_PacedStore2000Lines)->Arg(19200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
