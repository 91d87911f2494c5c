// zarctl backup of many virtual controllers at once, each holding PROGRAMS
// programs of LINES lines, paced at 19200 baud: the whole backup's time
// against one machine backed up alone (target: <= 1.2x), and zarctl's peak
// RSS. The controllers run in this process; zarctl runs as a child.
// Run: build/bench/backup_figures [--machines=16 --programs=20 --lines=500]
//      (about 2 x the wire time of one machine: some 4 minutes at full size).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "controller/VirtualController.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int option(int argc, char** argv, const std::string& name, int fallback) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--" + name + "=", 0) == 0) return std::atoi(a.c_str() + name.size() + 3);
  }
  return fallback;
}

struct Run {
  double seconds = 0;
  long peakRssKb = 0;
  int code = -1;
};

Run backup(const fs::path& dir, const std::string& shop, const std::string& date) {
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    const int out = ::open((dir / (date + ".out")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(out, STDERR_FILENO);
    ::execl(ZARCTL_PATH, "zarctl", "backup", shop.c_str(), "-d", "backups", "--date", date.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  Run r;
  r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  r.peakRssKb = usage.ru_maxrss;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int machines = option(argc, argv, "machines", 16);
  const int programs = option(argc, argv, "programs", 20);
  const int lines = option(argc, argv, "lines", 500);
  const fs::path dir = fs::temp_directory_path() / ("zar_backup_figures_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::copy(ZAR_SOURCE_DIR "/data", dir, fs::copy_options::recursive);
  // Transit mode 1 (frames written whole), as the other paced benchmarks run.
  std::ofstream(dir / "Init.Ini") << "TimeOut=2000\r\nByteDelay=0\r\nTrace=0,0,0,0\r\nTransit=1\r\n";

  std::vector<std::unique_ptr<zar::controller::VirtualController>> ctrls;
  std::string all, one;
  size_t lineBytes = 0;
  for (int m = 0; m < machines; ++m) {
    zar::controller::ControllerConfig config;
    config.paceBaud = 19200;
    auto ctrl = std::make_unique<zar::controller::VirtualController>(config);
    std::string error;
    if (!ctrl->start(&error)) {
      std::fprintf(stderr, "controller %d: %s\n", m, error.c_str());
      return 1;
    }
    for (int p = 1; p <= programs; ++p) {
      std::vector<std::string> text;
      for (int l = 0; l < lines; ++l) text.push_back("G01 X" + std::to_string(l) + " Y" + std::to_string(p));
      if (m == 0)
        for (const auto& t : text) lineBytes += t.size();
      ctrl->setProgram(p, {"P" + std::to_string(p), text});
    }
    const std::string table = "[[machine]]\nname = \"m" + std::to_string(m) + "\"\nport = \"" + ctrl->devicePath() +
                              "\"\ntake = [\"programs\"]\nslots = \"1-" + std::to_string(programs) +
                              "\"\nbaud = 19200\ntimeout = 2000\n\n";
    all += table;
    if (m == 0) one = table;
    ctrls.push_back(std::move(ctrl));
  }
  std::ofstream(dir / "all.toml") << all;
  std::ofstream(dir / "one.toml") << one;

  std::printf("%d machines x %d programs x %d lines, paced at 19200 baud\n", machines, programs, lines);
  const Run single = backup(dir, "one.toml", "2000-01-01");
  std::printf("one machine alone:  %7.1f s  peak RSS %6ld kB  exit %d\n", single.seconds, single.peakRssKb,
              single.code);
  const Run many = backup(dir, "all.toml", "2000-01-02");
  std::printf("all %2d at once:     %7.1f s  peak RSS %6ld kB  exit %d\n", machines, many.seconds, many.peakRssKb,
              many.code);
  std::printf("ratio (all / one):  %7.3f\n", many.seconds / single.seconds);
  std::printf("program text per machine: %zu bytes\n", lineBytes);
  std::ifstream summary(dir / "2000-01-02.out");
  std::printf("%s", std::string(std::istreambuf_iterator<char>(summary), {}).c_str());
  for (auto& c : ctrls) c->stop();
  fs::remove_all(dir);
  return single.code == 0 && many.code == 0 ? 0 : 1;
}
