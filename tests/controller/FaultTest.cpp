// Fault injection, line pacing and persistence of the virtual controller,
// seen from the PC's end of the line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "controller/PtyClient.h"
#include "controller/VirtualController.h"
#include "link/Frames.h"

namespace zar::controller {
namespace {

namespace f = zar::frames;
using test::PtyClient;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// Starts a controller with `faults` and slot 5 holding "OLD" (G00 X0, M30).
struct Faulty {
  explicit Faulty(std::vector<Fault> faults, ControllerConfig c = {}) : ctrl([&] {
    c.faults = std::move(faults);
    return c;
  }()) {
    ctrl.setProgram(5, {"OLD", {"G00 X0", "M30"}});
    std::string error;
    EXPECT_TRUE(ctrl.start(&error)) << error;
    pc = std::make_unique<PtyClient>(ctrl.devicePath());
  }
  void openList(int slot = 5) {
    pc->ask(f::kAttention);
    pc->ask(f::kList);
    pc->ask(f::slotFrame(slot));
  }
  void openStore(int slot = 5) {
    pc->ask(f::kAttention);
    pc->ask(f::kStore);
    pc->ask(f::slotFrame(slot));
    pc->ask(f::nameFrame("NEW"));
  }
  VirtualController ctrl;
  std::unique_ptr<PtyClient> pc;
};

TEST(ControllerFault, NoReplyKeepsTheDialogueGoing) {
  Faulty fx({Fault::noReply("list.name")});
  fx.openList();
  EXPECT_EQ(fx.pc->ask(f::kAck, 300), std::nullopt);
  EXPECT_EQ(fx.pc->ask(f::kAck), "N1 G00 X0\r\n");  // the name was "sent" all the same
  const auto t = fx.ctrl.traffic();
  const auto it = std::find_if(t.begin(), t.end(), [](auto& e) { return e.step == "list.name"; });
  ASSERT_NE(it, t.end());
  EXPECT_EQ(it->bytes, "");
  EXPECT_EQ(it->fault, FaultKind::NoReply);
}

TEST(ControllerFault, NakRefusesTheFrameAndEndsTheDialogue) {
  Faulty fx({Fault::nak("store.line:2")});
  fx.openStore();
  EXPECT_EQ(fx.pc->ask(f::programLineFrame(1, "G01 X1")), f::kAck);
  EXPECT_EQ(fx.pc->ask(f::programLineFrame(2, "G01 X2")), f::kNak);
  EXPECT_EQ(fx.pc->ask(f::programLineFrame(3, "M30")), f::kNak);  // no store in progress
  EXPECT_EQ(fx.ctrl.program(5), (Program{"NEW", {"G01 X1"}}));
}

TEST(ControllerFault, GarbageReplacesTheReplyButTheFrameTakesEffect) {
  Faulty fx({Fault::garbage("delete.confirm")});
  fx.pc->ask(f::kAttention);
  fx.pc->ask(f::kDelete);
  fx.pc->ask(f::slotFrame(5));
  EXPECT_EQ(fx.pc->ask(f::nameFrame("OLD")), kGarbageReply);
  EXPECT_FALSE(fx.ctrl.program(5));
}

TEST(ControllerFault, ShortReplyLosesItsTerminator) {
  Faulty fx({Fault::shortReply("list.slot")});
  fx.pc->ask(f::kAttention);
  fx.pc->ask(f::kList);
  fx.pc->send(f::slotFrame(5));
  EXPECT_EQ(fx.pc->drain(300), f::kAck.substr(0, 2));
}

TEST(ControllerFault, DelayHoldsTheReplyBack) {
  Faulty fx({Fault::delay("attention", 400)});
  const auto t0 = Clock::now();
  EXPECT_EQ(fx.pc->ask(f::kAttention, 100), std::nullopt);
  EXPECT_EQ(fx.pc->reply(3000), f::kAck);
  EXPECT_GE(msSince(t0), 390);
}

TEST(ControllerFault, HangupClosesTheLineAndKeepsWhatCameBefore) {
  Faulty fx({Fault::hangup("store.line:3")});
  fx.openStore(7);
  fx.pc->ask(f::programLineFrame(1, "G90"));
  fx.pc->ask(f::programLineFrame(2, "G00 X0"));
  fx.pc->send(f::programLineFrame(3, "M30"));
  EXPECT_TRUE(fx.pc->hungUp(2000));
  ASSERT_TRUE(fx.ctrl.waitForTraffic(
      [](const auto& t) { return !t.empty() && t.back().kind == TrafficEntry::Kind::Hangup; }, 2000));
  EXPECT_TRUE(fx.ctrl.hungUp());
  EXPECT_FALSE(fx.ctrl.running());
  EXPECT_EQ(fx.ctrl.program(7), (Program{"NEW", {"G90", "G00 X0"}}));
  // A new start opens a new line.
  ASSERT_TRUE(fx.ctrl.start());
  PtyClient pc(fx.ctrl.devicePath());
  EXPECT_EQ(pc.ask(f::kAttention), f::kAck);
}

TEST(ControllerFault, ReplyInjectsChosenBytes) {
  Faulty fx({Fault::reply("list.name", f::kAttention)});
  fx.openList();
  EXPECT_EQ(fx.pc->ask(f::kAck), f::kAttention);
}

TEST(ControllerFault, FloodPutsBytesWithoutALineEndAndTakesNoCommand) {
  Faulty fx({Fault::flood("plc.lon", 300)});
  // Read as the link reads: at most 75 bytes, no terminator in sight.
  EXPECT_EQ(fx.pc->ask(f::kLon), std::string(75, 'U'));
  EXPECT_EQ(fx.pc->drain(300), std::string(225, 'U'));
  const auto parsed = parseFault("plc.lon:flood=4096*0");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->kind, FaultKind::Flood);
  EXPECT_EQ(parsed->count, 4096);
  std::string why;
  EXPECT_FALSE(parseFault("plc.lon:flood", &why));
  EXPECT_FALSE(parseFault("plc.lon:flood=0", &why));
  EXPECT_NE(why.find("flood=COUNT"), std::string::npos);
}

TEST(ControllerFault, CorruptDamagesOneByteOfAStreamedRecord) {
  Faulty fx({Fault::corrupt("plc.record:2")});
  fx.ctrl.setPlcImage({"0011", "2233", "44"});
  fx.pc->ask(f::kLon);
  fx.pc->send(f::kSqr);
  EXPECT_EQ(fx.pc->reply(), "\x06" + plcRecord("0011"));
  std::string damaged = plcRecord("2233");
  damaged[damaged.size() / 2] ^= 0x01;
  EXPECT_EQ(fx.pc->reply(), damaged);
  EXPECT_EQ(fx.pc->reply(), plcRecord("44"));
  EXPECT_EQ(fx.pc->reply(), f::kFe);
  auto parsed = parseFault("plc.record:3:corrupt");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->kind, FaultKind::Corrupt);
}

TEST(ControllerFault, StepsMatchByIndexOrAnyIndexAndCountDown) {
  Fault every = Fault::reply("store.line", "X\r\n");
  every.times = 0;
  Faulty fx({Fault::nak("store.line:9"), every});
  fx.openStore();
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(fx.pc->ask(f::programLineFrame(i, "G00")), "X\r\n");
  EXPECT_EQ(fx.ctrl.armedFaults(), 2u);

  fx.ctrl.clearFaults();
  Fault twice = Fault::nak("attention");
  twice.times = 2;
  fx.ctrl.addFault(twice);
  EXPECT_EQ(fx.pc->ask(f::kAttention), f::kNak);
  EXPECT_EQ(fx.pc->ask(f::kAttention), f::kNak);
  EXPECT_EQ(fx.pc->ask(f::kAttention), f::kAck);
  EXPECT_EQ(fx.ctrl.armedFaults(), 0u);
}

TEST(ControllerFault, SilentStepsCanBeGivenAReply) {
  Faulty fx({Fault::garbage("plc.write:2")});
  fx.pc->ask(f::kLon);
  fx.pc->ask(f::kSqw);
  fx.pc->send(plcRecord("00"));
  fx.pc->send(plcRecord("11"));
  EXPECT_EQ(fx.pc->reply(), kGarbageReply);
}

TEST(ControllerFault, RepliesNobodyWaitsForAreDroppedWhenTheClientLeaves) {
  Faulty fx({Fault::delay("list", 300)});
  fx.pc->ask(f::kAttention);
  EXPECT_EQ(fx.pc->ask(f::kList, 50), std::nullopt);
  fx.pc->close();  // gives up, as our side does after its time-out
  ASSERT_TRUE(fx.ctrl.waitForTraffic(
      [](const auto& t) { return !t.empty() && t.back().kind == TrafficEntry::Kind::Close; }, 2000));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  PtyClient next(fx.ctrl.devicePath());
  EXPECT_EQ(next.drain(100), "");
  EXPECT_EQ(next.ask(f::kAttention), f::kAck);
}

TEST(ControllerPacing, RepliesTakeTheWireTimeOfTheBytes) {
  ControllerConfig c;
  c.paceBaud = 2400;
  Faulty fx({}, c);
  std::vector<std::string> lines;
  for (int i = 0; i < 10; ++i) lines.push_back("G01 X" + std::to_string(i * 10) + " Y5 F300");
  fx.ctrl.setProgram(6, {"PACED", lines});
  const auto t0 = Clock::now();
  fx.openList(6);
  size_t bytes = f::kAttention.size() + f::kList.size() + 4 + 3 * f::kAck.size();
  for (;;) {
    const auto r = fx.pc->ask(f::kAck);
    ASSERT_TRUE(r);
    bytes += f::kAck.size() + r->size();
    if (*r == f::kAttention) break;
  }
  const double wireMs = bytes * 10 * 1000.0 / c.paceBaud;
  EXPECT_GE(msSince(t0), 0.9 * wireMs);  // loose: only a lower bound
}

TEST(ControllerPacing, StreamedRecordsDoNotDelayTheNextReply) {
  // 30 records of 36 bytes take 9 s at 1200 baud; the PC writes them at once
  // and then waits for the link-off reply with its usual time-out.
  ControllerConfig c;
  c.paceBaud = 1200;
  Faulty fx({}, c);
  ASSERT_EQ(fx.pc->ask(f::kLon), kStxAck);
  ASSERT_EQ(fx.pc->ask(f::kSqw), kStxAck);
  std::string stream;
  for (int i = 0; i < 30; ++i) stream += plcRecord("0102030405060708090A0B0C0D0E");
  fx.pc->send(stream + f::kFe);
  EXPECT_EQ(fx.pc->ask(f::kLof, 3000), kStxAck);
  EXPECT_EQ(fx.ctrl.plcImage().size(), 30u);
}

// ---- persistence --------------------------------------------------------------

class ControllerPersistence : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zar-ctrl-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    file_ = dir_ + "/memory.txt";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  ControllerConfig config() {
    ControllerConfig c;
    c.stateFile = file_;
    return c;
  }
  std::string fileText() {
    std::ifstream in(file_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string dir_, file_;
};

TEST_F(ControllerPersistence, MemorySurvivesARestart) {
  {
    VirtualController ctrl(config());
    ASSERT_TRUE(ctrl.start());
    PtyClient pc(ctrl.devicePath());
    pc.ask(f::kAttention);
    pc.ask(f::kStore);
    pc.ask(f::slotFrame(3));
    pc.ask(f::nameFrame("KEEP"));
    pc.ask(f::programLineFrame(1, "G00 X\\1"));
    pc.ask(f::programLineFrame(2, "M30"));
    pc.ask(f::kAttention);
    pc.ask(f::kParamSend);
    pc.ask("42=-7\r\n");
    pc.ask(f::kLon);
    pc.ask(f::kSqw);
    pc.send(plcRecord("0A0B"));
    pc.send(f::kFe);
    pc.ask(f::kLof);
    // Saved once the dialogue is over, without waiting for the stop.
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (fileText().find("0A0B") == std::string::npos && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NE(fileText().find("[slot 03]\nname KEEP\n| G00 X\\\\1\n| M30\n"), std::string::npos)
        << fileText();
  }
  VirtualController again(config());
  ASSERT_TRUE(again.start());
  EXPECT_EQ(again.program(3), (Program{"KEEP", {"G00 X\\1", "M30"}}));
  EXPECT_EQ(again.parameter(42), -7);
  EXPECT_EQ(again.plcImage(), std::vector<std::string>{"0A0B"});
}

TEST_F(ControllerPersistence, SamplesFillOnlyEmptySlots) {
  ControllerConfig c = config();
  c.samples = true;
  {
    VirtualController ctrl(c);
    ctrl.setProgram(2, {"MINE", {"M30"}});
    ASSERT_TRUE(ctrl.start());
    EXPECT_EQ(ctrl.program(2), (Program{"MINE", {"M30"}}));
    EXPECT_EQ(ctrl.program(1), samplePrograms()[0].second);
    EXPECT_FALSE(ctrl.plcImage().empty());
  }
  EXPECT_NE(fileText().find("name MINE"), std::string::npos);
}

TEST_F(ControllerPersistence, UnreadableStateFileStopsTheStartAndIsKept) {
  {
    std::ofstream out(file_);
    out << "[slot 05]\nthis is not a program line\n";
  }
  VirtualController ctrl(config());
  std::string error;
  EXPECT_FALSE(ctrl.start(&error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_EQ(fileText(), "[slot 05]\nthis is not a program line\n");
}

}  // namespace
}  // namespace zar::controller
