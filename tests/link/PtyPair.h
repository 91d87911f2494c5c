#pragma once
// A pseudo-terminal for link tests: the component opens the slave by path,
// the test plays the far end on the master.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zar::test {

class PtyPair {
 public:
  PtyPair() {
    char name[128] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    path_ = name;
  }
  ~PtyPair() {
    closeSlave();
    hangUp();
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& path() const { return path_; }
  int master() const { return master_; }
  // The slave descriptor openpty gave us (kept open so the line lives on).
  int slave() const { return slave_; }
  void closeSlave() {
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
  }
  // Closes the master: the slave side sees a hang-up.
  void hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void send(std::string_view bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("pty write");
      done += static_cast<size_t>(n);
    }
  }

  // Reads until `count` bytes came or `timeoutMs` passed.
  std::string receive(size_t count, int timeoutMs = 1000) const {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now()).count();
      if (left <= 0) break;
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buffer[512];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

}  // namespace zar::test
