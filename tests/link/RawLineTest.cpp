// What the serial port component makes of the line: every byte is data, the
// settings Linux cannot carry out are refused, and where the event handlers
// run without a dispatcher.

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <future>
#include <thread>

#include "link/FakeSerialDevice.h"
#include "link/PtyPair.h"
#include "link/ThreadComm.h"

namespace zar {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FakeSerialDevice;
using test::PtyPair;

bool waitForQueue(TComm& comm, int count) {
  const auto end = Clock::now() + 2s;
  while (comm.InQueCount() < count && Clock::now() < end) std::this_thread::sleep_for(5ms);
  return comm.InQueCount() == count;
}

std::string errorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const CommError& e) {
    return e.what();
  }
  return "(no exception)";
}

termios slaveSettings(const PtyPair& pty) {
  termios t{};
  tcgetattr(pty.slave(), &t);
  return t;
}

TEST(RawLine, FlowControlBytesInAReplyAreDataAndTheNextSendGoesOut) {
  PtyPair pty;
  // A fresh tty starts with XON/XOFF and CR translation; the far end's 0x13
  // would otherwise stop every later send.
  ASSERT_TRUE(slaveSettings(pty).c_iflag & IXON);
  TComm comm;
  comm.SetDeviceName(pty.path());
  comm.Open();
  ASSERT_TRUE(comm.Enabled()) << comm.LastOpenError();
  EXPECT_FALSE(slaveSettings(pty).c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP));

  const std::string reply("A\x13" "B\r\n\x11\x00\xff\x13\r", 10);
  pty.send(reply);
  ASSERT_TRUE(waitForQueue(comm, 10));
  char buffer[16] = {};
  ASSERT_EQ(comm.Read(buffer, 10), 10);
  EXPECT_EQ(std::string(buffer, 10), reply);

  const std::string line("N1 G00 X1\r\n");
  const auto start = Clock::now();
  EXPECT_EQ(comm.Write(line.data(), static_cast<uint32_t>(line.size())), static_cast<int>(line.size()));
  EXPECT_LT(Clock::now() - start, 500ms);
  EXPECT_EQ(pty.receive(line.size()), line);

  // Asked for, software flow control obeys the peer's XON/XOFF only.
  comm.SetFlowControl(fcSoftware);
  EXPECT_TRUE(slaveSettings(pty).c_iflag & IXON);
  EXPECT_FALSE(slaveSettings(pty).c_iflag & IXOFF);
  comm.SetFlowControl(fcNone);
  EXPECT_FALSE(slaveSettings(pty).c_iflag & IXON);
}

TEST(RawLine, SettingsLinuxCannotCarryOutAreRefusedTheRestAccepted) {
  PtyPair pty;
  TComm comm;
  comm.SetDeviceName(pty.path());
  comm.Open();
  ASSERT_TRUE(comm.Enabled());
  const std::string refused = "Error updating DataControlBlock (Error: 22)";

  EXPECT_EQ(errorText([&] { comm.SetOptions({coDsrSensitivity}); }), refused);
  comm.SetOptions({});
  EXPECT_EQ(errorText([&] { comm.SetFlowControl(fcDTR); }), refused);
  comm.SetFlowControl(fcDefault);
  EXPECT_EQ(errorText([&] { comm.SetDataBits(da4); }), refused);
  comm.SetDataBits(da8);
  // Bytes with parity errors can become NUL, nothing else.
  comm.SetOptions({coParityCheck, coErrorChar});
  EXPECT_EQ(errorText([&] { comm.EventChars().SetErrorChar('?'); }), refused);
  comm.EventChars().SetErrorChar(0);

  // Nothing on Linux for these to act on: accepted.
  EXPECT_NO_THROW(comm.EventChars().SetEofChar(0x1A));
  EXPECT_NO_THROW(comm.EventChars().SetEvtChar('\n'));
  EXPECT_NO_THROW(comm.SetOptions({coIgnoreXOff, coNullStrip}));
  EXPECT_NO_THROW(comm.SetFlowControl(fcSoftware));
  comm.SetFlowControl(fcDefault);

  // Refusals leave the port open and working.
  ASSERT_TRUE(comm.Enabled());
  EXPECT_EQ(comm.Write("ok", 2), 2);
  EXPECT_EQ(pty.receive(2), "ok");
  comm.Close();

  // Refused at Open: the port does not open.
  comm.SetOptions({coDsrSensitivity});
  EXPECT_EQ(errorText([&] { comm.Open(); }), refused);
  EXPECT_FALSE(comm.Enabled());
}

TEST(RawLine, WithoutADispatcherHandlersRunOnTheEventThread) {
  auto device = std::make_unique<FakeSerialDevice>();
  auto state = device->state;
  TComm comm(std::move(device));
  comm.SetDeviceName("/dev/fake0");
  std::promise<std::thread::id> ran;
  comm.OnCts = [&](TThreadComm&) { ran.set_value(std::this_thread::get_id()); };
  comm.Open();
  state->pushEvent(kEvCts);
  auto future = ran.get_future();
  ASSERT_EQ(future.wait_for(2s), std::future_status::ready);
  EXPECT_NE(future.get(), std::this_thread::get_id());
  comm.Close();
}

}  // namespace
}  // namespace zar
