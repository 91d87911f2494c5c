// The serial port component over a scripted device: settings, refusals,
// modem lines, break, events and their hand-over to the owner thread.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "link/FakeSerialDevice.h"
#include "link/ThreadComm.h"

namespace zar {
namespace {

using test::FakeSerialDevice;
using namespace std::chrono_literals;

struct FakePort {
  FakePort() {
    auto device = std::make_unique<FakeSerialDevice>();
    state = device->state;
    comm = std::make_unique<TComm>(std::move(device));
    comm->SetDeviceName("/dev/fake0");
  }
  std::shared_ptr<FakeSerialDevice::State> state;
  std::unique_ptr<TComm> comm;
};

std::string errorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const CommError& e) {
    return e.what();
  }
  return "(no exception)";
}

TEST(ThreadComm, ClosedPortResultsAndDefaults) {
  FakePort p;
  TComm& c = *p.comm;
  EXPECT_EQ(c.DeviceName(), "/dev/fake0");
  EXPECT_EQ(c.BaudRate(), br9600);
  EXPECT_EQ(c.DataBits(), da8);
  EXPECT_EQ(c.ReadBufSize(), 4096);
  EXPECT_EQ(c.WriteBufSize(), 2048);
  EXPECT_EQ(c.MonitorEvents(), TCommEventTypes::all());
  EXPECT_EQ(c.EventChars().XOnChar(), 0x11);
  EXPECT_EQ(c.EventChars().XOffChar(), 0x13);
  char b[4] = {};
  EXPECT_EQ(c.Read(b, 4), -1);
  EXPECT_EQ(c.Write(b, 4), -1);
  EXPECT_EQ(c.InQueCount(), -1);
  EXPECT_EQ(c.OutQueCount(), -1);
  EXPECT_FALSE(c.GetModemState(1));
  EXPECT_FALSE(c.GetComState(1));
  EXPECT_EQ(errorText([&] { c.SetDTRState(true); }), "Port not open (Error: -1)");
  EXPECT_EQ(errorText([&] { c.SetBREAKState(true); }), "Port not open (Error: -1)");
  c.Close();  // harmless
  EXPECT_TRUE(p.state->applied.empty());
}

TEST(ThreadComm, OpenAppliesTheWholeRecordAndTwiceRaises) {
  FakePort p;
  p.state->device.rtsCtsFlow = true;  // handshake as the device reports it
  p.comm->SetBaudRate(br19200);
  p.comm->SetParity(paEven);
  p.comm->SetOptions({coParityCheck, coNullStrip});
  p.comm->EventChars().SetXOnChar('Q');  // closed: only stored
  EXPECT_TRUE(p.state->applied.empty());

  p.comm->Open();
  ASSERT_TRUE(p.comm->Enabled());
  ASSERT_EQ(p.state->applied.size(), 1u);
  const LineSettings& s = p.state->applied[0];
  EXPECT_EQ(s.baudRate, 19200u);
  EXPECT_EQ(s.dataBits, 8);
  EXPECT_EQ(s.parity, paEven);
  EXPECT_EQ(s.stopBits, sb10);
  EXPECT_EQ(s.xonChar, 'Q');
  EXPECT_EQ(s.xoffChar, 0x13);
  EXPECT_EQ(s.xonLimit, 1024);
  EXPECT_EQ(s.xoffLimit, 1024);
  EXPECT_TRUE(s.parityCheck);
  EXPECT_TRUE(s.nullStrip);
  EXPECT_FALSE(s.dsrSensitivity);
  EXPECT_TRUE(s.rtsCtsFlow);  // fcDefault leaves the handshake alone
  EXPECT_EQ(p.state->timeouts.readTotalMs, 1000u);
  EXPECT_GT(p.state->timeouts.writePerByteMs, 0u);
  EXPECT_EQ(p.state->eventMask, kEvAll);

  EXPECT_EQ(errorText([&] { p.comm->Open(); }), "Port already assigned (open) (Error: -1)");
  EXPECT_TRUE(p.comm->Enabled());
  EXPECT_TRUE(p.state->open);
  EXPECT_EQ(errorText([&] { p.comm->CheckOpen(); }), "Port already assigned (open) (Error: -1)");
  p.comm->Close();
  EXPECT_FALSE(p.comm->Enabled());
  EXPECT_FALSE(p.state->open);
}

TEST(ThreadComm, SettersApplyOnlyOnChange) {
  FakePort p;
  p.comm->Open();
  ASSERT_EQ(p.state->applied.size(), 1u);
  p.comm->SetBaudRate(br9600);
  p.comm->SetParity(paNone);
  p.comm->SetStopBits(sb10);
  p.comm->SetDataBits(da8);
  p.comm->SetOptions({});
  p.comm->SetFlowControl(fcDefault);
  EXPECT_EQ(p.state->applied.size(), 1u);

  p.comm->SetBaudRate(br1200);
  ASSERT_EQ(p.state->applied.size(), 2u);
  EXPECT_EQ(p.state->applied.back().baudRate, 1200u);
  p.comm->SetDataBits(da7);
  p.comm->SetStopBits(sb20);
  p.comm->EventChars().SetEvtChar('\n');
  ASSERT_EQ(p.state->applied.size(), 5u);
  EXPECT_EQ(p.state->applied.back().dataBits, 7);
  EXPECT_EQ(p.state->applied.back().stopBits, sb20);
  EXPECT_EQ(p.state->applied.back().evtChar, '\n');
  p.comm->SetFlowControl(fcSoftware);
  EXPECT_TRUE(p.state->applied.back().outX);
  EXPECT_FALSE(p.state->applied.back().rtsCtsFlow);

  // Names, queue sizes and the event set wait for the next opening.
  p.comm->SetDeviceName("/dev/other");
  p.comm->SetReadBufSize(100);
  p.comm->SetMonitorEvents({evRxChar});
  EXPECT_EQ(p.comm->DeviceName(), "/dev/fake0");
  EXPECT_EQ(p.comm->ReadBufSize(), 4096);
  EXPECT_EQ(p.comm->MonitorEvents(), TCommEventTypes::all());
  p.comm->Close();
  p.comm->SetDeviceName("/dev/other");
  p.comm->SetMonitorEvents({evRxChar});
  p.comm->Open();
  EXPECT_EQ(p.state->path, "/dev/other");
  EXPECT_EQ(p.state->eventMask, kEvRxChar);
}

TEST(ThreadComm, RefusedSettingsRaiseWithTheDeviceError) {
  FakePort p;
  p.comm->Open();
  p.state->setSettingsError = EINVAL;
  EXPECT_EQ(errorText([&] { p.comm->SetParity(paOdd); }), "Error updating DataControlBlock (Error: 22)");
  EXPECT_TRUE(p.comm->Enabled());
  p.comm->Close();

  // Refused at Open: the port does not stay half open.
  EXPECT_EQ(errorText([&] { p.comm->Open(); }), "Error updating DataControlBlock (Error: 22)");
  EXPECT_FALSE(p.comm->Enabled());
  EXPECT_FALSE(p.state->open);

  p.state->setSettingsError = 0;
  p.state->timeoutsError = EIO;
  EXPECT_EQ(errorText([&] { p.comm->Open(); }), "Error updating CommTimeouts (Error: 5)");
  EXPECT_FALSE(p.comm->Enabled());

  // Refused queue sizes: reported, but the port is open and its thread runs.
  p.state->timeoutsError = 0;
  p.state->queueSizesError = ENOMEM;
  EXPECT_EQ(errorText([&] { p.comm->Open(); }), "Error initializing Read/Write Buffers (Error: 12)");
  EXPECT_TRUE(p.comm->Enabled());
  p.state->pushEvent(kEvCts);
  std::unique_lock lock(p.state->mutex);
  EXPECT_TRUE(p.state->changed.wait_for(lock, 2s, [&] { return p.state->events.empty(); }));
  lock.unlock();
  p.comm->Close();
}

TEST(ThreadComm, OpenFailuresLeaveThePortClosedWithAReason) {
  FakePort p;
  p.state->openError = EACCES;
  p.comm->Open();
  EXPECT_FALSE(p.comm->Enabled());
  EXPECT_NE(p.comm->LastOpenError().find("permission denied"), std::string::npos);
  EXPECT_NE(p.comm->LastOpenError().find("usermod -aG"), std::string::npos);

  p.state->openError = EBUSY;
  p.comm->Open();
  EXPECT_NE(p.comm->LastOpenError().find("in use"), std::string::npos);

  p.state->openError = 0;
  p.state->characterDevice = false;
  p.comm->Open();
  EXPECT_FALSE(p.comm->Enabled());
  EXPECT_FALSE(p.state->open);
  EXPECT_NE(p.comm->LastOpenError().find("not a serial device"), std::string::npos);

  // A COM name without a resolver reaches no device.
  p.state->characterDevice = true;
  p.comm->SetDeviceName("COM3");
  p.comm->Open();
  EXPECT_FALSE(p.comm->Enabled());
  EXPECT_NE(p.comm->LastOpenError().find("COM3 is not assigned"), std::string::npos);
  p.comm->SetPathResolver([](const std::string& name) { return name == "COM3" ? "/dev/ttyX" : ""; });
  p.comm->Open();
  EXPECT_TRUE(p.comm->Enabled());
  EXPECT_EQ(p.state->path, "/dev/ttyX");
  EXPECT_TRUE(p.comm->LastOpenError().empty());
}

TEST(ThreadComm, ModemLinesBreakAndStatus) {
  FakePort p;
  p.comm->Open();
  p.comm->SetDTRState(true);
  p.comm->SetRTSState(false);
  p.comm->SetXONState(false);
  p.state->purges.clear();
  p.comm->SetBREAKState(true);
  EXPECT_EQ(p.state->escapes, (std::vector<uint32_t>{kSetDtr, kClrRts, kSetXOff, kSetBreak}));
  ASSERT_EQ(p.state->purges.size(), 1u);  // a break empties both queues
  EXPECT_EQ(p.state->purges[0], std::make_pair(true, true));

  p.state->escapeError = EIO;
  EXPECT_EQ(errorText([&] { p.comm->SetBREAKState(false); }), "EscapeCommFunction failure (Error: 5)");

  p.state->modemBits = kMsCtsOn | kMsRlsdOn;
  EXPECT_TRUE(p.comm->GetModemState(1));
  EXPECT_FALSE(p.comm->GetModemState(2));
  EXPECT_FALSE(p.comm->GetModemState(3));
  EXPECT_TRUE(p.comm->GetModemState(4));
  EXPECT_FALSE(p.comm->GetModemState(0));
  EXPECT_FALSE(p.comm->GetModemState(5));
  p.state->modemError = EIO;
  EXPECT_FALSE(p.comm->GetModemState(1));

  p.state->status.ctsHold = true;
  p.state->status.xoffSent = true;
  EXPECT_TRUE(p.comm->GetComState(0));  // other indexes read the CTS hold
  EXPECT_TRUE(p.comm->GetComState(1));
  EXPECT_FALSE(p.comm->GetComState(2));
  EXPECT_TRUE(p.comm->GetComState(5));

  p.state->input = "abc";
  EXPECT_EQ(p.comm->InQueCount(), 3);
  char b[8];
  EXPECT_EQ(p.comm->Read(b, 0), 0);
  p.comm->PurgeIn();
  EXPECT_EQ(p.comm->InQueCount(), 0);
}

TEST(ThreadComm, EventsReachHandlersOnTheOwnerThreadInOrder) {
  FakePort p;
  OwnerQueue owner;
  p.comm->SetDispatcher(owner.dispatcher());
  std::vector<std::string> calls;
  std::vector<std::thread::id> threads;
  auto note = [&](const std::string& what) {
    calls.push_back(what);
    threads.push_back(std::this_thread::get_id());
  };
  p.comm->OnBreak = [&](TThreadComm&) { note("break"); };
  p.comm->OnCts = [&](TThreadComm&) { note("cts"); };
  p.comm->OnDsr = [&](TThreadComm&) { note("dsr"); };
  p.comm->OnError = [&](TThreadComm&, uint32_t e) { note("error " + std::to_string(e)); };
  p.comm->OnRing = [&](TThreadComm&) { note("ring"); };
  p.comm->OnRlsd = [&](TThreadComm&) { note("rlsd"); };
  p.comm->OnRxChar = [&](TThreadComm&, uint32_t n) { note("rx " + std::to_string(n)); };
  p.comm->OnRxFlag = [&](TThreadComm&) { note("flag"); };
  p.comm->OnTxEmpty = [&](TThreadComm&) { note("txempty"); };
  p.comm->OnComStatEvent = [&](TThreadComm&, uint32_t s, const TComStat&) { note("stat " + std::to_string(s)); };
  p.comm->Open();

  p.state->pendingErrors = kErrFrame;
  p.state->input = "xy";
  p.state->pushEvent(kEvAll);
  ASSERT_EQ(owner.waitAndPump(2000), 1);
  EXPECT_EQ(calls, (std::vector<std::string>{"break", "cts", "dsr", "error 8", "ring", "rlsd", "rx 2",
                                             "flag", "txempty", "stat 511"}));
  for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(p.comm->LastEventMask(), kEvAll);

  // No OnRxChar when the input queue is already empty by the time it runs.
  calls.clear();
  p.state->input.clear();
  p.state->pushEvent(kEvRxChar);
  ASSERT_EQ(owner.waitAndPump(2000), 1);
  EXPECT_EQ(calls, (std::vector<std::string>{"stat 1"}));
  p.comm->Close();
}

TEST(ThreadComm, CloseIsPromptAndNoHandlerRunsAfterIt) {
  FakePort p;
  OwnerQueue owner;
  p.comm->SetDispatcher(owner.dispatcher());
  int handled = 0;
  p.comm->OnCts = [&](TThreadComm&) { ++handled; };
  p.comm->Open();
  p.state->pushEvent(kEvCts);
  // The event thread now waits for the owner, who closes instead of pumping.
  std::this_thread::sleep_for(50ms);
  const auto start = std::chrono::steady_clock::now();
  p.comm->Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  owner.pump();
  EXPECT_EQ(handled, 0);
  EXPECT_FALSE(p.comm->Enabled());

  // Idle thread blocked in its wait: Close wakes it and returns.
  p.comm->Open();
  {
    std::unique_lock lock(p.state->mutex);
    p.state->changed.wait_for(lock, 2s, [&] { return p.state->waits >= 2; });
  }
  const auto start2 = std::chrono::steady_clock::now();
  p.comm->Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start2, 500ms);
}

TEST(ThreadComm, HandlerMayCloseThePortWithoutADispatcher) {
  FakePort p;
  std::promise<void> closed;
  p.comm->OnRing = [&](TThreadComm& sender) {
    sender.Close();
    closed.set_value();
  };
  p.comm->Open();
  p.state->pushEvent(kEvRing);
  ASSERT_EQ(closed.get_future().wait_for(2s), std::future_status::ready);
  EXPECT_FALSE(p.comm->Enabled());
}

}  // namespace
}  // namespace zar
