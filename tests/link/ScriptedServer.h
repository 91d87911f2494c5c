#pragma once
// A serial device server in the test process: listens on a loopback port and
// runs a script on each accepted connection on its own thread. The telnet
// responder plays a server with the COM port option that answers every
// setting with the value asked (or with what `answer` makes of it).

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "link/Rfc2217.h"

namespace zar::test {

inline std::string recvFor(int fd, int ms) {
  std::string got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

inline void sendAll(int fd, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (n <= 0) return;
    at += static_cast<size_t>(n);
  }
}

class ScriptedServer {
 public:
  using Script = std::function<void(int fd)>;

  explicit ScriptedServer(Script script) : script_(std::move(script)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 8) != 0)
      throw std::runtime_error("listen");
    socklen_t len = sizeof a;
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
  }
  ~ScriptedServer() {
    stop_ = true;
    ::shutdown(listen_, SHUT_RDWR);
    acceptor_.join();
    for (std::thread& t : sessions_) t.join();
    ::close(listen_);
  }

  int port() const { return port_; }
  std::string url(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_); }
  int accepted() const { return accepted_; }

  // A loopback port with nothing listening on it.
  static int closedPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
  }

 private:
  void acceptLoop() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++accepted_;
      sessions_.emplace_back([this, fd] {
        script_(fd);
        ::close(fd);
      });
    }
  }

  Script script_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::thread acceptor_;
  std::vector<std::thread> sessions_;
};

// A COM port option server: agrees to the option, answers each setting, and
// records the data and the commands it received.
struct TelnetResponder {
  std::function<std::string(uint8_t command, const std::string& value)> answer;  // default: echo the value
  bool refuseComPort = false;
  std::mutex mutex;
  std::string data;
  std::vector<telnet::Event> commands;
  std::string toSend;  // data (already escaped) sent once the option is agreed

  void run(int fd, int ms) {
    telnet::Decoder decoder;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    bool sent = false;
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) < 0) return;
      if (!(p.revents & POLLIN)) continue;
      char buffer[4096];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      std::string got;
      std::vector<telnet::Event> events;
      decoder.feed(std::string_view(buffer, static_cast<size_t>(n)), got, events);
      std::string reply;
      {
        std::lock_guard lock(mutex);
        data += got;
        for (const telnet::Event& e : events) {
          if (e.kind == telnet::Event::Kind::Negotiation) {
            if (e.verb == telnet::kWill && e.option == telnet::kOptComPort)
              reply += telnet::command(refuseComPort ? telnet::kDont : telnet::kDo, telnet::kOptComPort);
            continue;
          }
          commands.push_back(e);
          const std::string value = answer ? answer(e.command, e.value) : e.value;
          reply += telnet::comPortCommand(static_cast<uint8_t>(e.command + telnet::kServerOffset), value);
        }
      }
      if (!sent && !toSend.empty()) {
        reply += toSend;
        sent = true;
      }
      sendAll(fd, reply);
    }
  }
};

}  // namespace zar::test
