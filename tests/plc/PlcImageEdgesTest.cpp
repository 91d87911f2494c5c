// Images that end inside an instruction, class by class, and line ends that
// straddle the pieces the image reader takes its input in.

#include "PlcTestSupport.h"

namespace zar::plc::test {
namespace {

// Hex text without its line ends.
std::string digitsOf(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (c != '\r' && c != '\n') digits += c;
  return digits;
}

struct ClassCase {
  const char* source;  // one line of every operand class, in canonical form
  int storedBytes;     // the opcode and the operand bytes the record keeps
};

// The operand bytes a record keeps, by class: the rest of the six bytes may
// be missing at the very end of an image.
const ClassCase kClasses[] = {
    {"NOP", 1},                    {"ANL", 1},
    {"LD 0012", 4},                {"OUT 0500", 4},
    {"SET T005", 4},               {"DIFU 1000", 4},
    {"TMR 005 #00100", 2},         {"UDC 063 #65535", 2},
    {"CNT 003 #00010 0012", 5},    {"SFT 1000 1915", 5},
    {"DW $FFFF DM0499", 6},        {"JMP 012", 2},
    {"FOR DM0003", 4},             {"LDA TM31", 4},
    {"STA 0500", 4},               {"CMP #TM05", 4},
    {"ANA 0012", 4},               {"SLA #04", 2},
    {"INC DM0499", 4},             {"ATMU 01 05 0500 0501", 4},
    {"DEMB 0012 #00010", 6},       {"@DEM 0012 #65535", 6},
};

using PlcImageEdges = PlcTest;

TEST_F(PlcImageEdges, ImagesEndingAfterOrBeforeTheLastStoredOperandOfEveryClass) {
  for (const ClassCase& c : kClasses) {
    SCOPED_TRACE(c.source);
    ASSERT_EQ(compile({c.source, "END"}).status, 0);
    const std::string image = digitsOf(readFile(dir / "prog.mcn"));
    const std::string header = image.substr(0, 2 * kImageHeaderBytes);
    const std::string instruction = image.substr(2 * kImageHeaderBytes, 12);

    // Ending right after the last byte kept: the instruction is whole.
    auto r = decompile(header + instruction.substr(0, 2 * static_cast<size_t>(c.storedBytes)));
    EXPECT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(editor(), std::vector<std::string>{c.source});

    // One kept byte short: cut short, at instruction 1, nothing appended.
    if (c.storedBytes < 2) continue;
    r = decompile(header + instruction.substr(0, 2 * static_cast<size_t>(c.storedBytes - 1)));
    EXPECT_EQ(r.message, 231);
    EXPECT_EQ(r.instruction, 1);
    EXPECT_TRUE(editor().empty());
    EXPECT_EQ(plcLog().back(), "msg231Command No.=1  ");
  }
}

// The reader takes its input in pieces of 64 KiB.
constexpr size_t kPiece = 64 * 1024;

TEST_F(PlcImageEdges, LineEndSplitAcrossTheReadersPiecesIsSkipped) {
  ASSERT_EQ(compile({"END"}).status, 0);
  const std::string header = digitsOf(readFile(dir / "prog.mcn")).substr(0, 2 * kImageHeaderBytes);
  const std::string end = "7E0000000000";

  // Instructions up to the piece boundary, CR as the last character of the
  // first piece and LF as the first of the next, then more instructions.
  for (size_t split : {size_t{0}, size_t{1}, size_t{6}}) {  // between pairs, inside a pair, inside an instruction
    SCOPED_TRACE(split);
    std::string text = header;
    while (text.size() + end.size() + split <= kPiece - 1) text += end;
    const size_t whole = (text.size() - header.size()) / end.size();
    text += std::string(kPiece - 1 - split - text.size(), '\n');  // line ends pad up to the split
    text += end.substr(0, split);
    ASSERT_EQ(text.size(), kPiece - 1);
    text += "\r\n";  // CR the last character of the first piece, LF the first of the next
    text += end.substr(split) + end + end;
    const auto r = decompile(text);
    EXPECT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(editor().size(), whole + 3);
  }
}

TEST_F(PlcImageEdges, CarriageReturnAloneAtTheEndOfAPieceIsNoLineEnd) {
  ASSERT_EQ(compile({"END"}).status, 0);
  const std::string header = digitsOf(readFile(dir / "prog.mcn")).substr(0, 2 * kImageHeaderBytes);
  std::string text = header;
  text += std::string(kPiece - 1 - text.size(), '\n');
  text += "\r7E0000000000";  // CR then a digit in the next piece: not a line end
  const auto r = decompile(text);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(editor().empty());  // the image ends where the CR stands
}

}  // namespace
}  // namespace zar::plc::test
