#pragma once
// The PLC instruction set: mnemonics, opcodes, operand classes, the 8-byte
// instruction record, and the two operations on one instruction: encoding a
// source line into a record (with its checks) and decoding a record back into
// canonical source text.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zar::plc {

// Status codes of encoding and decoding (the PLC page shows message 200 + code).
enum PlcStatus : int {
  psOk = 0,
  psUnknownMnemonic = 2,   // 202
  psKindRefused = 3,       // 203: operand of a kind the instruction does not accept
  psTooManyOperands = 4,   // 204
  psOperandMissing = 5,    // 205
  psBadOperandText = 6,    // 206: unknown prefix or a character that is not a digit
  psOutOfRange = 7,        // 207: value out of range, too many digits, above 65535
  psCannotDecode = 8,      // 208: unknown opcode or stored operand out of range
  psNoMemory = 30,         // 230: the instruction list could not grow
  psCutShort = 31,         // 231: an instruction of an image is cut short
};

// Message identifier of a status code.
constexpr int messageOf(int status) { return 200 + status; }

// Operand kinds, the code kept in `kind` / `kind2`.
enum OperandKind : std::uint8_t {
  okRelay = 0,       // WWBB: word WW, bit BB (00-15)
  okTimer = 1,       // "T"
  okCounter = 2,     // "C"
  okTimerWord = 3,   // "TM"
  okDataMemory = 4,  // "DM"
  okDecimal = 5,     // "#"
  okHex = 6,         // "$"
  okTimerConst = 7,  // "#TM"
  okNoDigits = 8,    // "?": a prefix with no digits after it; never accepted
};

// Operand classes: how many operands an instruction takes and which it accepts.
enum class OperandClass : std::uint8_t {
  None, Contact, Coil, SetReset, Edge, Timer, Counter, ShiftRegister, DataWord,
  Label, Loop, Load, Store, Arithmetic, Logic, Shift, Increment, Atm, DecodeByte, Decode,
};

// One instruction as the controller holds it (8 bytes in memory).
struct PlcInstruction {
  std::uint8_t opcode = 0;
  std::uint8_t spare = 0;
  std::uint8_t kind = 0;    // first operand's kind, or a number/count; SFT: start low byte
  std::uint8_t kind2 = 0;   // CNT: reset input's kind; SFT: start high byte
  std::uint16_t value1 = 0;
  std::uint16_t value2 = 0;

  // SFT keeps its start address across kind (low) and kind2 (high).
  std::uint16_t startAddress() const { return static_cast<std::uint16_t>(kind | (kind2 << 8)); }
  void setStartAddress(std::uint16_t a) {
    kind = static_cast<std::uint8_t>(a & 0xFF);
    kind2 = static_cast<std::uint8_t>(a >> 8);
  }
  bool operator==(const PlcInstruction&) const = default;
};

inline constexpr int kPresetCount = 64;
inline constexpr int kAtmBlockSize = 16;
inline constexpr int kHeaderBlockSize = 32;

// Timer/counter presets by number 0-63; timers and counters of one number share an entry.
using PresetTable = std::array<std::uint16_t, kPresetCount>;

// Operands of the ATM-class instruction encoded last: byte 0 first number,
// 1 second number, 2 kind of the first output, 4-5 its address (low byte
// first), 6 kind of the second output, 8-9 its address; the rest zero.
using AtmBlock = std::array<std::uint8_t, kAtmBlockSize>;

// The 32-byte header block of an image: the ATM block, then 16 bytes that
// only an image read back fills.
struct HeaderBlock {
  AtmBlock atm{};
  std::array<std::uint8_t, 16> tail{};
  bool operator==(const HeaderBlock&) const = default;
};

// One entry of the instruction tables.
struct PlcMnemonic {
  std::string_view name;
  std::uint8_t opcode;
  OperandClass cls;
};

// Lookups in the two tables (binary search; mnemonics match exactly, upper case).
const PlcMnemonic* FindMnemonic(std::string_view name);
const PlcMnemonic* FindOpcode(int opcode);
// Every instruction, in table order (by mnemonic).
const PlcMnemonic* MnemonicTable();
int MnemonicCount();

// Prefix of an operand kind ("", "T", "C", "TM", "DM", "#", "$", "#TM", "?").
std::string_view KindPrefix(int kind);

struct ParsedOperand {
  std::uint8_t kind = okRelay;
  std::uint16_t value = 0;
};

// Parses one operand text into its kind and value. Status 0, 5 (no text),
// 6 (unknown prefix / wrong character) or 7 (too many digits, above 65535).
int ParseOperand(std::string_view text, ParsedOperand& out);

// " " + the kind's prefix + the value zero-padded to the kind's digit count
// (hexadecimal in upper case for "$").
std::string FormatOperand(int kind, std::uint16_t value);

// Encodes one source line (comment already removed) into `out`. On success
// a timer/counter preset goes into `presets` and an ATM-class instruction's
// operands into `atm`; on failure neither is touched and `out` is to be
// discarded. A line of blanks only encodes as NOP.
int EncodeLine(std::string_view line, PlcInstruction& out, PresetTable& presets, AtmBlock& atm);

// Decodes a record into its canonical source text (e.g. "TMR 005 #00100").
// Status 0 or 8.
int DecodeInstruction(const PlcInstruction& ins, const PresetTable& presets, const AtmBlock& atm,
                      std::string& text);

}  // namespace zar::plc
