// Name look-up has no time-out of its own: getaddrinfo runs on a helper
// thread that may outlive the wait (it then finishes alone and frees its
// result), so the caller never waits longer than its deadline.

#include "link/NetworkConnect.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace zar {
namespace {

using Clock = std::chrono::steady_clock;

struct Lookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool abandoned = false;
  int status = 0;
  addrinfo* result = nullptr;
  ~Lookup() {
    if (result) ::freeaddrinfo(result);
  }
};

int remainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::shared_ptr<Lookup> lookUp(const std::string& host, const std::string& port, Clock::time_point deadline) {
  auto lookup = std::make_shared<Lookup>();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  // Numeric addresses need no resolver: answer them at once.
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &lookup->result) == 0) {
    lookup->finished = true;
    return lookup;
  }
  lookup->result = nullptr;
  try {
    std::thread([lookup, host, port] {
      addrinfo hints{};
      hints.ai_family = AF_UNSPEC;
      hints.ai_socktype = SOCK_STREAM;
      hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
      addrinfo* result = nullptr;
      const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &result);
      std::lock_guard lock(lookup->mutex);
      lookup->status = status;
      lookup->result = result;
      lookup->finished = true;
      lookup->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    lookup->status = EAI_AGAIN;
    lookup->finished = true;
    return lookup;
  }
  std::unique_lock lock(lookup->mutex);
  lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; });
  return lookup;
}

std::string reasonOf(int error) {
  switch (error) {
    case ECONNREFUSED: return "connection refused (no server listening on that port?)";
    case EHOSTUNREACH: return "host unreachable";
    case ENETUNREACH: return "network unreachable";
    case ETIMEDOUT: return "no answer (time-out)";
    default: return std::strerror(error);
  }
}

}  // namespace

ConnectResult connectTcp(const std::string& host, const std::string& port, Clock::time_point deadline) {
  ConnectResult r;
  const int budgetMs = remainingMs(deadline);
  const auto lookup = lookUp(host, port, deadline);
  addrinfo* list = nullptr;
  {
    std::lock_guard lock(lookup->mutex);
    if (!lookup->finished) {
      r.error = ETIMEDOUT;
      r.why = "looking up host '" + host + "' took longer than " + std::to_string(budgetMs) + " ms";
      return r;
    }
    if (lookup->status != 0 || !lookup->result) {
      r.error = ENOENT;
      r.why = "host '" + host + "' not found (" + ::gai_strerror(lookup->status) + ")";
      return r;
    }
    list = lookup->result;
  }
  int lastError = ETIMEDOUT;
  for (addrinfo* a = list; a; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    int error = 0;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      error = errno;
      if (error == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int ready = 0;
        do ready = ::poll(&p, 1, remainingMs(deadline));
        while (ready < 0 && errno == EINTR);
        if (ready <= 0) {
          error = ETIMEDOUT;
        } else {
          socklen_t len = sizeof error;
          if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
        }
      }
    }
    if (error == 0) {
      // Frames are small and the controller waits for each: no batching delay.
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
      r.fd = fd;
      return r;
    }
    ::close(fd);
    lastError = error;
    if (remainingMs(deadline) <= 0) break;
  }
  r.error = lastError;
  r.why = lastError == ETIMEDOUT
              ? "no answer within " + std::to_string(budgetMs) + " ms"
              : reasonOf(lastError);
  return r;
}

}  // namespace zar
