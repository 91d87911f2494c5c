#include "sim/Converter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/RecordingOperator.h"
#include "support/WriteFailures.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace zar::sim {
namespace {

struct Converted {
  std::unique_ptr<BlockList> list = std::make_unique<BlockList>();
  ConversionResult result;
  const BlockRecord& operator[](int i) const { return (*list)[i]; }
  int count() const { return list->count(); }
};

Converted convert(const std::vector<std::string>& lines) {
  Converted c;
  Converter converter(*c.list);
  c.result = converter.ConvertLines(lines);
  return c;
}

int statusOf(const std::string& line) { return convert({line}).result.status; }

TEST(Converter, MotionBlocksAndWordLists) {
  auto c = convert({"G1 X10 Y20 F100"});
  ASSERT_EQ(c.count(), 1);
  EXPECT_EQ(c[0].C, bcG01);
  EXPECT_EQ(c[0].MX, 0x03);
  EXPECT_EQ(c[0].F, 100.0);
  EXPECT_EQ(c[0].X, 10.0);
  EXPECT_EQ(c[0].Y, 20.0);

  // Bare blocks are always code 01, read with the list of the last G0/G1:
  // after G0 an F word is a record of its own.
  c = convert({"G0", "X10 F50", "G1", "X10 F50"});
  ASSERT_EQ(c.count(), 5);
  EXPECT_EQ(c[1].C, bcG01);
  EXPECT_EQ(c[1].MX, mxX);
  EXPECT_EQ(c[1].F, 0.0);
  EXPECT_EQ(c[2].C, bcFeed);
  EXPECT_EQ(c[2].F, 50.0);
  EXPECT_EQ(c[4].C, bcG01);
  EXPECT_EQ(c[4].F, 50.0);

  c = convert({"G2 X10 Y0 R5", "G3 X10 Y0 I5 J0", "G90 G1 X5", "x 1 0"});
  ASSERT_EQ(c.count(), 5);
  EXPECT_EQ(c[0].C, bcG02R);
  EXPECT_EQ(c[0].I, 5.0);
  EXPECT_EQ(c[0].MX, 0x83);
  EXPECT_EQ(c[1].C, bcG03);
  EXPECT_EQ(c[1].MX, 0x33);
  EXPECT_EQ(c[2].C, bcG90);
  EXPECT_EQ(c[3].C, bcG01);
  EXPECT_EQ(c[3].X, 5.0);
  EXPECT_EQ(c[4].X, 10.0);  // blanks inside a word are dropped
  EXPECT_EQ(c[4].N, 3);
  EXPECT_EQ(c[4].B, 3);

  // G numbers read as integers; codes are the decimal digits read as hex.
  c = convert({"G1.5 X1", "G17 G92 X3 U4 G4 X500 G61 A1 R2.5"});
  ASSERT_EQ(c.count(), 5);
  EXPECT_EQ(c[0].C, bcG01);
  EXPECT_EQ(c[1].C, 0x17);
  EXPECT_EQ(c[2].C, bcG92);
  EXPECT_EQ(c[2].MX, mxX | mxU);
  EXPECT_EQ(c[3].C, bcG04);
  EXPECT_EQ(c[3].X, 500.0);
  EXPECT_EQ(c[4].C, 0x61);
  EXPECT_EQ(c[4].X, 2.5);
  EXPECT_EQ(c[4].AS, 'R');
}

TEST(Converter, IndirectValues) {
  auto c = convert({"G1 X=A5 Y = A7.9"});
  ASSERT_TRUE(c.result.ok());
  EXPECT_EQ(c[0].X, 5.0);
  EXPECT_EQ(c[0].Y, 7.0);
  EXPECT_EQ(c[0].MX, mxX | mxY);
  EXPECT_EQ(c[0].AS, mxX | mxY);
  EXPECT_EQ(statusOf("G1 X=5"), csMalformedWord);
  EXPECT_EQ(statusOf("G1 F=A5"), csMalformedWord);
  EXPECT_EQ(statusOf("G1 X"), csMalformedWord);
}

TEST(Converter, CallsJumpsAndLoops) {
  auto c = convert({"M98 N5 L3", "CALL N5", "JMP N2", "LOOP N3 L4", "M97 N1 L0", "call n7 rep 6", "M96 N4 G1 X1"});
  ASSERT_TRUE(c.result.ok()) << c.result.status;
  ASSERT_EQ(c.count(), 8);
  EXPECT_EQ(c[0].C, bcM98);
  EXPECT_EQ(c[0].X, 5.0);
  EXPECT_EQ(c[0].Y, 3.0);
  EXPECT_EQ(c[0].Z, 3.0);
  EXPECT_EQ(c[1].C, bcM98);
  EXPECT_EQ(c[1].Y, 1.0);  // a missing count is one call
  EXPECT_EQ(c[1].Z, 1.0);
  EXPECT_EQ(c[2].C, bcM96);
  EXPECT_EQ(c[2].Y, 0.0);  // a jump keeps a zero count
  EXPECT_EQ(c[3].C, bcM97);
  EXPECT_EQ(c[3].Y, 4.0);
  EXPECT_EQ(c[4].Y, 1.0);  // a zero loop count becomes one
  EXPECT_EQ(c[5].X, 7.0);
  EXPECT_EQ(c[5].Z, 6.0);
  EXPECT_EQ(c[6].C, bcM96);  // the call words end at a word of another kind
  EXPECT_EQ(c[7].C, bcG01);
  EXPECT_EQ(statusOf("CALL N5 RIP3"), csMalformedWord);
  EXPECT_EQ(statusOf("JMP N5X"), csMalformedWord);
}

TEST(Converter, IoWords) {
  auto c = convert({"DOH5", "OFF32", "INH1", "DIL2", "DOH0"});
  ASSERT_TRUE(c.result.ok());
  EXPECT_EQ(c[0].C, bcOutput);
  EXPECT_EQ(c[0].X, 5.0);
  EXPECT_EQ(c[0].Y, 1.0);
  EXPECT_EQ(c[1].C, bcOutput);
  EXPECT_EQ(c[1].Y, 0.0);
  EXPECT_EQ(c[2].C, bcInput);
  EXPECT_EQ(c[2].Y, 1.0);
  EXPECT_EQ(c[3].C, bcInput);
  EXPECT_EQ(c[3].Y, 0.0);
  EXPECT_EQ(c[4].X, 0.0);
  EXPECT_EQ(statusOf("DOH33"), csMalformedWord);
  EXPECT_EQ(statusOf("DXX5"), csUnknownWord);
  EXPECT_EQ(statusOf("D5"), csUnknownWord);
  EXPECT_EQ(statusOf("O1000"), csUnknownWord);
  EXPECT_EQ(statusOf("DOH5X"), csMalformedWord);
  EXPECT_EQ(statusOf("DOHHHHHHHHHHHHHHHHHHHH5"), csMalformedWord);  // more than 18 letters
}

TEST(Converter, HeadersVariablesAndOtherWords) {
  auto c = convert({"%MPF 12", "%spf 3", "A5=2.5", "@7 A1 A2 A3", "S1200 M3", "L5 P3", "F250", "END"});
  ASSERT_TRUE(c.result.ok()) << c.result.status << " line " << c.result.failingLine;
  ASSERT_EQ(c.count(), 9);
  EXPECT_EQ(c[0].C, bcHeaderMPF);
  EXPECT_EQ(c[0].X, 12.0);
  EXPECT_EQ(c[1].C, bcHeaderSPF);
  EXPECT_EQ(c[2].C, bcVariable);
  EXPECT_EQ(c[2].X, 5.0);
  EXPECT_EQ(c[2].Y, 2.5);
  EXPECT_EQ(c[3].C, bcAt);
  EXPECT_EQ(c[3].Y, 1.0);
  EXPECT_EQ(c[3].Z, 2.0);
  EXPECT_EQ(c[3].I, 3.0);
  EXPECT_EQ(c[4].C, bcSpindle);
  EXPECT_EQ(c[4].X, 1200.0);
  EXPECT_EQ(c[5].C, bcM03);
  EXPECT_EQ(c[6].C, bcLWord);
  EXPECT_EQ(c[6].Y, 3.0);
  EXPECT_EQ(c[7].C, bcFeed);
  EXPECT_EQ(c[8].C, bcM02);

  EXPECT_EQ(statusOf("@7 A1 A2 A3 A4"), csMalformedWord);
  EXPECT_EQ(statusOf("%ABC 1"), csUnknownWord);
  EXPECT_EQ(statusOf("%"), csUnknownWord);
  EXPECT_EQ(statusOf("A5 3"), csMalformedWord);
  EXPECT_EQ(statusOf("L5 Q3"), csMalformedWord);
  EXPECT_EQ(statusOf("G5"), csUnknownWord);
  EXPECT_EQ(statusOf("M5"), csUnknownWord);
  EXPECT_EQ(statusOf("M286"), csSuccess);  // compared on the low 8 bits: M30
  EXPECT_EQ(statusOf("G1 X1.2a"), csMalformedWord);
  // Passed over without a record.
  c = convert({"K5 R3 T1 H2 B7 V9 W3 E5", "J5 I5 :123 =4"});
  EXPECT_TRUE(c.result.ok());
  EXPECT_EQ(c.count(), 0);
}

TEST(Converter, CommentsSkipMarksAndSequenceNumbers) {
  auto c = convert({"/ G1 X5", "G1 X6", "M3 ' comment G0 X9", "(note) M4 (more)", "M3 / M4"});
  ASSERT_TRUE(c.result.ok());
  ASSERT_EQ(c.count(), 6);
  EXPECT_EQ(c[0].Skip, 1);
  EXPECT_EQ(c[1].Skip, 0);
  EXPECT_EQ(c[2].C, bcM03);
  EXPECT_EQ(c[3].C, bcM04);
  EXPECT_EQ(c[4].Skip, 0);
  EXPECT_EQ(c[5].Skip, 1);

  EXPECT_EQ(statusOf("G1 X5 ' comment"), csMalformedWord);
  EXPECT_EQ(statusOf("G1 X5 (comment)"), csMalformedWord);
  EXPECT_EQ(statusOf("(no closing"), csUnknownWord);
  EXPECT_EQ(statusOf("N10 G1 X1"), csMalformedWord);
}

TEST(Converter, StopsAtFirstFailingLineKeepingEarlierRecords) {
  auto c = convert({"G1 X1", "M3", "G1 X5 (bad)", "G1 X9"});
  EXPECT_EQ(c.result.status, csMalformedWord);
  EXPECT_EQ(c.result.failingLine, 3);
  EXPECT_EQ(c.count(), 2);
}

TEST(Converter, WordAndKeywordLengthLimits) {
  EXPECT_EQ(statusOf("G1 X" + std::string(125, '1')), csSuccess);  // 126 characters
  EXPECT_EQ(statusOf("G1 X" + std::string(126, '1')), csMalformedWord);
  // Passed-over words are bound too, whatever their letter.
  for (const char* letter : {"T", "K", "C", "J", "I", "E"})
    EXPECT_EQ(statusOf(letter + std::string(200, '9')), csMalformedWord) << letter;
  EXPECT_EQ(statusOf("DOH" + std::string(130, '1')), csMalformedWord);
  // Long lines of short words are fine.
  std::string line;
  for (int i = 0; i < 2000; ++i) line += "M3 ";
  auto c = convert({line});
  EXPECT_TRUE(c.result.ok());
  EXPECT_EQ(c.count(), 2000);
}

TEST(Converter, ListFullAtTheRecordThatMakes5999) {
  std::vector<std::string> lines(2999, "M3 M4");
  lines.push_back("M3 M4 M3");  // the first word here makes record 5999
  auto c = convert(lines);
  EXPECT_EQ(c.result.status, csListFull);
  EXPECT_EQ(c.result.failingLine, 3000);
  EXPECT_EQ(c.count(), BlockList::kFullCount);
  EXPECT_EQ(c[BlockList::kFullCount - 1].C, bcM03);
}

TEST(Converter, PulledLinesAreReadOnlyAsFarAsTheConversionGoes) {
  // An endless program: the full list ends the conversion, and no line is
  // asked for after the one that filled it.
  BlockList list;
  Converter converter(list);
  long pulled = 0;
  const auto result = converter.ConvertLines([&](std::string& line) {
    ++pulled;
    line = "G1 X1";
    return true;
  });
  EXPECT_EQ(result.status, csListFull);
  EXPECT_EQ(pulled, result.failingLine);
  EXPECT_EQ(list.count(), BlockList::kFullCount);
}

TEST(Converter, MotionModeStartsAtOneForEveryConversion) {
  BlockList list;
  Converter converter(list);
  converter.ConvertLines({"G0 X1"});
  EXPECT_EQ(converter.MotionMode, 0);
  converter.ConvertLines({"X1 F5"});
  EXPECT_EQ(list.count(), 1);  // read with the G1 list again
  EXPECT_EQ(list[0].F, 5.0);
}

TEST(Dump, FormatsFailureAndRecords) {
  auto c = convert({"G1 X10.5 Y-2 F100", "G2 X1 Y0 R5", "DXX1"});
  const std::string dump = DumpText(*c.list, c.result);
  EXPECT_EQ(dump,
            "ENO=fd   EL=   3\r\n"
            "N0001 C= 1 AS= 0 MX= 3 X=    10.500 Y=    -2.000 Z=     0.000 I=     0.000 J=     0.000 "
            "F=   100.000 B0001\r\n"
            "N0002 C=82 AS= 0 MX=83 X=     1.000 Y=     0.000 Z=     0.000 I=     5.000 J=     0.000 "
            "F=     0.000 B0002\r\n");

  // A sign without digits reads as plain 0, as the standard conversion
  // gives it; only a written -0 keeps its sign.
  c = convert({"G1 X- Y--5 Z-. F+", "G1 X-0"});
  EXPECT_EQ(DumpText(*c.list, c.result),
            "N0001 C= 1 AS= 0 MX= 7 X=     0.000 Y=     0.000 Z=     0.000 I=     0.000 J=     0.000 "
            "F=     0.000 B0001\r\n"
            "N0002 C= 1 AS= 0 MX= 1 X=    -0.000 Y=     0.000 Z=     0.000 I=     0.000 J=     0.000 "
            "F=     0.000 B0002\r\n");
}

class ConvertProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("zar_sim_convert_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::string lines;
    for (int i = 1; i <= 250; ++i) {
      std::string body = "-";
      if (i == 198) body = "Editor empty";
      if (i == 248) body = "Unrecognised word";
      if (i == 249) body = "Malformed word";
      lines += "M" + std::to_string(i) + " " + body + "\n";
    }
    catalog_.loadText(lines);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string dump() const {
    std::ifstream in(dir_ / kDumpFileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
  MessageCatalog catalog_;
  test::RecordingOperator op_;
};

TEST_F(ConvertProgramTest, EmptyEditorGivesMessage198AndNoDump) {
  MessageLog log(catalog_, op_);
  BlockList list;
  const auto result = ConvertProgram({}, list, log, dir_.string());
  EXPECT_TRUE(result.emptyProgram);
  EXPECT_FALSE(result.ok());
  ASSERT_EQ(op_.log().size(), 1u);
  EXPECT_EQ(op_.log()[0], "Editor empty");
  EXPECT_EQ(op_.beeps, 1);
  EXPECT_FALSE(std::filesystem::exists(dir_ / kDumpFileName));
}

TEST_F(ConvertProgramTest, FailureIsReportedWithItsLineAndDumped) {
  op_.page = Page::Parameter;  // reported on the program page whatever is shown
  MessageLog log(catalog_, op_);
  BlockList list;
  const auto result = ConvertProgram({"G1 X1", "", "N10 G1 X2"}, list, log, dir_.string());
  EXPECT_EQ(result.status, csMalformedWord);
  EXPECT_TRUE(result.dumpWritten);
  ASSERT_EQ(op_.log(Page::Program).size(), 1u);
  EXPECT_EQ(op_.log(Page::Program)[0], "Malformed word  On Line:N0003");
  EXPECT_EQ(op_.beeps, 1);
  EXPECT_EQ(dump().substr(0, 18), "ENO=fe   EL=   3\r\n");
}

TEST_F(ConvertProgramTest, SuccessIsSilentAndDumpsEveryRecord) {
  MessageLog log(catalog_, op_);
  BlockList list;
  const auto result = ConvertProgram({"G1 X1", "M30"}, list, log, dir_.string());
  EXPECT_TRUE(result.ok());
  EXPECT_TRUE(op_.log().empty());
  EXPECT_EQ(op_.beeps, 0);
  EXPECT_EQ(dump(), DumpText(list, result));
  // A dump that cannot be written leaves the conversion result alone.
  const auto again = ConvertProgram({"G1 X1"}, list, log, (dir_ / "missing" / "dir").string());
  EXPECT_TRUE(again.ok());
  EXPECT_FALSE(again.dumpWritten);
  // Nor does a full disk harm the dump written before.
  test::expectOldFileSurvivesWriteFailures(dir_ / kDumpFileName, [&](std::string& why) {
    return WriteDump(dir_.string(), list, ConversionResult{}, &why);
  });
}

}  // namespace
}  // namespace zar::sim
