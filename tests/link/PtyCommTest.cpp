// The serial port component on a real tty: a pseudo-terminal pair, the test
// playing the far end on the master side.

#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>

#include <chrono>
#include <thread>

#include "link/PtyPair.h"
#include "link/ThreadComm.h"

namespace zar {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::PtyPair;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Bytes written on the master reach the slave's queue a moment later.
bool waitForQueue(TComm& comm, int count) {
  const auto end = Clock::now() + 2s;
  while (comm.InQueCount() < count && Clock::now() < end) std::this_thread::sleep_for(5ms);
  return comm.InQueCount() == count;
}

TEST(PtyComm, ReadWriteQueueCountsAndPurge) {
  PtyPair pty;
  TComm comm;
  comm.SetDeviceName(pty.path());
  comm.Open();
  ASSERT_TRUE(comm.Enabled()) << comm.LastOpenError();
  EXPECT_EQ(comm.DevicePath(), pty.path());
  comm.SetRTSState(true);  // a pseudo-terminal has no modem lines: nothing to do, no error
  comm.SetDTRState(true);
  EXPECT_FALSE(comm.GetModemState(1));

  EXPECT_EQ(comm.Write("hello\r\n", 7), 7);
  EXPECT_EQ(pty.receive(7), "hello\r\n");  // raw: no CR/LF translation
  EXPECT_EQ(comm.OutQueCount(), 0);

  pty.send(std::string("ab\x00\xff\r\n", 6));
  ASSERT_EQ(comm.WaitInput(1000), 1);
  EXPECT_TRUE(waitForQueue(comm, 6));
  char buffer[16] = {};
  const auto start = Clock::now();
  EXPECT_EQ(comm.Read(buffer, 6), 6);
  EXPECT_LT(secondsSince(start), 0.5);  // returns once the count is there
  EXPECT_EQ(std::string(buffer, 6), std::string("ab\x00\xff\r\n", 6));
  EXPECT_EQ(comm.InQueCount(), 0);

  pty.send("stale");
  ASSERT_TRUE(waitForQueue(comm, 5));
  comm.PurgeIn();
  EXPECT_EQ(comm.InQueCount(), 0);
  EXPECT_EQ(comm.WaitInput(50), 0);
  comm.Close();
  EXPECT_EQ(comm.Read(buffer, 1), -1);
  EXPECT_EQ(comm.WaitInput(10), -1);
}

TEST(PtyComm, ReadTimesOutAfterAboutOneSecondWithWhatCame) {
  PtyPair pty;
  TComm comm;
  comm.SetDeviceName(pty.path());
  comm.Open();
  ASSERT_TRUE(comm.Enabled());
  char buffer[8];
  auto start = Clock::now();
  EXPECT_EQ(comm.Read(buffer, 8), 0);
  double took = secondsSince(start);
  EXPECT_GE(took, 0.9);
  EXPECT_LE(took, 2.0);

  pty.send("abc");
  start = Clock::now();
  EXPECT_EQ(comm.Read(buffer, 8), 3);
  took = secondsSince(start);
  EXPECT_GE(took, 0.9);
  EXPECT_LE(took, 2.0);
}

TEST(PtyComm, OpenIsExclusive) {
  PtyPair pty;
  TComm first;
  first.SetDeviceName(pty.path());
  first.Open();
  ASSERT_TRUE(first.Enabled());

  TComm second;
  second.SetDeviceName(pty.path());
  second.Open();
  EXPECT_FALSE(second.Enabled());
  EXPECT_NE(second.LastOpenError().find("in use"), std::string::npos) << second.LastOpenError();

  // Another program holding the device with a lock keeps us out too.
  first.Close();
  const int other = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  second.Open();
  EXPECT_FALSE(second.Enabled());
  ::close(other);
  second.Open();
  EXPECT_TRUE(second.Enabled());
}

TEST(PtyComm, MissingDeviceAndNonTtyDoNotOpen) {
  TComm comm;
  comm.SetDeviceName("/dev/zar-no-such-port");
  comm.Open();
  EXPECT_FALSE(comm.Enabled());
  EXPECT_NE(comm.LastOpenError().find("not present"), std::string::npos);
  comm.SetDeviceName("/dev/null");  // a character device, but no tty
  comm.Open();
  EXPECT_FALSE(comm.Enabled());
  EXPECT_NE(comm.LastOpenError().find("not a serial device"), std::string::npos);
}

TEST(PtyComm, RawWhileOpenAndOriginalSettingsRestoredOnClose) {
  PtyPair pty;
  termios before{};
  ASSERT_EQ(tcgetattr(pty.slave(), &before), 0);
  ASSERT_TRUE(before.c_lflag & ICANON);
  TComm comm;
  comm.SetDeviceName(pty.path());
  comm.SetBaudRate(br19200);
  comm.Open();
  ASSERT_TRUE(comm.Enabled());
  termios during{};
  tcgetattr(pty.slave(), &during);
  EXPECT_FALSE(during.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(during.c_oflag & OPOST);
  EXPECT_EQ(cfgetospeed(&during), static_cast<speed_t>(B19200));
  comm.Close();
  termios after{};
  tcgetattr(pty.slave(), &after);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
}

TEST(PtyComm, RatesWithoutConstantsAndForcedFramingAreAccepted) {
  PtyPair pty;
  TComm comm;
  comm.SetDeviceName(pty.path());
  comm.SetBaudRate(br14400);
  comm.Open();
  ASSERT_TRUE(comm.Enabled());
  EXPECT_NO_THROW(comm.SetBaudRate(br256000));
  // A pseudo-terminal always runs 8 data bits without parity; that is no refusal.
  EXPECT_NO_THROW(comm.SetDataBits(da7));
  EXPECT_NO_THROW(comm.SetParity(paEven));
  // 4 data bits exist on no device.
  EXPECT_THROW(comm.SetDataBits(da4), CommError);
}

TEST(PtyComm, EventThreadDeliversInputAndStopsOnClose) {
  PtyPair pty;
  TComm comm;
  OwnerQueue owner;
  comm.SetDispatcher(owner.dispatcher());
  uint32_t seen = 0;
  int calls = 0;
  comm.OnRxChar = [&](TThreadComm&, uint32_t count) {
    ++calls;
    seen = count;
  };
  comm.SetDeviceName(pty.path());
  comm.Open();
  ASSERT_TRUE(comm.Enabled());
  pty.send("xyz");
  int ran = 0;
  for (int i = 0; i < 50 && ran == 0; ++i) ran = owner.waitAndPump(100);
  ASSERT_GE(ran, 1);
  EXPECT_EQ(calls, 1);
  EXPECT_GE(seen, 1u);
  EXPECT_LE(seen, 3u);
  EXPECT_TRUE(comm.LastEventMask() & kEvRxChar);

  // While the input stays unread, no further events pile up.
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(owner.pump(), 0);

  const auto start = Clock::now();
  comm.Close();
  EXPECT_LT(secondsSince(start), 0.5);
  pty.send("more");
  std::this_thread::sleep_for(100ms);
  owner.pump();
  EXPECT_EQ(calls, 1);
}

TEST(PtyComm, HangUpEndsWaitsAndFailsTransfers) {
  PtyPair pty;
  pty.closeSlave();
  TComm comm;
  OwnerQueue owner;
  comm.SetDispatcher(owner.dispatcher());
  comm.SetDeviceName(pty.path());
  comm.Open();
  ASSERT_TRUE(comm.Enabled());
  std::thread hangUp([&] {
    std::this_thread::sleep_for(100ms);
    pty.hangUp();
  });
  auto start = Clock::now();
  EXPECT_EQ(comm.WaitInput(5000), -1);
  EXPECT_LT(secondsSince(start), 1.0);
  hangUp.join();
  EXPECT_TRUE(comm.HungUp());

  char buffer[4];
  start = Clock::now();
  EXPECT_EQ(comm.Read(buffer, 4), 0);
  EXPECT_EQ(comm.Write("x", 1), 0);
  EXPECT_LT(secondsSince(start), 0.5);
  owner.pump();
  start = Clock::now();
  comm.Close();
  EXPECT_LT(secondsSince(start), 0.5);
}

}  // namespace
}  // namespace zar
