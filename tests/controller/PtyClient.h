#pragma once
// The PC's end of the line for controller tests: plain descriptor I/O on the
// controller's terminal device, replies read the way the link reads them
// (up to LF or ETX, at most `limit` bytes, within a time-out).

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace zar::controller::test {

class PtyClient {
 public:
  explicit PtyClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) {
      termios t{};
      ::tcgetattr(fd_, &t);
      ::cfmakeraw(&t);
      ::tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~PtyClient() { close(); }
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool send(std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  // Transit mode 0: one byte at a time with a pause after each.
  bool sendSlowly(std::string_view bytes, int delayMs) {
    for (char c : bytes) {
      if (!send(std::string_view(&c, 1))) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    }
    return true;
  }

  // One reply, or nothing when it is not complete within timeoutMs.
  std::optional<std::string> reply(int timeoutMs = 2000, size_t limit = 75) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < limit) {
      char c;
      const ssize_t n = ::read(fd_, &c, 1);
      if (n == 1) {
        out += c;
        if (c == '\n' || c == '\x03') return out;
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) > 0 && (p.revents & (POLLHUP | POLLERR)) &&
          !(p.revents & POLLIN))
        return std::nullopt;
    }
    return out;
  }

  std::optional<std::string> ask(std::string_view frame, int timeoutMs = 2000) {
    if (!send(frame)) return std::nullopt;
    return reply(timeoutMs);
  }

  // Whatever bytes arrive within ms (all of them, terminators or not).
  std::string drain(int ms) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      char buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0) {
        out.append(buf, static_cast<size_t>(n));
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return out;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) > 0 && !(p.revents & POLLIN)) return out;
    }
  }

  // Whether the line was hung up within ms.
  bool hungUp(int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) > 0) {
        if (p.revents & POLLHUP) return true;
        char buf[256];
        ::read(fd_, buf, sizeof buf);
      }
      if (std::chrono::steady_clock::now() > deadline) return false;
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace zar::controller::test
