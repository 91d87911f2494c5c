// The PLC send and receive against the virtual controller, byte for byte:
// compiled source and image editors go out as records, images come back
// checked, and nothing is touched when a record is damaged.
#include <gtest/gtest.h>

#include "plc/PlcFile.h"
#include "plc/PlcRig.h"
#include "plc/PlcTestSupport.h"

namespace zar::plc {
namespace {

using controller::Fault;
using test::msg;
using V = std::vector<std::string>;
namespace f = zar::frames;

V sourceLines() {
  V lines;
  std::string why;
  EXPECT_TRUE(readPlcFile(std::string(ZAR_TEST_DIR) + "/plc/data/all_classes.pmc", lines, &why)) << why;
  return lines;
}

V imageLines(const std::string& path) {
  V lines;
  std::string why;
  EXPECT_TRUE(readPlcFile(path, lines, &why)) << why;
  return lines;
}

V framesOf(const V& imageLines) {
  V frames = {f::kLon, f::kSqw};
  for (const std::string& line : imageLines)
    if (!line.empty()) frames.push_back(dataRecord(line));
  frames.push_back(f::kFe);
  frames.push_back(f::kLof);
  return frames;
}

TEST(PlcTransfer, SourceIsCompiledBesideItsFileAndStreamedByteForByte) {
  test::Rig rig;
  rig.editor() = sourceLines();
  ASSERT_EQ(rig.send(), DialogueOutcome::Done);
  EXPECT_EQ(rig.transfer.compiled().mode, PlcEditorMode::Source);
  const V image = imageLines(rig.file("prog.mcn"));
  ASSERT_GT(image.size(), 10u);
  EXPECT_EQ(rig.frames(image.size() + 4), framesOf(image));
  EXPECT_EQ(rig.ctrl.plcImage(), image);
  EXPECT_EQ(rig.transfer.recordsSent(), image.size());
  EXPECT_EQ(rig.messages(), (V{rig.opened(), msg(108), msg(108), msg(164), msg(108), msg(106), msg(107)}));
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(PlcTransfer, AnImageEditorIsSentAsItStandsEmptyLinesSkippedAndTraced) {
  LinkSettings settings = test::fastSettings();
  settings.sendTrace = true;
  test::Rig rig({}, settings);
  rig.editor() = {"0100000000000900F4010000", "", std::string(32, '0'), "ABC"};
  ASSERT_EQ(rig.send(), DialogueOutcome::Done);
  EXPECT_EQ(rig.transfer.compiled().mode, PlcEditorMode::Image);
  EXPECT_FALSE(std::filesystem::exists(rig.file("prog.mcn")));
  const V sent = {"0100000000000900F4010000", std::string(32, '0'), "ABC"};
  EXPECT_EQ(rig.frames(7), framesOf(sent));
  EXPECT_EQ(rig.ctrl.plcImage(), sent);
  // Every record is written into the message area before it goes.
  for (const std::string& line : sent) EXPECT_TRUE(rig.has(dataRecord(line))) << line;
  EXPECT_EQ(rig.transfer.recordsToSend(), 4u);
}

TEST(PlcTransfer, NothingIsSentForAnEmptyEditorSourceThatFailsOrAnOverlongImageLine) {
  {
    test::Rig rig;
    EXPECT_EQ(rig.send(), DialogueOutcome::EmptyEditor);
    EXPECT_EQ(rig.messages(), V{msg(161)});
    EXPECT_EQ(rig.op.beeps, 1);
  }
  {
    test::Rig rig;
    rig.editor() = {"LD 0000", "FROB 12"};
    EXPECT_EQ(rig.send(), DialogueOutcome::LineFormat);
    ASSERT_EQ(rig.messages().size(), 1u);
    EXPECT_EQ(rig.messages()[0].substr(0, 2), "#2");  // the compiler's 20x
    EXPECT_TRUE(rig.ctrl.inputFrames().empty());
  }
  {
    test::Rig rig;
    const V before = rig.ctrl.plcImage();
    rig.editor() = {"00", std::string(kMaxRecordDataDigits + 2, 'A')};
    EXPECT_EQ(rig.send(), DialogueOutcome::LineTooLong);
    EXPECT_NE(rig.messages().back().find("Line 2 "), std::string::npos);
    EXPECT_TRUE(rig.ctrl.inputFrames().empty());
  }
}

TEST(PlcTransfer, TheImageReplacesAnImageButNeverTheSourceItIsNamedAfter) {
  test::Rig rig;
  rig.editor() = {"LD 0000", "END"};
  // "Tmp.mcn", the page's path until a file is opened or saved: each send
  // writes the image there again.
  const std::string tmp = rig.file("Tmp.mcn");
  ASSERT_EQ(rig.transfer.PLMTrnBtnClick(tmp, 0), DialogueOutcome::Done);
  ASSERT_EQ(rig.transfer.PLMTrnBtnClick(tmp, 0), DialogueOutcome::Done);
  EXPECT_EQ(rig.transfer.imagePath(), tmp);
  // Source opened from "prog.mcn": compiling would write over it.
  test::writeFile(rig.file("src.mcn"), "LD 0000\r\nEND\r\n");
  rig.ctrl.clearTraffic();
  EXPECT_EQ(rig.transfer.PLMTrnBtnClick(rig.file("src.mcn"), 0), DialogueOutcome::LineFormat);
  EXPECT_EQ(test::readFile(rig.file("src.mcn")), "LD 0000\r\nEND\r\n");
  EXPECT_TRUE(rig.ctrl.inputFrames().empty());
}

TEST(PlcTransfer, ASilentLonIsTriedOnceMore) {
  {
    test::Rig rig;
    rig.ctrl.addFault(Fault::noReply("plc.lon"));
    rig.editor() = {"00"};
    EXPECT_EQ(rig.send(), DialogueOutcome::Done);
    EXPECT_TRUE(rig.has("Try again!"));
    EXPECT_EQ(rig.ctrl.plcImage(), V{"00"});
  }
  {
    test::Rig rig;
    Fault twice = Fault::noReply("plc.lon");
    twice.times = 2;
    rig.ctrl.addFault(twice);
    rig.editor() = {"00"};
    EXPECT_EQ(rig.send(), DialogueOutcome::LinkFailed);
    EXPECT_EQ(rig.frames(2), (V{f::kLon, f::kLon}));
    EXPECT_FALSE(rig.comm.Enabled());
  }
}

TEST(PlcTransfer, ReceiveChecksStoresAndDecompilesIntoTheEditor) {
  test::Rig rig;
  rig.editor() = sourceLines();
  ASSERT_EQ(rig.send(), DialogueOutcome::Done);
  const std::string sentImage = test::readFile(rig.file("prog.mcn"));
  rig.editor() = {"held"};
  rig.messages().clear();
  ASSERT_EQ(rig.receive(), DialogueOutcome::Done);
  EXPECT_TRUE(rig.transfer.decompiled());
  EXPECT_TRUE(rig.transfer.decompileResult().ok());
  const V frames = rig.ctrl.inputFrames();
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(V(frames.end() - 3, frames.end()), (V{f::kLon, f::kSqr, f::kLof}));
  EXPECT_EQ(test::readFile(rig.file("Mcn.tmp")), sentImage);
  EXPECT_EQ(rig.transfer.records(), rig.ctrl.plcImage());
  // Source -> controller -> source: compiled again, the same image.
  const V back = rig.editor();
  test::Rig again;
  again.editor() = back;
  ASSERT_EQ(again.send(), DialogueOutcome::Done);
  EXPECT_EQ(test::readFile(again.file("prog.mcn")), sentImage);
  const V opening = {rig.opened(), msg(108), msg(108), msg(176)};
  EXPECT_EQ(V(rig.messages().begin(), rig.messages().begin() + 4), opening);
  EXPECT_TRUE(rig.has(msg(109)));
  EXPECT_TRUE(rig.has(msg(171)));
}

TEST(PlcTransfer, AShortSqrReplyIsFollowedByASecondWaitAndOneRecordIsOneLine) {
  controller::ControllerConfig config;
  config.sqrReloading = true;
  test::Rig rig(config);
  rig.ctrl.setPlcImage({"0123456789ABCDEF"});
  rig.editor() = {"held"};
  ASSERT_EQ(rig.receive(), DialogueOutcome::Done);
  EXPECT_TRUE(rig.has("Reloading...."));
  EXPECT_EQ(test::readFile(rig.file("Mcn.tmp")), "0123456789ABCDEF\r\n");
  EXPECT_EQ(rig.transfer.records(), V{"0123456789ABCDEF"});
  // Too short to be a program: the decompiler says so, with the file written.
  EXPECT_FALSE(rig.transfer.decompileResult().ok());
}

TEST(PlcTransfer, TheReceiveTraceWritesEachLaterRecordIntoTheMessageArea) {
  LinkSettings settings = test::fastSettings();
  settings.receiveTrace = true;
  test::Rig rig({}, settings);
  rig.ctrl.setPlcImage({"0011", "5566", "AA"});
  ASSERT_EQ(rig.transfer.receiveImage(), DialogueOutcome::Done);
  EXPECT_TRUE(rig.has("5566"));
  EXPECT_TRUE(rig.has("AA"));
  EXPECT_FALSE(rig.has("0011"));  // the first record is taken with SQR's reply
  EXPECT_FALSE(std::filesystem::exists(rig.file("Mcn.tmp")));  // the dialogue alone writes nothing
}

TEST(PlcTransfer, AnImageThatCannotBeWrittenIsAFileFailureAndTheEditorStays) {
  test::Rig rig;
  rig.ctrl.setPlcImage({"0011", "5566"});
  rig.editor() = {"held"};
  EXPECT_EQ(rig.transfer.PLMRcvBtnClick(rig.file("no-such-dir/Mcn.tmp")), DialogueOutcome::FileFailed);
  EXPECT_FALSE(rig.transfer.decompiled());
  EXPECT_EQ(rig.editor(), V{"held"});
}

// A damaged record is named; the editor and the files keep what they held.
struct Damage {
  Fault fault;
  DialogueOutcome outcome;
  std::string named;  // text the last message holds
};

TEST(PlcTransfer, DamagedRecordsStopTheReceiveBeforeAnythingIsTouched) {
  const std::string good = dataRecord("0011223344");
  const std::string s = "\x02", e = "\x03";
  const std::vector<Damage> cases = {
      {Fault::corrupt("plc.record:3"), DialogueOutcome::BadValue, "Record 3 from the controller is damaged: its "},
      {Fault::reply("plc.record:2", s + "0600" + "0011223344" + "D1" + e), DialogueOutcome::BadValue, "byte count"},
      {Fault::reply("plc.record:2", s + "0500" + "0011223344" + "D0" + e), DialogueOutcome::BadValue, "checksum"},
      {Fault::reply("plc.record:2", s + "05000011Z23344D1" + e), DialogueOutcome::BadValue, "hexadecimal"},
      {Fault::reply("plc.record:2", s + "0500001122334" + e), DialogueOutcome::BadValue, "Record 2"},
      {Fault::reply("plc.record:2", std::string(1 << 20, 'A')), DialogueOutcome::LineTooLong, "longer than any"},
      {Fault::noReply("plc.end"), DialogueOutcome::LinkFailed, ""},
      {Fault::garbage("plc.sqr"), DialogueOutcome::BadValue, "Record 1 "},
  };
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.named);
    test::Rig rig;
    rig.ctrl.setPlcImage({"0011223344", "5566", "778899", "AA"});
    rig.ctrl.addFault(c.fault);
    rig.editor() = {"held"};
    test::writeFile(rig.file("Mcn.tmp"), "old\r\n");
    EXPECT_EQ(rig.receive(), c.outcome);
    EXPECT_EQ(rig.editor(), V{"held"});
    EXPECT_EQ(test::readFile(rig.file("Mcn.tmp")), "old\r\n");
    EXPECT_FALSE(rig.transfer.decompiled());
    EXPECT_FALSE(rig.comm.Enabled());
    // The reason, then the port closing.
    const V& log = rig.messages();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back(), msg(107));
    if (!c.named.empty()) {
      EXPECT_NE(log[log.size() - 2].find(c.named), std::string::npos) << log[log.size() - 2];
    }
  }
}

TEST(PlcTransfer, AHundredThousandInstructionsGoAndComeBackIdentical) {
  V source;
  for (int i = 0; i < 100000; ++i) source.push_back(i % 2 ? "OUT 0500" : "LD 0000");
  test::Rig rig;
  rig.editor() = source;
  ASSERT_EQ(rig.send(), DialogueOutcome::Done);
  EXPECT_EQ(rig.transfer.compiled().instructions, 100000u);
  const std::string sent = test::readFile(rig.file("prog.mcn"));
  rig.editor().clear();
  ASSERT_EQ(rig.receive(), DialogueOutcome::Done);
  EXPECT_EQ(test::readFile(rig.file("Mcn.tmp")), sent);
  ASSERT_EQ(rig.editor().size(), 100000u);
  EXPECT_EQ(rig.editor()[99999].substr(0, 3), "OUT");
}

}  // namespace
}  // namespace zar::plc
