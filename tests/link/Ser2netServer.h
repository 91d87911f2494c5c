#pragma once
// The real serial device server for tests: ser2net started with a generated
// configuration that exposes one device twice, over raw TCP and over Telnet
// with the COM port option, on free loopback ports. usable() is false (and
// why() says why) when ser2net is not installed or does not come up.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "link/ScriptedServer.h"

namespace zar::test {

class Ser2netServer {
 public:
  // `baud`: the server's own setting of the line (what raw TCP gets).
  explicit Ser2netServer(const std::string& device, int baud = 19200) {
    const char* candidates[] = {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"};
    std::string binary;
    for (const char* c : candidates)
      if (::access(c, X_OK) == 0) binary = c;
    if (binary.empty()) {
      why_ = "ser2net is not installed (scripts/install-deps.sh installs it)";
      return;
    }
    dir_ = std::filesystem::temp_directory_path() / ("zar-ser2net-" + std::to_string(::getpid()) + "-" +
                                                     std::to_string(counter()++));
    std::filesystem::create_directories(dir_);
    rawPort_ = ScriptedServer::closedPort();
    telnetPort_ = ScriptedServer::closedPort();
    const std::string line = std::to_string(baud) + "n81,local";
    std::ofstream(dir_ / "ser2net.yaml") << "%YAML 1.1\n---\n"
                                         << "connection: &raw\n"
                                         << "  accepter: tcp,127.0.0.1," << rawPort_ << "\n"
                                         << "  connector: serialdev," << device << "," << line << "\n"
                                         << "  options:\n    max-connections: 1\n    chardelay: false\n"
                                         << "connection: &telnet\n"
                                         << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << telnetPort_ << "\n"
                                         << "  connector: serialdev," << device << "," << line << "\n"
                                         << "  options:\n    max-connections: 1\n    chardelay: false\n";
    pid_ = ::fork();
    if (pid_ == 0) {
      const int log = ::open((dir_ / "ser2net.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(log, STDOUT_FILENO);
      ::dup2(log, STDERR_FILENO);
      const std::string config = (dir_ / "ser2net.yaml").string();
      const std::string pidFile = (dir_ / "ser2net.pid").string();
      ::execl(binary.c_str(), "ser2net", "-n", "-d", "-c", config.c_str(), "-P", pidFile.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
      if (listening(rawPort_) && listening(telnetPort_)) return;
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    why_ = "ser2net did not start: " + logText();
    kill();
  }
  ~Ser2netServer() {
    kill();
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }

  bool usable() const { return why_.empty(); }
  const std::string& why() const { return why_; }
  std::string rawUrl() const { return "tcp://127.0.0.1:" + std::to_string(rawPort_); }
  std::string telnetUrl() const { return "rfc2217://127.0.0.1:" + std::to_string(telnetPort_); }
  // Ends the server at once, as a crash or a power cut would.
  void kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  std::string logText() const {
    std::ifstream in(dir_ / "ser2net.log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Whether something listens on the loopback TCP port (from /proc, so that
  // looking does not open a connection, which would open the device).
  static bool listening(int port) {
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
      std::ifstream in(table);
      std::string line;
      std::getline(in, line);
      while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        const size_t colon = local.rfind(':');
        if (colon == std::string::npos || state != "0A") continue;
        if (std::stoi(local.substr(colon + 1), nullptr, 16) == port) return true;
      }
    }
    return false;
  }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path dir_;
  pid_t pid_ = -1;
  int rawPort_ = 0;
  int telnetPort_ = 0;
  std::string why_;
};

}  // namespace zar::test
