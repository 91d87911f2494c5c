#pragma once
// The Linux tty behind the serial port component. Its byte moves go through a
// small table of system calls so that tests can make a real tty return what
// the kernel returns only now and then: short transfers, EAGAIN and EINTR.

#include <poll.h>
#include <sys/types.h>

#include <functional>
#include <memory>

#include "link/SerialDevice.h"

namespace zar {

struct TtyCalls {
  std::function<ssize_t(int fd, void* buffer, size_t count)> read;
  std::function<ssize_t(int fd, const void* buffer, size_t count)> write;
  std::function<int(pollfd* fds, nfds_t count, int timeoutMs)> poll;

  // ::read, ::write and ::poll.
  static TtyCalls system();
};

std::unique_ptr<SerialDevice> makePosixSerialDevice(TtyCalls calls);

}  // namespace zar
