#include <gtest/gtest.h>

#include <string>

#include "plc/PlcInstruction.h"

namespace zar::plc {
namespace {

struct Tables {
  PresetTable presets{};
  AtmBlock atm{};
  PlcInstruction ins;
  int encode(const std::string& line) { return EncodeLine(line, ins, presets, atm); }
  std::string roundTrip(const std::string& line) {
    std::string text;
    if (int rc = encode(line)) return "encode error " + std::to_string(rc);
    if (int rc = DecodeInstruction(ins, presets, atm, text)) return "decode error " + std::to_string(rc);
    return text;
  }
};

TEST(PlcTables, BothLookupsAgreeAndAtFormsAreOffsetBy64) {
  ASSERT_EQ(MnemonicCount(), 78);
  const PlcMnemonic* table = MnemonicTable();
  int atForms = 0;
  for (int i = 0; i < MnemonicCount(); ++i) {
    const PlcMnemonic& m = table[i];
    EXPECT_EQ(FindMnemonic(m.name), &m);
    ASSERT_NE(FindOpcode(m.opcode), nullptr) << m.name;
    EXPECT_EQ(FindOpcode(m.opcode)->name, m.name);
    if (m.name[0] == '@') {
      ++atForms;
      const PlcMnemonic* plain = FindMnemonic(m.name.substr(1));
      ASSERT_NE(plain, nullptr) << m.name;
      EXPECT_EQ(m.opcode, plain->opcode + 64) << m.name;
      EXPECT_EQ(m.cls, plain->cls) << m.name;
    }
  }
  EXPECT_EQ(atForms, 19);
  EXPECT_EQ(FindMnemonic("ld"), nullptr);
  EXPECT_EQ(FindMnemonic("LDX"), nullptr);
  EXPECT_EQ(FindOpcode(17), nullptr);
}

TEST(PlcOperand, ParsesEveryKind) {
  struct Case { const char* text; int status; int kind; int value; };
  const Case cases[] = {
      {"0012", 0, okRelay, 12},      {"T005", 0, okTimer, 5},       {"C63", 0, okCounter, 63},
      {"TM05", 0, okTimerWord, 5},   {"DM0499", 0, okDataMemory, 499},
      {"#00100", 0, okDecimal, 100}, {"$1A2F", 0, okHex, 6703},     {"$ff", 0, okHex, 255},
      {"#TM05", 0, okTimerConst, 5}, {"#65535", 0, okDecimal, 65535},
      {"T", 0, okNoDigits, 0},       {"$", 0, okNoDigits, 0},       {"TMX", 0, okNoDigits, 0},
      {"?5", 0, okNoDigits, 5},
      {"", 5, 0, 0},
      {"X012", 6, 0, 0},  {"ABC1", 6, 0, 0}, {"00A1", 6, 0, 0}, {"$12G", 6, 0, 0}, {"$$1", 6, 0, 0},
      {"#65536", 7, 0, 0}, {"123456", 7, 0, 0}, {"$12345", 7, 0, 0},
      {"999999999999999999999999999999", 7, 0, 0},
  };
  for (const Case& c : cases) {
    ParsedOperand op;
    EXPECT_EQ(ParseOperand(c.text, op), c.status) << c.text;
    if (c.status == 0) {
      EXPECT_EQ(op.kind, c.kind) << c.text;
      EXPECT_EQ(op.value, c.value) << c.text;
    }
  }
}

// Each class accepting and refusing, and which check wins when several fail.
TEST(PlcEncode, ChecksAndTheirOrder) {
  struct Case { const char* line; int status; };
  const Case cases[] = {
      {"ld 0012", 2}, {"LD", 5}, {"LD 0012 0013", 4}, {"LD X 0013", 4}, {"END 1", 4},
      // contact: R1-R3, T, C
      {"LD 0016", 7}, {"LD 2915", 0}, {"LD 5915", 0}, {"LD 2916", 7}, {"LD 2999", 7},
      {"LD 6000", 7}, {"LD T063", 0}, {"LD C064", 7}, {"LD DM0001", 3}, {"LD T", 3}, {"LD ?5", 3},
      {"LD X012", 6}, {"LD\t0012", 0}, {"  LD   0012  ", 0},
      // coil and set/reset: R4-R7
      {"OUT 0499", 7}, {"OUT 2009", 0}, {"OUT 2012", 7}, {"OUT T005", 3}, {"OUT 4915", 0},
      {"OUT 5000", 7}, {"KEEP 5915", 0}, {"SET T005", 0}, {"RES 0012", 7},
      // edge and shift register: R8
      {"DIFU 1000", 0}, {"DIFD 0999", 7}, {"DIFU T001", 3}, {"SFT 1000 1915", 0},
      {"SFT 1000 2000", 7}, {"SFT 1000", 5}, {"SFT 1000 1001 1002", 4},
      // store: R4, R6, R7 only; TM to 29
      {"STA 2009", 7}, {"STA #00001", 3}, {"STA 0500", 0}, {"STA TM29", 0}, {"STA TM30", 7},
      {"@STA #TM29", 0},
      // timer and counter: an extra operand first, then each operand in order
      {"TMR 64 #00100", 7}, {"TMR T005 #00100", 3}, {"TMR 005 00100", 3}, {"TMR 005", 5},
      {"TMR T005", 3}, {"TMR 005 #1 X", 4}, {"UDC 063 #65535", 0},
      {"CNT 003 #10 0012", 0}, {"CNT 003 #10 6000", 7}, {"CNT 003 #10 T001", 3},
      {"CNT 003 #10", 5}, {"CNT 1 2 3 4", 4},
      // data word
      {"DW #00100 DM0500", 7}, {"DW TM05 DM0010", 3}, {"DW $FFFF DM499", 0}, {"DW #1 TM01", 3},
      // label, loop
      {"JMP 255", 0}, {"CALL 256", 7}, {"LAB #1", 3}, {"FOR TM29", 0}, {"FOR TM30", 7},
      {"FOR $1", 3},
      // load, arithmetic, logic
      {"LDA $12345", 7}, {"LDA #65536", 7}, {"LDA #123456", 7}, {"LDA TM31", 0},
      {"LDA #TM30", 7}, {"LDA $ffff", 0}, {"LDA C063", 0}, {"CMP 0012", 3}, {"ADD T001", 3},
      {"ANA 0012", 0}, {"@XOA T001", 3},
      // shift, increment
      {"SLA #00", 7}, {"SLA #17", 7}, {"SLA #16", 0}, {"SLA 16", 3}, {"INC DM0499", 0},
      {"@DEC #1", 3},
      // ATM: the second number is checked against the first before the outputs
      {"ATMU 05 03 0500 0501", 7}, {"ATMU 05 03 T005 0501", 7}, {"ATMU 01 99 0500 0501", 0},
      {"ATM 00 05 0500 0501", 7}, {"ATMD 01 05 0500", 5}, {"ATSU 01 05 0500 0501 0502", 4},
      {"ATSD 01 05 0012 0501", 7}, {"ATED 01 05 0500 T001", 3},
      // decode byte, decode
      {"DEMB 0012 #255", 0}, {"DEMB 0012 #256", 7}, {"DEMB 0012", 5}, {"@DEMB 0012 #1 #2", 4},
      {"DEM 0012 #65535", 0}, {"DEM 0500 #1", 0}, {"DEM 0012 $1", 3},
  };
  for (const Case& c : cases) {
    Tables t;
    EXPECT_EQ(t.encode(c.line), c.status) << c.line;
  }
}

TEST(PlcEncode, HostileLinesGiveCleanCodes) {
  Tables t;
  std::string many = "LD";
  for (int i = 0; i < 1000; ++i) many += " 0012";
  EXPECT_EQ(t.encode(many), 4);
  EXPECT_EQ(t.encode("LDA #" + std::string(30, '9')), 7);
  EXPECT_EQ(t.encode(std::string("LD \x01\xff\x80\x7f", 7)), 6);
  EXPECT_EQ(t.encode(std::string("\0\0LD", 4)), 2);
  EXPECT_EQ(t.encode(std::string(100000, 'A')), 2);
  EXPECT_EQ(t.encode("LD " + std::string(100000, '0')), 7);
  EXPECT_EQ(t.encode(" \t \t"), 0);
  EXPECT_EQ(t.ins, PlcInstruction{});  // blanks only: NOP
}

TEST(PlcDecode, CanonicalForms) {
  struct Case { const char* source; const char* canonical; };
  const Case cases[] = {
      {"LD 12", "LD 0012"}, {"LD T5", "LD T005"}, {"AND C7", "AND C007"}, {"OUT 500", "OUT 0500"},
      {"TMR 5 #100", "TMR 005 #00100"}, {"CNT 3 #10 12", "CNT 003 #00010 0012"},
      {"SFT 1000 1015", "SFT 1000 1015"}, {"DW #100 DM10", "DW #00100 DM0010"},
      {"DW $ff DM11", "DW $00FF DM0011"}, {"JMP 12", "JMP 012"}, {"FOR DM3", "FOR DM0003"},
      {"LDA TM5", "LDA TM05"}, {"CMP #TM5", "CMP #TM05"}, {"SLA #4", "SLA #04"},
      {"DEMB 12 #10", "DEMB 0012 #00010"}, {"@DEM 12 #65535", "@DEM 0012 #65535"},
      {"ATMU 1 5 500 501", "ATMU 01 05 0500 0501"}, {"END", "END"}, {"@TBIN", "@TBIN"},
  };
  for (const Case& c : cases) EXPECT_EQ(Tables().roundTrip(c.source), c.canonical) << c.source;
}

TEST(PlcDecode, TimersAndCountersShareThePresetOfTheirNumber) {
  Tables t;
  PlcInstruction timer, counter;
  ASSERT_EQ(EncodeLine("TMR 005 #00100", timer, t.presets, t.atm), 0);
  ASSERT_EQ(EncodeLine("CNT 005 #00007 0012", counter, t.presets, t.atm), 0);
  std::string text;
  ASSERT_EQ(DecodeInstruction(timer, t.presets, t.atm, text), 0);
  EXPECT_EQ(text, "TMR 005 #00007");
  ASSERT_EQ(DecodeInstruction(counter, t.presets, t.atm, text), 0);
  EXPECT_EQ(text, "CNT 005 #00007 0012");
}

TEST(PlcEncode, FailingLineLeavesPresetsAndAtmBlockAlone) {
  Tables t;
  ASSERT_EQ(t.encode("TMR 005 #00100"), 0);
  ASSERT_EQ(t.encode("ATMU 01 05 0500 0501"), 0);
  const PresetTable presets = t.presets;
  const AtmBlock atm = t.atm;
  EXPECT_EQ(t.encode("TMR 005 #00200 X"), 4);
  EXPECT_EQ(t.encode("CNT 005 #00300 T001"), 3);
  EXPECT_EQ(t.encode("ATMU 02 06 0500 0012"), 7);
  EXPECT_EQ(t.presets, presets);
  EXPECT_EQ(t.atm, atm);
  const AtmBlock expected{1, 5, 0, 0, 0xF4, 0x01, 0, 0, 0xF5, 0x01, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(atm, expected);
}

TEST(PlcDecode, StoredOperandsOutOfRangeGive8) {
  PresetTable presets{};
  AtmBlock atm{};
  auto decode = [&](PlcInstruction ins) {
    std::string text;
    return DecodeInstruction(ins, presets, atm, text);
  };
  EXPECT_EQ(decode({17}), 8);                                 // unknown opcode
  EXPECT_EQ(decode({1, 0, okDecimal, 0, 5, 0}), 8);           // LD of a constant
  EXPECT_EQ(decode({1, 0, okRelay, 0, 16, 0}), 8);            // LD 0016
  EXPECT_EQ(decode({16, 0, 64, 0, 0, 0}), 8);                 // TMR 064
  EXPECT_EQ(decode({19, 0, 3, okTimer, 1, 0}), 8);            // CNT reset T001
  EXPECT_EQ(decode({96, 0, okRelay, 0, 1, 10}), 8);           // DW of a relay
  EXPECT_EQ(decode({96, 0, okDecimal, 0, 1, 500}), 8);        // DW ... DM0500
  EXPECT_EQ(decode({177, 0, 0, 0, 0, 0}), 8);                 // SLA #00
  EXPECT_EQ(decode({160, 0, okRelay, 0, 12, 256}), 8);        // DEMB 0012 #00256
  EXPECT_EQ(decode({80}), 8);                                 // ATMU with an empty ATM block
  EXPECT_EQ(decode({0}), 0);
}

}  // namespace
}  // namespace zar::plc
