// The controller's dialogues, driven over its terminal device as our side
// would drive them.
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <atomic>

#include "controller/PtyClient.h"
#include "controller/VirtualController.h"
#include "link/Frames.h"

namespace zar::controller {
namespace {

namespace f = zar::frames;
using test::PtyClient;
using Lines = std::vector<std::string>;

ControllerConfig configFor(int model) {
  ControllerConfig c;
  c.model = model;
  c.type = *typeOfModel(model);
  return c;
}

struct Fixture {
  explicit Fixture(ControllerConfig config = {}) : ctrl(std::move(config)) {}
  PtyClient& connect() {
    std::string error;
    if (!ctrl.running()) {
      EXPECT_TRUE(ctrl.start(&error)) << error;
    }
    client = std::make_unique<PtyClient>(ctrl.devicePath());
    EXPECT_TRUE(client->ok());
    return *client;
  }
  VirtualController ctrl;
  std::unique_ptr<PtyClient> client;
};

// Receives a slot the way the program page does; returns every reply.
Lines listSlot(PtyClient& pc, int slot) {
  Lines replies;
  for (const auto& frame : {f::kAttention, f::kList, f::slotFrame(slot)})
    replies.push_back(pc.ask(frame).value_or("<timeout>"));
  for (int i = 0; i < 200; ++i) {
    auto r = pc.ask(f::kAck);
    replies.push_back(r.value_or("<timeout>"));
    if (!r || *r == f::kAttention) break;
  }
  pc.send(f::kAck);  // the ACK after the end of data
  return replies;
}

TEST(ControllerDialogue, ListX02SendsNameLinesAndEndOfData) {
  Fixture fx(configFor(102));
  fx.ctrl.setProgram(5, {"OLD", {"G00 X0", "", "M30"}});
  PtyClient& pc = fx.connect();
  const Lines replies = listSlot(pc, 5);
  EXPECT_EQ(replies, (Lines{f::kAck, f::kAck, f::kAck, "OLD\r\n", "N1 G00 X0\r\n", "N2 \r\n",
                            "N3 M30\r\n", f::kAttention}));
  // The closing ACK gets no reply and the dialogue is over.
  EXPECT_EQ(pc.drain(150), "");
  ASSERT_TRUE(fx.ctrl.waitForFrames(9, 2000));
  EXPECT_EQ(fx.ctrl.inputFrames(),
            (Lines{f::kAttention, f::kList, "05\r\n", f::kAck, f::kAck, f::kAck, f::kAck, f::kAck,
                   f::kAck}));
  EXPECT_EQ(fx.ctrl.outputReplies(), Lines(replies.begin(), replies.end()));
  EXPECT_EQ(pc.ask(f::kAck), f::kNak);  // nothing left to acknowledge
}

TEST(ControllerDialogue, ListX00SendsFirstLineWithoutName) {
  Fixture fx(configFor(300));
  fx.ctrl.setProgram(7, {"IGNORED", {"G01 X5"}});
  fx.ctrl.setProgram(8, {"", {}});
  PtyClient& pc = fx.connect();
  EXPECT_EQ(listSlot(pc, 7), (Lines{f::kAck, f::kAck, f::kAck, "N1 G01 X5\r\n", f::kAttention}));
  // A program without lines answers the first ACK with the end of data.
  EXPECT_EQ(listSlot(pc, 8), (Lines{f::kAck, f::kAck, f::kAck, f::kAttention}));
}

TEST(ControllerDialogue, SlotQueriesRefuseEmptyAndInvalidSlots) {
  Fixture fx;
  fx.ctrl.setProgram(99, {"LAST", {"M30"}});
  fx.ctrl.setProgram(1, {"", {"M30"}});
  PtyClient& pc = fx.connect();
  for (const std::string slot : {"04\r\n", "00\r\n", "100\r\n", "5\r\n", "ab\r\n"}) {
    pc.ask(f::kAttention);
    pc.ask(f::kList);
    EXPECT_EQ(pc.ask(slot), f::kNak) << slot;
  }
  EXPECT_EQ(listSlot(pc, 99)[3], "LAST\r\n");
  // A slot stored without a name reports an empty name line, not the end of data.
  EXPECT_EQ(listSlot(pc, 1), (Lines{f::kAck, f::kAck, f::kAck, "\r\n", "N1 M30\r\n", f::kAttention}));
}

TEST(ControllerDialogue, StoreX02ThenListGivesTheProgramBack) {
  Fixture fx(configFor(202));
  fx.ctrl.setProgram(12, {"OLD", {"G04 X1", "M02", "M30"}});
  PtyClient& pc = fx.connect();
  pc.ask(f::kAttention);
  for (const auto& frame : {f::kStore, f::slotFrame(12), f::nameFrame("NEW12345"),
                            f::programLineFrame(1, "G00 X1 Y2"), f::programLineFrame(2, ""),
                            f::programLineFrame(3, "M30")})
    EXPECT_EQ(pc.ask(frame), f::kAck) << escapeBytes(frame);
  // The store replaced what the slot held.
  EXPECT_EQ(fx.ctrl.program(12), (Program{"NEW12345", {"G00 X1 Y2", "", "M30"}}));
  EXPECT_EQ(listSlot(pc, 12), (Lines{f::kAck, f::kAck, f::kAck, "NEW12345\r\n", "N1 G00 X1 Y2\r\n",
                                     "N2 \r\n", "N3 M30\r\n", f::kAttention}));
}

TEST(ControllerDialogue, StoreX00TakesLinesRightAfterTheSlot) {
  Fixture fx(configFor(101));
  PtyClient& pc = fx.connect();
  pc.ask(f::kAttention);
  EXPECT_EQ(pc.ask(f::kStore), f::kAck);
  EXPECT_EQ(pc.ask(f::slotFrame(3)), f::kAck);
  EXPECT_EQ(pc.ask(f::programLineFrame(1, "G90")), f::kAck);
  EXPECT_EQ(pc.ask(f::programLineFrame(2, "M30")), f::kAck);
  EXPECT_EQ(fx.ctrl.program(3), (Program{"", {"G90", "M30"}}));
  // A line that is not a program line ends the store as an unexpected frame.
  EXPECT_EQ(pc.ask("G00\r\n"), f::kNak);
  EXPECT_EQ(fx.ctrl.program(3)->lines.size(), 2u);
}

TEST(ControllerDialogue, DeleteConfirmsOnlyAMatchingName) {
  Fixture fx(configFor(102));
  fx.ctrl.setProgram(5, {"OLD", {"M30"}});
  PtyClient& pc = fx.connect();
  auto del = [&](const std::string& name) {
    pc.ask(f::kAttention);
    EXPECT_EQ(pc.ask(f::kDelete), f::kAck);
    EXPECT_EQ(pc.ask(f::slotFrame(5)), f::kAck);
    return pc.ask(f::nameFrame(name));
  };
  EXPECT_EQ(del("OTHER"), f::kAck);  // accepted, but not the delete-confirmed reply
  EXPECT_TRUE(fx.ctrl.program(5));
  EXPECT_EQ(del("OLD"), f::kDeleteConfirmed);
  EXPECT_FALSE(fx.ctrl.program(5));
  EXPECT_EQ(del("OLD"), f::kAck);  // nothing left to delete
}

TEST(ControllerDialogue, DeleteOnX00IgnoresTheName) {
  Fixture fx(configFor(200));
  fx.ctrl.setProgram(9, {"", {"G00 X0", "M30"}});
  PtyClient& pc = fx.connect();
  pc.ask(f::kAttention);
  pc.ask(f::kDelete);
  pc.ask(f::slotFrame(9));
  // Our side sends the first line cut to 8 characters as the "name".
  EXPECT_EQ(pc.ask(f::nameFrame("N1 G00 X0")), f::kDeleteConfirmed);
  EXPECT_FALSE(fx.ctrl.program(9));
}

TEST(ControllerDialogue, ParameterSettingsAndRequests) {
  Fixture fx;
  fx.ctrl.setParameter(7, 5);
  PtyClient& pc = fx.connect();
  pc.ask(f::kAttention);
  EXPECT_EQ(pc.ask(f::kParamSend), f::kAck);
  EXPECT_EQ(pc.ask("12=3000\r\n"), f::kAck);
  EXPECT_EQ(pc.ask("7=-15\r\n"), f::kAck);
  EXPECT_EQ(pc.ask(" 20 =0\r\n"), f::kAck);        // blanks around the number text
  EXPECT_EQ(pc.ask("rpm=100\r\n"), f::kNak);       // not a parameter number
  EXPECT_EQ(pc.ask("13=99999999999\r\n"), f::kNak);  // value out of range
  EXPECT_EQ(pc.ask("14=2\r\n"), f::kAck);          // a refusal does not end the dialogue
  EXPECT_EQ(fx.ctrl.parameter(12), 3000);
  EXPECT_EQ(fx.ctrl.parameter(7), -15);
  EXPECT_EQ(fx.ctrl.parameter(14), 2);

  pc.ask(f::kAttention);
  EXPECT_EQ(pc.ask(f::kParamReceive), f::kAck);
  for (const auto& [number, value] : std::vector<std::pair<int, std::string>>{
           {12, "3000\r\n"}, {7, "-15\r\n"}, {2, "8\r\n"}}) {  // 2: never set, factory value
    EXPECT_EQ(pc.ask(std::to_string(number) + "\r\n"), f::kAck);
    EXPECT_EQ(pc.ask(f::kAck), value) << number;
  }
  EXPECT_EQ(pc.ask("-3\r\n"), f::kNak);
  EXPECT_EQ(pc.ask(f::kAck), f::kNak);  // no request pending
}

TEST(ControllerDialogue, IdentificationAnswers) {
  ControllerConfig c = configFor(202);
  c.version = FirmwareVersion::SD;
  Fixture fx(c);
  PtyClient& pc = fx.connect();
  const auto lon = pc.ask(f::kLon);
  ASSERT_TRUE(lon);
  EXPECT_EQ(lon->size(), 3u);
  EXPECT_EQ(pc.ask(f::kModelQuery), "A-202\r\n");
  EXPECT_EQ(pc.ask(f::kVersionQuery), "V1.05SD\r\n");
  EXPECT_EQ(pc.ask(f::kLof), kStxAck);

  ControllerConfig k = configFor(300);
  k.modelAnswer = "K-300\r\n";
  k.versionAnswer = "V1.05S\r\n";
  Fixture other(k);
  PtyClient& pc2 = other.connect();
  EXPECT_EQ(pc2.ask(f::kModelQuery), "K-300\r\n");
  EXPECT_EQ(pc2.ask(f::kVersionQuery), "V1.05S\r\n");
}

TEST(ControllerDialogue, PlcImageWrittenThenReadBack) {
  Fixture fx;
  PtyClient& pc = fx.connect();
  const Lines image = {"0100000000000900F4010000", "ABC"};  // odd digit count allowed
  EXPECT_EQ(pc.ask(f::kLon), kStxAck);
  EXPECT_EQ(pc.ask(f::kSqw), kStxAck);
  EXPECT_EQ(plcRecord(image[0]), "\x02" "0C000100000000000900F4010000F4\x03");
  for (const auto& line : image) pc.send(plcRecord(line));
  pc.send(f::kFe);
  EXPECT_EQ(pc.ask(f::kLof), kStxAck);
  EXPECT_EQ(fx.ctrl.plcImage(), image);

  EXPECT_EQ(pc.ask(f::kLon), kStxAck);
  // The first reply carries ACK ahead of its record; the others are plain records.
  EXPECT_EQ(pc.ask(f::kSqr), "\x06" + plcRecord(image[0]));
  EXPECT_EQ(pc.reply(), plcRecord(image[1]));
  EXPECT_EQ(pc.reply(), f::kFe);
  EXPECT_EQ(pc.ask(f::kLof), kStxAck);
}

TEST(ControllerDialogue, PlcWriteWithBadRecordIsRefusedAtLinkOff) {
  Fixture fx;
  fx.ctrl.setPlcImage({"00"});
  PtyClient& pc = fx.connect();
  pc.ask(f::kLon);
  pc.ask(f::kSqw);
  std::string bad = plcRecord("1234");
  bad[bad.size() - 2] ^= 1;  // spoil the checksum
  pc.send(plcRecord("5678"));
  pc.send(bad);
  pc.send(f::kFe);
  EXPECT_EQ(pc.ask(f::kLof), f::kNak);
  EXPECT_EQ(fx.ctrl.plcImage(), Lines{"00"});
  // Without the end record the image is not taken either.
  pc.ask(f::kLon);
  pc.ask(f::kSqw);
  pc.send(plcRecord("5678"));
  EXPECT_EQ(pc.ask(f::kLof), f::kNak);
  EXPECT_EQ(fx.ctrl.plcImage(), Lines{"00"});
  // Reading and writing need the link on first.
  EXPECT_EQ(pc.ask(f::kSqr), f::kNak);
  EXPECT_EQ(pc.ask(f::kSqw), f::kNak);
}

TEST(ControllerDialogue, PlcReadOptionsAndEmptyImage) {
  ControllerConfig c;
  c.sqrReloading = true;
  Fixture fx(c);
  PtyClient& pc = fx.connect();
  pc.ask(f::kLon);
  EXPECT_EQ(pc.ask(f::kSqr), f::kNak);  // nothing stored
  fx.ctrl.setPlcImage({"1122"});
  pc.ask(f::kLon);
  EXPECT_EQ(pc.ask(f::kSqr), kStxAck);  // the short reloading reply first
  EXPECT_EQ(pc.reply(), "\x06" + plcRecord("1122"));
  EXPECT_EQ(pc.reply(), f::kFe);
}

TEST(ControllerDialogue, AttentionResetsADialogueInProgress) {
  Fixture fx;
  fx.ctrl.setProgram(2, {"TWO", {"G00 X0", "M30"}});
  PtyClient& pc = fx.connect();
  pc.ask(f::kAttention);
  pc.ask(f::kList);
  pc.ask(f::slotFrame(2));
  EXPECT_EQ(pc.ask(f::kAck), "TWO\r\n");
  EXPECT_EQ(pc.ask(f::kAttention), f::kAck);
  EXPECT_EQ(pc.ask(f::kAck), f::kNak);  // the listing is gone
  // Mid-store: the attention frame ends it and the stored lines stay.
  pc.ask(f::kAttention);
  pc.ask(f::kStore);
  pc.ask(f::slotFrame(4));
  pc.ask(f::nameFrame("P4"));
  pc.ask(f::programLineFrame(1, "G91"));
  EXPECT_EQ(pc.ask(f::kAttention), f::kAck);
  EXPECT_EQ(pc.ask(f::programLineFrame(2, "M30")), f::kNak);
  EXPECT_EQ(fx.ctrl.program(4), (Program{"P4", {"G91"}}));
  // And in a PLC write the link is off again.
  pc.ask(f::kLon);
  pc.ask(f::kSqw);
  pc.ask(f::kAttention);
  EXPECT_EQ(pc.ask(f::kSqr), f::kNak);
}

TEST(ControllerDialogue, ByteByByteTransitReadsLikeWholeFrames) {
  Fixture fx(configFor(102));
  PtyClient& pc = fx.connect();
  for (const auto& frame : {f::kAttention, f::kStore, f::slotFrame(6), f::nameFrame("SLOW")}) {
    ASSERT_TRUE(pc.sendSlowly(frame, 2));
    EXPECT_EQ(pc.reply(), f::kAck);
  }
  ASSERT_TRUE(pc.sendSlowly(f::programLineFrame(1, "G00 X1"), 2));
  EXPECT_EQ(pc.reply(), f::kAck);
  ASSERT_TRUE(pc.sendSlowly(f::kLon, 2));
  EXPECT_EQ(pc.reply(), kStxAck);
  EXPECT_EQ(fx.ctrl.program(6), (Program{"SLOW", {"G00 X1"}}));
}

TEST(ControllerDialogue, GarbledFramesCostOneFrameOnly) {
  Fixture fx;
  PtyClient& pc = fx.connect();
  EXPECT_EQ(pc.ask("\x02LO\r\n"), f::kNak);  // lost ETX: the LF ends the frame
  EXPECT_EQ(pc.ask(f::kLon), kStxAck);
  EXPECT_EQ(pc.ask(std::string(5000, 'x') + "\n"), f::kNak);  // overlong
  EXPECT_EQ(pc.ask(f::kAttention), f::kAck);
}

TEST(ControllerDialogue, ClientsMayOpenAndCloseTheDeviceRepeatedly) {
  Fixture fx;
  fx.ctrl.setProgram(1, {"ONE", {"M30"}});
  ASSERT_TRUE(fx.ctrl.start());
  for (int i = 0; i < 5; ++i) {
    PtyClient pc(fx.ctrl.devicePath());
    ASSERT_TRUE(pc.ok());
    ::ioctl(pc.fd(), TIOCEXCL);  // as our serial port does
    EXPECT_EQ(listSlot(pc, 1)[3], "ONE\r\n");
  }
  ASSERT_TRUE(fx.ctrl.waitForTraffic(
      [](const auto& t) { return !t.empty() && t.back().kind == TrafficEntry::Kind::Close; },
      2000));
  EXPECT_EQ(fx.ctrl.clients(), 0);
  int exclusive = 1;
  PtyClient again(fx.ctrl.devicePath());
  ASSERT_EQ(::ioctl(again.fd(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);  // a closed client's exclusive use ends with it
  size_t opens = 0, closes = 0;
  for (const auto& e : fx.ctrl.traffic()) {
    opens += e.kind == TrafficEntry::Kind::Open;
    closes += e.kind == TrafficEntry::Kind::Close;
  }
  EXPECT_GE(opens, 5u);
  EXPECT_EQ(closes, 5u);
}

}  // namespace
}  // namespace zar::controller

namespace zar::controller {
namespace {

// A controller that runs for days keeps only its newest traffic; the
// monitor and the frame count see everything.
TEST(ControllerTraffic, TheRecordKeepsTheNewestEntriesUpToItsLimit) {
  for (const size_t limit : {size_t{10}, size_t{0}}) {
    SCOPED_TRACE(limit);
    ControllerConfig config;
    config.trafficLimit = limit;
    std::atomic<size_t> seen{0};  // counted on the controller's thread
    config.monitor = [&seen](const TrafficEntry&) { ++seen; };
    Fixture fx(std::move(config));
    PtyClient& pc = fx.connect();
    for (int i = 0; i < 30; ++i) ASSERT_EQ(pc.ask(f::kAttention), f::kAck);
    ASSERT_EQ(pc.ask(f::kList), f::kAck);
    EXPECT_TRUE(fx.ctrl.waitForFrames(31, 2000));
    const std::vector<TrafficEntry> kept = fx.ctrl.traffic();
    EXPECT_LE(kept.size(), limit);
    EXPECT_GE(seen, 62u);  // open, 31 frames and their replies
    if (limit > 0) {
      ASSERT_GE(kept.size(), 2u);
      EXPECT_EQ(kept[kept.size() - 2].bytes, f::kList);  // the newest stay
    }
  }
}

}  // namespace
}  // namespace zar::controller
