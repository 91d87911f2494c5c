#include "PlcTestSupport.h"
#include "support/WriteFailures.h"

namespace zar::plc::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kZeroLine = std::string(32, '0') + "\r\n";

std::string hexOf(const std::array<std::uint8_t, 6>& b) {
  return PlcImageText(std::vector<std::uint8_t>(b.begin(), b.end()));
}

std::array<std::uint8_t, 6> bytesOf(const std::string& line) {
  PresetTable presets{};
  AtmBlock atm{};
  PlcInstruction ins;
  EXPECT_EQ(EncodeLine(line, ins, presets, atm), 0) << line;
  return InstructionBytes(ins);
}

using PlcCompilerTest = PlcTest;

TEST_F(PlcCompilerTest, TwoInstructionImageIsHeaderLinesThenOneShortLine) {
  const auto r = compile({"LD 0000", "OUT 0500"});
  ASSERT_EQ(r.status, 0);
  ASSERT_TRUE(r.imageWritten);
  std::string expected;
  for (int i = 0; i < 10; ++i) expected += kZeroLine;
  expected += "0100000000000900F4010000";
  EXPECT_EQ(readFile(dir / "prog.mcn"), expected);
}

TEST_F(PlcCompilerTest, TimerSetsItsPresetInTheHeader) {
  ASSERT_EQ(compile({"TMR 005 #00100"}).status, 0);
  const std::string image = readFile(dir / "prog.mcn");
  EXPECT_EQ(image.substr(0, 34), "00000000000000000000640000000000\r\n");
  EXPECT_EQ(image.substr(10 * 34), "100500000000");
}

TEST(PlcImageBytes, LayoutByClass) {
  EXPECT_EQ(hexOf(bytesOf("LD 0012")), "01000C000000");
  EXPECT_EQ(hexOf(bytesOf("NOP")), "000000000000");
  EXPECT_EQ(hexOf(bytesOf("JMP 200")), "71C800000000");
  EXPECT_EQ(hexOf(bytesOf("SRA #16")), "B01000000000");
  EXPECT_EQ(hexOf(bytesOf("CNT 003 #10 0012")), "1303000C0000");
  EXPECT_EQ(hexOf(bytesOf("SFT 1000 1015")), "15E803F70300");
  EXPECT_EQ(hexOf(bytesOf("DW $ABCD DM0010")), "6006CDAB0A00");
  EXPECT_EQ(hexOf(bytesOf("@DEM 0012 #65535")), "E1000C00FFFF");
  EXPECT_EQ(hexOf(bytesOf("LDA #TM05")), "800705000000");
  EXPECT_EQ(hexOf(bytesOf("ATMU 01 05 0500 0501")), "500000000000");
  EXPECT_EQ(hexOf(bytesOf("ATM 01 05 0500 0501")), "560000000000");
}

TEST(PlcImageFileName, ReplacesTheExtensionOfTheFileNameOnly) {
  EXPECT_EQ(PlcImageFileName("Tmp.mcn"), "Tmp.mcn");
  EXPECT_EQ(PlcImageFileName("/home/op/prog.pmc"), "/home/op/prog.mcn");
  EXPECT_EQ(PlcImageFileName("prog.v2.plm"), "prog.v2.mcn");
  EXPECT_EQ(PlcImageFileName("prog"), "prog.mcn");
  EXPECT_EQ(PlcImageFileName("/home/op/my.dir/prog"), "/home/op/my.dir/prog.mcn");
}

TEST(PlcEditorMode, UpperCaseHexOnlyIsAnImage) {
  EXPECT_EQ(DecidePlcEditorMode(Lines{}), PlcEditorMode::Empty);
  EXPECT_EQ(DecidePlcEditorMode(Lines{"0100000000000900F4010000", "", "ABCDEF"}), PlcEditorMode::Image);
  EXPECT_EQ(DecidePlcEditorMode(Lines{"", ""}), PlcEditorMode::Image);
  EXPECT_EQ(DecidePlcEditorMode(Lines{"0100", "00a0"}), PlcEditorMode::Source);
  EXPECT_EQ(DecidePlcEditorMode(Lines{"0100 "}), PlcEditorMode::Source);
}

TEST_F(PlcCompilerTest, ImageTextIsNotCompiledAndALowerCaseDigitMakesSource) {
  auto r = compile({"0100000000000900F4010000"});
  EXPECT_EQ(r.mode, PlcEditorMode::Image);
  EXPECT_FALSE(std::filesystem::exists(dir / "prog.mcn"));
  EXPECT_TRUE(plcLog().empty());

  r = compile({"0100000000000900f4010000"});
  EXPECT_EQ(r.mode, PlcEditorMode::Source);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(plcLog(), std::vector<std::string>{"msg202"});
}

TEST_F(PlcCompilerTest, CommentsAreCutAndBlankLinesBecomeNop) {
  const auto r = compile({"; heading", "", "   ; blanks then a comment", "LD 0012;no blank before",
                          "END\r"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.instructions, 3u);
  EXPECT_EQ(readFile(dir / "prog.mcn").substr(10 * 34), "00000000000001000C0000007E000000\r\n0000");
}

TEST_F(PlcCompilerTest, FirstFailingLineStopsWithItsMessageOnThePlcPage) {
  op.page = Page::Program;  // the message goes to the PLC page whatever page is shown
  const auto r = compile({"LD 0000", "OUT 0499", "LDX 1", "END"});
  EXPECT_EQ(r.status, 7);
  EXPECT_EQ(r.line, 2);
  EXPECT_FALSE(r.imageWritten);
  EXPECT_FALSE(std::filesystem::exists(dir / "prog.mcn"));
  EXPECT_EQ(plcLog(), std::vector<std::string>{"msg207"});
  EXPECT_TRUE(op.messages[Page::Program].empty());
}

TEST_F(PlcCompilerTest, PresetsSurviveBetweenCompilations) {
  ASSERT_EQ(compile({"TMR 005 #00100", "ATMU 01 05 0500 0501"}).status, 0);
  ASSERT_EQ(compile({"TMR 006 #00200", "ATMU"}).status, 5);
  ASSERT_EQ(compile({"LD 0000"}).status, 0);
  const std::string image = readFile(dir / "prog.mcn");
  EXPECT_EQ(image.substr(20, 8), "6400C800");  // presets 5 and 6 both kept
  EXPECT_EQ(image.substr(8 * 34, 20), "01050000F40100" "00F501");
}

TEST_F(PlcCompilerTest, UnwritableImageIsReportedToTheCaller) {
  const auto r = CompilePlcProgram(Lines{"LD 0000"}, ws, (dir / "missing" / "x.mcn").string(), log);
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(r.imageWritten);
  EXPECT_EQ(r.imageError, "No such file or directory");

  // An image already there survives a full or failing disk whole.
  ASSERT_TRUE(compile({"LD 0000", "OUT 0500"}).imageWritten);
  zar::test::expectOldFileSurvivesWriteFailures(dir / "prog.mcn", [&](std::string& why) {
    const auto again = compile({"LD 0001"});
    why = again.imageError;
    return again.imageWritten;
  });
}

}  // namespace
}  // namespace zar::plc::test
