#pragma once
// `zarctl controller ARGS` in the background for end-to-end command tests;
// its first line names the device. Stopped when the object goes.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
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

}  // namespace zar::test
