#pragma once
// `zarctl controller ARGS` in the background for end-to-end command tests;
// its first line names the device. Stopped when the object goes.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace zar::test {

class ControllerProcess {
 public:
  explicit ControllerProcess(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv{const_cast<char*>("zarctl"), const_cast<char*>("controller")};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(ZARCTL_PATH, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
    ::close(out[0]);
  }
  ~ControllerProcess() { stop(); }
  // Stops the controller (which writes its state file) and waits for it.
  void stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  const std::string& device() const { return device_; }

 private:
  pid_t pid_ = -1;
  std::string device_;
};

// Runs `zarctl ARGS` in `dir` (standard output and error in stdout.txt and
// stderr.txt there, no terminal) and sends it SIGINT as Ctrl-C would, once
// its standard error shows `marker` and a little later, so the signal finds
// the dialogue under way however slowly the machine started the process.
// Returns the exit code (-1 when it did not exit normally).
inline int interruptOnceShown(const std::filesystem::path& dir, const std::string& args, const std::string& marker) {
  using namespace std::chrono_literals;
  const std::string cmd =
      "cd '" + dir.string() + "' && exec '" ZARCTL_PATH "' " + args + " </dev/null >stdout.txt 2>stderr.txt";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto shows = [&] {
    std::ifstream in(dir / "stderr.txt", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return text.find(marker) != std::string::npos;
  };
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (!shows() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
  std::this_thread::sleep_for(300ms);  // well into the wait that follows
  ::kill(pid, SIGINT);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zar::test
