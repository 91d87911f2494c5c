#include "PlcTestSupport.h"

namespace zar::plc::test {
namespace {

// A header of zeros except preset 5 = 100, as 160 bytes of image text.
std::string header(std::uint16_t preset5 = 0) {
  std::vector<std::uint8_t> bytes(kImageHeaderBytes, 0);
  bytes[10] = static_cast<std::uint8_t>(preset5 & 0xFF);
  bytes[11] = static_cast<std::uint8_t>(preset5 >> 8);
  return PlcImageText(bytes);
}

std::optional<std::uint8_t> byteFrom(const std::string& text) {
  std::istringstream in(text);
  PlcImageReader r(in);
  return ReadPlcByte(r);
}

using PlcDecompilerTest = PlcTest;

TEST(PlcImageReader, ReadsPairsAcrossLineEnds) {
  EXPECT_EQ(byteFrom("aF"), 0xAF);
  EXPECT_EQ(byteFrom("\r\n\nA\r\nF"), 0xAF);
  EXPECT_EQ(byteFrom("A"), std::nullopt);        // odd digit count
  EXPECT_EQ(byteFrom(""), std::nullopt);
  EXPECT_EQ(byteFrom("A\rF"), std::nullopt);     // a lone CR is not a line end
  EXPECT_EQ(byteFrom("G0"), std::nullopt);
  EXPECT_EQ(byteFrom(" 0F"), std::nullopt);
}

TEST_F(PlcDecompilerTest, HeaderOnlyGivesNoLinesAndTheEndMessage) {
  const auto r = decompile(header());
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(editor().empty());
  EXPECT_EQ(plcLog(), std::vector<std::string>{"msg232"});
}

TEST_F(PlcDecompilerTest, DecodesInstructionsWithPresetsFromTheHeader) {
  const auto r = decompile(header(100) + "0100000000000900F4010000\r\n100500000000");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(editor(), (std::vector<std::string>{"LD 0000", "OUT 0500", "TMR 005 #00100"}));
  EXPECT_EQ(ws.presets[5], 100);
}

TEST_F(PlcDecompilerTest, UnknownOpcodeStopsWithItsPosition) {
  op.page = Page::Program;
  const auto r = decompile(header() + "010000000000000000000000" "110000000000" "7E0000000000");
  EXPECT_EQ(r.message, 208);
  EXPECT_EQ(r.instruction, 3);
  EXPECT_EQ(editor(), (std::vector<std::string>{"LD 0000", "NOP"}));
  EXPECT_EQ(plcLog(), std::vector<std::string>{"msg208Command No.=3  "});
}

TEST_F(PlcDecompilerTest, InstructionCutShortGives231) {
  EXPECT_EQ(decompile(header() + "13").message, 231);
  EXPECT_EQ(plcLog().back(), "msg231Command No.=1  ");
  EXPECT_EQ(decompile(header() + "7E0000000000" "1303000C00").message, 0 + 232);  // last byte ignored
  EXPECT_EQ(decompile(header() + "7E0000000000" "1303000C0").message, 231);
  EXPECT_EQ(plcLog().back(), "msg231Command No.=2  ");
  // A dropped byte that is missing does not matter.
  EXPECT_TRUE(decompile(header() + "7E00").ok());
  EXPECT_EQ(editor(), std::vector<std::string>{"END"});
}

TEST_F(PlcDecompilerTest, GarbageInPlaceOfAnOpcodeEndsTheImage) {
  EXPECT_TRUE(decompile(header() + "010000000000" "ZZ totally not hex").ok());
  EXPECT_EQ(editor(), std::vector<std::string>{"LD 0000"});
}

TEST_F(PlcDecompilerTest, IncompleteHeaderLeavesTheWorkspaceAlone) {
  ws.presets[1] = 7;
  ws.header.atm[0] = 9;
  const PlcWorkspace before = ws;
  EXPECT_EQ(decompile(header().substr(0, 100)).message, 173);
  EXPECT_EQ(decompile(header().substr(0, 300)).message, 174);
  EXPECT_EQ(decompile("0G" + header()).message, 173);
  EXPECT_EQ(plcLog(), (std::vector<std::string>{"msg173", "msg174", "msg173"}));
  EXPECT_EQ(ws.presets, before.presets);
  EXPECT_EQ(ws.header, before.header);
}

TEST_F(PlcDecompilerTest, MissingFileGives172) {
  const auto r = DecompilePlcImage((dir / "none.mcn").string(), ws, log);
  EXPECT_EQ(r.message, 172);
  EXPECT_EQ(plcLog(), std::vector<std::string>{"msg172"});
}

// Compiled images read back whole: ATM outputs and the header's second half
// included, and the read header is what the next compilation writes.
TEST_F(PlcDecompilerTest, HeaderRoundTripKeepsTheAtmBlock) {
  const std::vector<std::string> source = {
      "ATMU 02 07 0510 5915", "ATM 02 07 0510 5915", "TMR 005 #00100", "CNT 063 #65535 5915", "END"};
  ASSERT_EQ(compile(source).status, 0);
  const std::string image = readFile(dir / "prog.mcn");

  PlcWorkspace fresh;
  op.editors[Page::Plc].clear();
  ASSERT_TRUE(DecompilePlcImage((dir / "prog.mcn").string(), fresh, log).ok());
  EXPECT_EQ(editor(), source);
  EXPECT_EQ(fresh.presets, ws.presets);
  EXPECT_EQ(fresh.header, ws.header);

  // A header tail that only an image carries is kept and written again.
  std::string withTail = image;
  withTail.replace(9 * 34, 4, "BEEF");
  ws = {};
  ASSERT_TRUE(decompile(withTail).ok());
  EXPECT_EQ(ws.header.tail[0], 0xBE);
  ASSERT_EQ(compile({"ATMU 02 07 0510 5915", "ATM 02 07 0510 5915", "END"}).status, 0);
  EXPECT_EQ(readFile(dir / "prog.mcn").substr(0, 10 * 34), withTail.substr(0, 10 * 34));
}

// A long image streams through in bounded pieces.
TEST_F(PlcDecompilerTest, LargeImagesAndLargeGarbage) {
  std::string body;
  for (int i = 0; i < 200000; ++i) body += "7E0000000000";
  const auto r = decompile(header() + body);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.lines, 200000u);
  EXPECT_EQ(decompile(std::string(5'000'000, 'Q')).message, 173);
  EXPECT_EQ(decompile(header() + std::string(5'000'000, '\n')).message, 232);
}

}  // namespace
}  // namespace zar::plc::test
