#pragma once
// A TCP connection made within a deadline, the name look-up included, with
// the reason in words when it fails.

#include <chrono>
#include <string>

namespace zar {

struct ConnectResult {
  int fd = -1;       // a connected, non-blocking socket; -1 on failure
  int error = 0;     // errno-like code of the failure (ETIMEDOUT, ECONNREFUSED, ...)
  std::string why;   // "connection refused by 10.0.0.5:4001", "host 'cnc7' not found (...)"
};

ConnectResult connectTcp(const std::string& host, const std::string& port,
                         std::chrono::steady_clock::time_point deadline);

}  // namespace zar
