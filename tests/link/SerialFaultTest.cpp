// The serial port component and the link primitives when the line misbehaves:
// short transfers, EAGAIN and EINTR from the tty, output that never leaves,
// a hang-up in the middle of a read, a failed byte in a frame, and a reply
// that trickles in.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "link/FakeSerialDevice.h"
#include "link/Frames.h"
#include "link/Link.h"
#include "link/PosixSerialDevice.h"
#include "link/PtyPair.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"

namespace zar {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FakeSerialDevice;
using test::PtyPair;
using test::RecordingOperator;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// System calls that follow a script before they reach the real tty. A step
// is a byte limit for the next transfer (the call goes through with at most
// that many bytes) or an errno to fail it with.
class ScriptedCalls {
 public:
  struct Step {
    size_t limit = 0;
    int error = 0;
  };
  static Step bytes(size_t n) { return {n, 0}; }
  static Step fail(int error) { return {0, error}; }

  std::deque<Step> reads, writes, polls;
  // Once the write script is used up, every write fails with EAGAIN and every
  // wait for room times out.
  bool stallWhenScriptEnds = false;

  TtyCalls calls_() {
    TtyCalls c;
    c.read = [this](int fd, void* buffer, size_t count) -> ssize_t {
      return step(reads, count, [&](size_t n) { return ::read(fd, buffer, n); });
    };
    c.write = [this](int fd, const void* buffer, size_t count) -> ssize_t {
      if (stalled()) return failWith(EAGAIN);
      return step(writes, count, [&](size_t n) { return ::write(fd, buffer, n); });
    };
    c.poll = [this](pollfd* fds, nfds_t count, int timeoutMs) -> int {
      if (stalled() && (fds[0].events & POLLOUT)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(timeoutMs, 0)));
        return 0;
      }
      std::lock_guard lock(mutex_);
      if (!polls.empty()) {
        const Step s = polls.front();
        polls.pop_front();
        if (s.error) return failWith(s.error);
      }
      return ::poll(fds, count, timeoutMs);
    };
    return c;
  }

 private:
  bool stalled() {
    std::lock_guard lock(mutex_);
    return stallWhenScriptEnds && writes.empty();
  }
  static ssize_t failWith(int error) {
    errno = error;
    return -1;
  }
  template <typename Real>
  ssize_t step(std::deque<Step>& script, size_t count, Real real) {
    std::unique_lock lock(mutex_);
    if (script.empty()) {
      lock.unlock();
      return real(count);
    }
    const Step s = script.front();
    script.pop_front();
    lock.unlock();
    if (s.error) return failWith(s.error);
    return real(std::min(count, s.limit));
  }
  std::mutex mutex_;
};

struct ScriptedPort {
  PtyPair pty;
  ScriptedCalls script;
  TComm comm{makePosixSerialDevice(script.calls_())};
  ScriptedPort() {
    comm.SetDeviceName(pty.path());
    comm.Open();
  }
};

TEST(SerialFaults, ShortWritesEagainAndEintrAreRetriedUntilEveryByteIsOut) {
  ScriptedPort p;
  ASSERT_TRUE(p.comm.Enabled());
  p.script.writes = {ScriptedCalls::bytes(3), ScriptedCalls::fail(EAGAIN), ScriptedCalls::fail(EINTR),
                     ScriptedCalls::bytes(1), ScriptedCalls::fail(EINTR)};
  p.script.polls = {ScriptedCalls::fail(EINTR)};
  const std::string frame = "N12 G01 X5\r\n";
  EXPECT_EQ(p.comm.Write(frame.data(), static_cast<uint32_t>(frame.size())), static_cast<int>(frame.size()));
  EXPECT_EQ(p.pty.receive(frame.size()), frame);  // in order, nothing twice
  EXPECT_TRUE(p.script.writes.empty());
}

TEST(SerialFaults, ShortReadsEagainAndEintrStillFillTheRead) {
  ScriptedPort p;
  ASSERT_TRUE(p.comm.Enabled());
  p.pty.send("$%\r\nOK");
  std::this_thread::sleep_for(50ms);
  p.script.reads = {ScriptedCalls::bytes(1), ScriptedCalls::fail(EINTR), ScriptedCalls::bytes(2),
                    ScriptedCalls::fail(EAGAIN), ScriptedCalls::bytes(1), ScriptedCalls::fail(EINTR)};
  p.script.polls = {ScriptedCalls::fail(EINTR)};
  char buffer[8] = {};
  const auto start = Clock::now();
  EXPECT_EQ(p.comm.Read(buffer, 6), 6);
  EXPECT_EQ(std::string(buffer, 6), "$%\r\nOK");
  EXPECT_LT(secondsSince(start), 0.5);  // no read time-out was waited out
}

TEST(SerialFaults, AWriteThatStallsReturnsTheBytesWrittenWithinItsTimeOut) {
  ScriptedPort p;
  ASSERT_TRUE(p.comm.Enabled());
  // Four bytes go out, then the line takes nothing more.
  p.script.writes = {ScriptedCalls::bytes(4)};
  p.script.stallWhenScriptEnds = true;
  const std::string frame(10, 'x');
  const auto start = Clock::now();
  EXPECT_EQ(p.comm.Write(frame.data(), static_cast<uint32_t>(frame.size())), 4);
  // 10 bytes at 9600 baud are allowed 5 ms each.
  EXPECT_GE(secondsSince(start), 0.04);
  EXPECT_LT(secondsSince(start), 0.5);
  EXPECT_EQ(p.pty.receive(4), "xxxx");
}

// A pseudo-terminal whose far end never reads: filled until it takes no more.
void fillOutput(const PtyPair& pty) {
  const int flags = ::fcntl(pty.slave(), F_GETFL);
  ::fcntl(pty.slave(), F_SETFL, flags | O_NONBLOCK);
  const std::string block(4096, 'f');
  // The kernel moves what was written to the far end's queue a moment later,
  // which makes room again: fill until a pause makes none.
  for (bool tookSome = true; tookSome;) {
    tookSome = false;
    while (::write(pty.slave(), block.data(), block.size()) > 0) tookSome = true;
    std::this_thread::sleep_for(20ms);
  }
  ::fcntl(pty.slave(), F_SETFL, flags);
}

MessageCatalog numberedCatalog() { return test::numberedCatalog("#", ":", 200); }

struct StalledLink {
  PtyPair pty;
  TComm comm;
  RecordingOperator op;
  MessageCatalog catalog = numberedCatalog();
  MessageLog log{catalog, op};
  Link link{comm, LinkSettings{}, log};

  explicit StalledLink(int transitMode) {
    LinkSettings s;
    s.transitMode = transitMode;
    s.byteDelayMs = 0;
    s.sendTrace = true;
    link.setSettings(s);
    comm.SetDeviceName(pty.path());
    comm.Open();
    fillOutput(pty);
  }
};

TEST(SerialFaults, OutputThatNeverLeavesEndsTheDialogueWith104WithinTheTimeOut) {
  for (int mode : {0, 1}) {
    SCOPED_TRACE(mode);
    StalledLink s(mode);
    ASSERT_TRUE(s.comm.Enabled());
    // One byte has 5 ms at 9600 baud, a frame its bytes' worth.
    auto start = Clock::now();
    EXPECT_EQ(s.comm.Write("x", 1), 0);
    EXPECT_LT(secondsSince(start), 0.3);
    start = Clock::now();
    EXPECT_FALSE(s.link.TransToZAR(frames::kAttention));
    EXPECT_LT(secondsSince(start), 0.5);
    // No trace line for a frame that did not go out; the port is closed
    // (and closing did not wait for the held-back output).
    EXPECT_EQ(s.op.log(), (std::vector<std::string>{"#104:", "#107:"}));
    EXPECT_FALSE(s.comm.Enabled());
  }
}

TEST(SerialFaults, ClosingWithOutputHeldBackReturnsPromptly) {
  StalledLink s(1);
  ASSERT_TRUE(s.comm.Enabled());
  EXPECT_EQ(s.comm.Write("abc", 3), 0);
  const auto start = Clock::now();
  s.comm.Close();
  EXPECT_LT(secondsSince(start), 0.5);
}

TEST(SerialFaults, HangUpInTheMiddleOfAReadEndsItWithWhatCame) {
  PtyPair pty;
  pty.closeSlave();
  TComm comm;
  comm.SetDeviceName(pty.path());
  comm.Open();
  ASSERT_TRUE(comm.Enabled());
  std::thread peer([&] {
    std::this_thread::sleep_for(100ms);
    pty.send("abc");
    std::this_thread::sleep_for(100ms);
    pty.hangUp();
  });
  char buffer[16] = {};
  const auto start = Clock::now();
  const int n = comm.Read(buffer, 10);
  const double took = secondsSince(start);
  peer.join();
  EXPECT_EQ(n, 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_LT(took, 0.7);  // not the one-second read time-out
  EXPECT_TRUE(comm.HungUp());
  comm.Close();
}

// A device whose writes fail from byte `limit` on.
class FailingWrites : public FakeSerialDevice {
 public:
  explicit FailingWrites(size_t limit) : limit_(limit) {}
  int write(const void* buffer, uint32_t count) override {
    if (state->written.size() + count > limit_) return 0;
    return FakeSerialDevice::write(buffer, count);
  }

 private:
  size_t limit_;
};

TEST(SerialFaults, AFailedByteInTransitModeZeroStopsTheFrameThere) {
  auto device = std::make_unique<FailingWrites>(2);
  auto state = device->state;
  TComm comm(std::move(device));
  comm.SetDeviceName("/dev/fake0");
  comm.Open();
  RecordingOperator op;
  const MessageCatalog catalog = numberedCatalog();
  MessageLog log(catalog, op);
  LinkSettings settings;
  settings.transitMode = 0;
  settings.byteDelayMs = 0;
  settings.sendTrace = true;
  Link link(comm, settings, log);

  EXPECT_FALSE(link.TransToZAR(frames::kAttention));
  EXPECT_EQ(state->written, "\x24\x25");  // nothing after the byte that failed
  EXPECT_EQ(op.log(), (std::vector<std::string>{"#104:", "#107:"}));
  EXPECT_FALSE(comm.Enabled());
  // A later frame on the closed port writes nothing more.
  link.TransToZAR(frames::kList);
  EXPECT_EQ(state->written, "\x24\x25");
}

TEST(SerialFaults, AReplyThatTricklesInUnderTheReadTimeOutIsTakenWhole) {
  PtyPair pty;
  TComm comm;
  comm.SetDeviceName(pty.path());
  comm.Open();
  ASSERT_TRUE(comm.Enabled());
  RecordingOperator op;
  const MessageCatalog catalog = numberedCatalog();
  MessageLog log(catalog, op);
  LinkSettings settings;
  settings.timeoutMs = 3000;
  Link link(comm, settings, log);

  const std::string reply = "O0007 DEMO\r\n";
  std::thread peer([&] {
    for (char c : reply) {
      std::this_thread::sleep_for(120ms);  // well under the one-second read
      pty.send(std::string(1, c));
    }
  });
  const auto start = Clock::now();
  const bool ok = link.ReceiveFromZAR(Link::kReplyLimit, 1);
  peer.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(link.reply(), reply);
  EXPECT_GE(secondsSince(start), 1.2);
  EXPECT_TRUE(op.log().empty());
  EXPECT_TRUE(comm.Enabled());
}

}  // namespace
}  // namespace zar
