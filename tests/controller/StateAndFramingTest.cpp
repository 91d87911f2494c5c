// The pieces of the controller that need no terminal: the state file, the
// frame reader, the fault grammar and the PLC records.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "controller/ControllerState.h"
#include "controller/Dialogue.h"
#include "controller/FrameReader.h"
#include "link/Frames.h"
#include "support/WriteFailures.h"

namespace zar::controller {
namespace {

TEST(ControllerStateFile, RoundTripKeepsEveryByte) {
  ControllerState s;
  s.programs[1] = Program{"A B", {"", " leading and trailing ", "back\\slash", "\x01\x7f\xa4\xa4\r",
                               "N5 as text"}};
  s.programs[99] = Program{"", {}};
  s.parameters = {{0, -2147483647 - 1}, {12, 3000}, {2147483647, 7}};
  s.plcImage = {"00FF", "ABC"};
  const std::string text = formatState(s);
  std::string error;
  const auto back = parseState(text, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(*back, s);
  // Plain ASCII, one thing per line.
  for (char c : text) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f));
  EXPECT_NE(text.find("[slot 99]"), std::string::npos);
}

TEST(ControllerStateFile, ParseErrorsNameTheLine) {
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"[slot 00]\n", "line 1"},
      {"[slot 5]\n[slot 05]\n", "line 2"},
      {"# c\n[slot 5]\nname TOOLONGNAME\n", "line 3"},
      {"[parameters]\n12 3000\n", "line 2"},
      {"[parameters]\n12 = 99999999999\n", "line 2"},
      {"[plc]\n| 0a\n", "line 2"},
      {"| before any section\n", "line 1"},
      {"[slot 5]\n| bad \\q escape\n", "line 2"},
      {"[bogus]\n", "line 1"},
  };
  for (const auto& [text, where] : bad) {
    std::string error;
    EXPECT_FALSE(parseState(text, &error)) << text;
    EXPECT_NE(error.find(where), std::string::npos) << text << " -> " << error;
  }
  // CR LF line ends and comments are fine.
  EXPECT_TRUE(parseState("# x\r\n[slot 5]\r\nname A\r\n| G0\r\n", nullptr));
}

TEST(ControllerStateFile, SaveReplacesTheFileWhole) {
  const auto dir = std::filesystem::temp_directory_path() / "zar-state-save";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "m.txt").string();
  ControllerState s;
  s.programs[4] = Program{"X", {"M30"}};
  std::string error;
  ASSERT_TRUE(saveState(s, path, &error)) << error;
  bool exists = false;
  EXPECT_EQ(loadState(path, &exists, &error), s);
  EXPECT_TRUE(exists);
  EXPECT_EQ(zar::test::namesIn(dir), std::set<std::string>{"m.txt"});
  // A save that cannot be written leaves nothing behind and says why.
  EXPECT_FALSE(saveState(s, (dir / "missing" / "m.txt").string(), &error));
  EXPECT_FALSE(error.empty());
  // A missing file is an empty memory, not an error.
  EXPECT_EQ(loadState((dir / "none.txt").string(), &exists, &error), ControllerState{});
  EXPECT_FALSE(exists);

  // A full or failing disk keeps the memory saved before.
  s.programs[5] = Program{"Y", {"G00 X1"}};
  zar::test::expectOldFileSurvivesWriteFailures(path, [&](std::string& why) { return saveState(s, path, &why); });
  EXPECT_EQ(loadState(path, &exists, &error), s);
  std::filesystem::remove_all(dir);
}

TEST(ControllerStateFile, AStatePathThatIsNoFileIsRefusedAtOnce) {
  const auto dir = std::filesystem::temp_directory_path() / ("zar-state-kinds-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "sub");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::string error;
  EXPECT_FALSE(loadState((dir / "fifo").string(), nullptr, &error));  // returns: nothing waits for a writer
  EXPECT_EQ(error, (dir / "fifo").string() + ": Is a FIFO, not a file");
  EXPECT_FALSE(loadState((dir / "sub").string(), nullptr, &error));
  EXPECT_EQ(error, (dir / "sub").string() + ": Is a directory");
  EXPECT_FALSE(saveState(ControllerState{}, (dir / "fifo").string(), &error));
  std::filesystem::remove_all(dir);
}

TEST(ControllerStateFile, SamplesFitTheLinkAndTheNames) {
  for (const auto& [slot, program] : samplePrograms()) {
    EXPECT_LE(program.name.size(), kMaxNameLength);
    for (size_t i = 0; i < program.lines.size(); ++i)  // a listed line must fit one reply
      EXPECT_LE(frames::programLineFrame(int(i) + 1, program.lines[i]).size(), 75u);
  }
  const auto image = samplePlcImage();
  ASSERT_EQ(image.size(), 12u);  // 160 header bytes + 5 instructions, 16 bytes a line
  EXPECT_EQ(image[0].substr(20, 4), "6400");  // preset of timer 5
  EXPECT_EQ(image[10].substr(0, 12), "010000000000");
}

TEST(ControllerFrameReader, CutsLinesAndStxFramesByteByByte) {
  FrameReader reader;
  const std::string stream = std::string("$L\r\n") + "\x02SQW\x03" + "\x06\x07\x01\r\n" +
                             "\x02" "0001FE\x03" + "\x02LO\r\n" + "12=3\x03\r\n";
  std::vector<Frame> frames;
  for (char c : stream)
    if (auto fr = reader.push(c)) frames.push_back(*fr);
  ASSERT_EQ(frames.size(), 6u);
  EXPECT_EQ(frames[0].bytes, "$L\r\n");
  EXPECT_EQ(frames[1].bytes, "\x02SQW\x03");
  EXPECT_TRUE(frames[1].stx);
  EXPECT_EQ(frames[2].bytes, "\x06\x07\x01\r\n");
  EXPECT_TRUE(frames[3].stx);
  EXPECT_EQ(frames[4].bytes, "\x02LO\r\n");  // ETX lost: the LF ends it
  EXPECT_FALSE(frames[4].stx);
  EXPECT_EQ(frames[5].bytes, "12=3\x03\r\n");  // ETX only ends STX frames
  EXPECT_FALSE(reader.midFrame());
}

TEST(ControllerFrameReader, OverlongFramesAreCutAndMarked) {
  FrameReader reader;
  std::optional<Frame> frame;
  for (size_t i = 0; i < FrameReader::kMaxFrame + 10; ++i) EXPECT_FALSE(reader.push('x'));
  frame = reader.push('\n');
  ASSERT_TRUE(frame);
  EXPECT_TRUE(frame->overflow);
  EXPECT_EQ(frame->bytes.size(), FrameReader::kMaxFrame);
  frame = reader.push('\n');
  ASSERT_TRUE(frame);
  EXPECT_FALSE(frame->overflow);
}

TEST(ControllerFaultGrammar, ParsesStepsKindsArgumentsAndCounts) {
  auto f = parseFault("store.line:3:nak");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->step, "store.line:3");
  EXPECT_EQ(f->kind, FaultKind::Nak);
  EXPECT_EQ(f->times, 1);
  f = parseFault("list.name:delay=1500*0");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->step, "list.name");
  EXPECT_EQ(f->delayMs, 1500);
  EXPECT_EQ(f->times, 0);
  f = parseFault("model:reply=\\x02K-300\\x3a\\r\\n*2");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->bytes, "\x02K-300:\r\n");
  EXPECT_EQ(f->times, 2);
  for (const char* bad : {"nak", "list.name", "list.name:explode", "x:0:nak", "x:delay",
                          "x:delay=-1", "x:nak=3", "x:reply=\\x4", "x:nak*y"}) {
    std::string error;
    EXPECT_FALSE(parseFault(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(ControllerFaultGrammar, EscapesRoundTrip) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(unescapeBytes(escapeBytes(all)), all);
  EXPECT_EQ(escapeBytes("$%\r\n\x06"), "$%\\r\\n\\x06");
}

TEST(ControllerPlcRecord, CountAndChecksumFollowTheRecordRules) {
  // 24 digits, 12 bytes: 0x0C + 0x01 + 0x09 + 0xF4 + 0x01 = 0x10B -> F4.
  EXPECT_EQ(plcRecord("0100000000000900F4010000"), "\x02" "0C000100000000000900F4010000F4\x03");
  EXPECT_EQ(plcRecord(std::string(32, '0')), "\x02" "1000" + std::string(32, '0') + "EF\x03");
  // A lone last digit counts its own value: count 2, 2 + 0x12 + 3 = 0x17 -> E8.
  EXPECT_EQ(plcRecord("123"), "\x02" "0200123E8\x03");
}

}  // namespace
}  // namespace zar::controller
