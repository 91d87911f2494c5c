#include "plc/PlcInstruction.h"

#include <algorithm>

namespace zar::plc {

namespace {

using C = OperandClass;

// Every mnemonic with its opcode and class, in any order; sorted below.
constexpr PlcMnemonic kInstructions[] = {
    {"NOP", 0, C::None},         {"LD", 1, C::Contact},      {"LDB", 2, C::Contact},
    {"AND", 3, C::Contact},      {"ANB", 4, C::Contact},     {"OR", 5, C::Contact},
    {"ORB", 6, C::Contact},      {"ANL", 7, C::None},        {"ORL", 8, C::None},
    {"OUT", 9, C::Coil},         {"OUB", 10, C::Coil},       {"SET", 11, C::SetReset},
    {"RES", 12, C::SetReset},    {"KEEP", 13, C::Coil},      {"DIFU", 14, C::Edge},
    {"DIFD", 15, C::Edge},       {"TMR", 16, C::Timer},      {"CNT", 19, C::Counter},
    {"UDC", 20, C::Timer},       {"SFT", 21, C::ShiftRegister},
    {"SPS", 29, C::None},        {"SRD", 30, C::None},       {"SPP", 31, C::None},
    {"ATMU", 80, C::Atm},        {"ATMD", 81, C::Atm},       {"ATEU", 82, C::Atm},
    {"ATED", 83, C::Atm},        {"ATSU", 84, C::Atm},       {"ATSD", 85, C::Atm},
    {"ATM", 86, C::Atm},         {"DW", 96, C::DataWord},
    {"LAB", 112, C::Label},      {"JMP", 113, C::Label},     {"CALL", 114, C::Label},
    {"RET", 116, C::None},       {"FOR", 117, C::Loop},      {"NEXT", 118, C::None},
    {"ENDH", 125, C::None},      {"END", 126, C::None},      {"ENDP", 127, C::None},
    {"LDA", 128, C::Load},       {"STA", 129, C::Store},     {"CMP", 130, C::Arithmetic},
    {"ADD", 131, C::Arithmetic}, {"SUB", 132, C::Arithmetic},
    {"ANA", 135, C::Logic},      {"ORA", 136, C::Logic},     {"XOA", 137, C::Logic},
    {"DEMB", 160, C::DecodeByte}, {"DEM", 161, C::Decode},
    {"SRA", 176, C::Shift},      {"SLA", 177, C::Shift},     {"RRA", 178, C::Shift},
    {"RLA", 179, C::Shift},      {"CPL", 180, C::None},      {"INC", 181, C::Increment},
    {"DEC", 182, C::Increment},  {"TBCD", 183, C::None},     {"TBIN", 184, C::None},
    // The "@" forms: the plain opcode + 64, same class.
    {"@LDA", 192, C::Load},      {"@STA", 193, C::Store},    {"@CMP", 194, C::Arithmetic},
    {"@ADD", 195, C::Arithmetic}, {"@SUB", 196, C::Arithmetic},
    {"@ANA", 199, C::Logic},     {"@ORA", 200, C::Logic},    {"@XOA", 201, C::Logic},
    {"@DEMB", 224, C::DecodeByte}, {"@DEM", 225, C::Decode},
    {"@SRA", 240, C::Shift},     {"@SLA", 241, C::Shift},    {"@RRA", 242, C::Shift},
    {"@RLA", 243, C::Shift},     {"@CPL", 244, C::None},     {"@INC", 245, C::Increment},
    {"@DEC", 246, C::Increment}, {"@TBCD", 247, C::None},    {"@TBIN", 248, C::None},
};
constexpr size_t kCount = std::size(kInstructions);
static_assert(kCount == 78);

using Table = std::array<PlcMnemonic, kCount>;

template <typename Less>
constexpr Table sortedBy(Less less) {
  Table t{};
  std::copy(std::begin(kInstructions), std::end(kInstructions), t.begin());
  std::sort(t.begin(), t.end(), less);
  return t;
}

constexpr auto byName = [](const PlcMnemonic& a, const PlcMnemonic& b) { return a.name < b.name; };
constexpr auto byOpcode = [](const PlcMnemonic& a, const PlcMnemonic& b) { return a.opcode < b.opcode; };

constexpr Table kByName = sortedBy(byName);
constexpr Table kByOpcode = sortedBy(byOpcode);

constexpr std::string_view kPrefixes[] = {"", "T", "C", "TM", "DM", "#", "$", "#TM", "?"};
constexpr int kDigits[] = {4, 3, 3, 2, 4, 5, 4, 2, 0};

// ---- Ranges.

struct Span {
  std::uint16_t lo, hi;
};

// Relay address areas; an address WWBB is valid only with bit BB 00-15.
constexpr Span R1{0, 2915}, R2{3000, 4915}, R3{5000, 5915}, R4{500, 1915},
    R5{2009, 2011}, R6{4000, 4915}, R7{5500, 5915}, R8{1000, 1915};

struct RelaySet {
  Span spans[4];
  int count;
  bool contains(std::uint16_t v) const {
    if (v % 100 > 15) return false;
    for (int i = 0; i < count; ++i)
      if (v >= spans[i].lo && v <= spans[i].hi) return true;
    return false;
  }
};

constexpr RelaySet kInputs{{R1, R2, R3}, 3};         // contacts, reset inputs, logic
constexpr RelaySet kOutputs{{R4, R5, R6, R7}, 4};    // coils, set/reset, ATM outputs
constexpr RelaySet kStores{{R4, R6, R7}, 3};         // STA
constexpr RelaySet kInternal{{R8}, 1};               // edges, shift register

constexpr int kNo = -1;

// What one operand position accepts: per kind the largest value (kNo:
// the kind is refused), relays by area, "#" constants by span.
struct Accept {
  const RelaySet* relays = nullptr;
  int timer = kNo;       // T
  int counter = kNo;     // C
  int timerWord = kNo;   // TM
  int dataMemory = kNo;  // DM
  Span decimal{1, 0};    // "#": refused while lo > hi
  bool hex = false;      // "$" (any value)
  int timerConst = kNo;  // #TM
  // A bare number (timer/counter/label number): kind 0 within the span, no bit rule.
  bool number = false;
  Span numberSpan{0, 0};
};

constexpr Span kAnyValue{0, 65535};

// 0 when accepted, 3 for a kind not accepted, 7 for a value out of range.
int check(const Accept& a, std::uint8_t kind, std::uint16_t value) {
  auto upTo = [&](int max) { return max == kNo ? psKindRefused : (value <= max ? psOk : psOutOfRange); };
  switch (kind) {
    case okRelay:
      if (a.number) return value >= a.numberSpan.lo && value <= a.numberSpan.hi ? psOk : psOutOfRange;
      if (!a.relays) return psKindRefused;
      return a.relays->contains(value) ? psOk : psOutOfRange;
    case okTimer: return upTo(a.timer);
    case okCounter: return upTo(a.counter);
    case okTimerWord: return upTo(a.timerWord);
    case okDataMemory: return upTo(a.dataMemory);
    case okDecimal:
      if (a.decimal.lo > a.decimal.hi) return psKindRefused;
      return value >= a.decimal.lo && value <= a.decimal.hi ? psOk : psOutOfRange;
    case okHex: return a.hex ? psOk : psKindRefused;
    case okTimerConst: return upTo(a.timerConst);
    default: return psKindRefused;  // "?" and anything else
  }
}

constexpr Accept number(std::uint16_t lo, std::uint16_t hi) {
  Accept a;
  a.number = true;
  a.numberSpan = {lo, hi};
  return a;
}
constexpr Accept relays(const RelaySet& set, int timers = kNo) {
  Accept a;
  a.relays = &set;
  a.timer = timers;
  a.counter = timers;
  return a;
}
constexpr Accept decimal(Span span) {
  Accept a;
  a.decimal = span;
  return a;
}

constexpr Accept kContact = relays(kInputs, 63);
constexpr Accept kCoil = relays(kOutputs);
constexpr Accept kSetReset = relays(kOutputs, 63);
constexpr Accept kEdge = relays(kInternal);
constexpr Accept kInputRelay = relays(kInputs);
constexpr Accept kTimerNumber = number(0, 63);
constexpr Accept kLabelNumber = number(0, 255);
constexpr Accept kAtmNumber = number(1, 99);
constexpr Accept kPreset = decimal(kAnyValue);
constexpr Accept kShiftCount = decimal({1, 16});
constexpr Accept kByteConstant = decimal({0, 255});

constexpr Accept kDwConstant = [] {
  Accept a = decimal(kAnyValue);
  a.hex = true;
  return a;
}();
constexpr Accept kDmOnly = [] {
  Accept a;
  a.dataMemory = 499;
  return a;
}();
constexpr Accept kLoop = [] {
  Accept a = decimal(kAnyValue);
  a.timerWord = 29;
  a.dataMemory = 499;
  return a;
}();
constexpr Accept kArithmetic = [] {
  Accept a = decimal(kAnyValue);
  a.hex = true;
  a.timerWord = 31;
  a.dataMemory = 499;
  a.timerConst = 29;
  return a;
}();
constexpr Accept kLogic = [] {
  Accept a = kArithmetic;
  a.relays = &kInputs;
  return a;
}();
constexpr Accept kLoad = [] {
  Accept a = kLogic;
  a.timer = 63;
  a.counter = 63;
  return a;
}();
constexpr Accept kStore = [] {
  Accept a = relays(kStores, 63);
  a.timerWord = 29;
  a.dataMemory = 499;
  a.timerConst = 29;
  return a;
}();
constexpr Accept kIncrement = [] {
  Accept a;
  a.timerWord = 29;
  a.dataMemory = 499;
  return a;
}();

// How a class counts its operands before parsing them.
enum class CountOrder {
  MissingFirst,  // a missing last operand (5) is reported before an extra one (4)
  ExtraFirst,    // an extra operand (4) first; a missing one is found while parsing (5)
};

struct ClassSpec {
  int operands;
  CountOrder order;
  Accept accept[4];
};

const ClassSpec& specOf(OperandClass cls) {
  static const ClassSpec kNone{0, CountOrder::MissingFirst, {}};
  static const ClassSpec kOne[] = {
      {1, CountOrder::MissingFirst, {kContact}},     {1, CountOrder::MissingFirst, {kCoil}},
      {1, CountOrder::MissingFirst, {kSetReset}},    {1, CountOrder::MissingFirst, {kEdge}},
      {1, CountOrder::MissingFirst, {kLabelNumber}}, {1, CountOrder::MissingFirst, {kLoop}},
      {1, CountOrder::MissingFirst, {kLoad}},        {1, CountOrder::MissingFirst, {kStore}},
      {1, CountOrder::MissingFirst, {kArithmetic}},  {1, CountOrder::MissingFirst, {kLogic}},
      {1, CountOrder::MissingFirst, {kShiftCount}},  {1, CountOrder::MissingFirst, {kIncrement}},
  };
  static const ClassSpec kTimer{2, CountOrder::ExtraFirst, {kTimerNumber, kPreset}};
  static const ClassSpec kCounter{3, CountOrder::ExtraFirst, {kTimerNumber, kPreset, kInputRelay}};
  static const ClassSpec kShiftRegister{2, CountOrder::ExtraFirst, {kEdge, kEdge}};
  static const ClassSpec kDataWord{2, CountOrder::ExtraFirst, {kDwConstant, kDmOnly}};
  static const ClassSpec kAtm{4, CountOrder::MissingFirst, {kAtmNumber, kAtmNumber, kCoil, kCoil}};
  static const ClassSpec kDecodeByte{2, CountOrder::MissingFirst, {kInputRelay, kByteConstant}};
  static const ClassSpec kDecode{2, CountOrder::MissingFirst, {kInputRelay, kPreset}};
  switch (cls) {
    case C::None: return kNone;
    case C::Contact: return kOne[0];
    case C::Coil: return kOne[1];
    case C::SetReset: return kOne[2];
    case C::Edge: return kOne[3];
    case C::Label: return kOne[4];
    case C::Loop: return kOne[5];
    case C::Load: return kOne[6];
    case C::Store: return kOne[7];
    case C::Arithmetic: return kOne[8];
    case C::Logic: return kOne[9];
    case C::Shift: return kOne[10];
    case C::Increment: return kOne[11];
    case C::Timer: return kTimer;
    case C::Counter: return kCounter;
    case C::ShiftRegister: return kShiftRegister;
    case C::DataWord: return kDataWord;
    case C::Atm: return kAtm;
    case C::DecodeByte: return kDecodeByte;
    case C::Decode: return kDecode;
  }
  return kNone;
}

constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }
constexpr bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }
constexpr int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr int kMaxTokens = 20;

std::uint16_t word(std::uint8_t lo, std::uint8_t hi) { return static_cast<std::uint16_t>(lo | (hi << 8)); }

// Appends `value` with at least `width` digits (base 10 or 16, upper case).
void appendDigits(std::string& out, unsigned value, int width, unsigned base = 10) {
  char buf[8];
  int n = 0;
  do {
    buf[n++] = "0123456789ABCDEF"[value % base];
    value /= base;
  } while (value != 0 && n < 8);
  for (int i = n; i < width; ++i) out += '0';
  while (n > 0) out += buf[--n];
}

// A bare number (timer, counter or label number; ATM numbers): blank and digits.
void appendNumber(std::string& out, unsigned value, int width) {
  out += ' ';
  appendDigits(out, value, width);
}

}  // namespace

const PlcMnemonic* MnemonicTable() { return kByName.data(); }
int MnemonicCount() { return static_cast<int>(kCount); }

const PlcMnemonic* FindMnemonic(std::string_view name) {
  const PlcMnemonic key{name, 0, C::None};
  auto it = std::lower_bound(kByName.begin(), kByName.end(), key, byName);
  return it != kByName.end() && it->name == name ? &*it : nullptr;
}

const PlcMnemonic* FindOpcode(int opcode) {
  if (opcode < 0 || opcode > 255) return nullptr;
  const PlcMnemonic key{{}, static_cast<std::uint8_t>(opcode), C::None};
  auto it = std::lower_bound(kByOpcode.begin(), kByOpcode.end(), key, byOpcode);
  return it != kByOpcode.end() && it->opcode == opcode ? &*it : nullptr;
}

std::string_view KindPrefix(int kind) {
  return kind >= 0 && kind <= okNoDigits ? kPrefixes[kind] : kPrefixes[okNoDigits];
}

int ParseOperand(std::string_view text, ParsedOperand& out) {
  out = {};
  if (text.empty()) return psOperandMissing;

  // The prefix: up to three characters that are not decimal digits, ending
  // right after a "$". A text that ends before any digit is the "?" kind.
  size_t i = 0;
  while (i < text.size() && i < 3 && !isDecimalDigit(text[i])) {
    if (text[i++] == '$') break;
  }
  if (i == text.size()) {
    out.kind = okNoDigits;
    return psOk;
  }
  const std::string_view prefix = text.substr(0, i);
  int kind = -1;
  for (int k = 0; k <= okNoDigits; ++k)  // "?" with digits is still the "?" kind
    if (kPrefixes[k] == prefix) kind = k;
  if (kind < 0) return psBadOperandText;

  const bool hex = kind == okHex;
  const int maxDigits = hex ? 4 : 5;
  std::uint32_t value = 0;
  int digits = 0;
  for (char c : text.substr(i)) {
    const int d = hex ? hexValue(c) : (isDecimalDigit(c) ? c - '0' : -1);
    if (d < 0) return psBadOperandText;
    if (++digits > maxDigits) return psOutOfRange;
    value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
  }
  if (value > 65535) return psOutOfRange;
  out.kind = static_cast<std::uint8_t>(kind);
  out.value = static_cast<std::uint16_t>(value);
  return psOk;
}

namespace {

void appendOperand(std::string& out, int kind, std::uint16_t value) {
  out += ' ';
  if (kind < 0 || kind >= okNoDigits) {
    out += '?';
    return;
  }
  out += kPrefixes[kind];
  appendDigits(out, value, kDigits[kind], kind == okHex ? 16 : 10);
}

}  // namespace

std::string FormatOperand(int kind, std::uint16_t value) {
  std::string out;
  appendOperand(out, kind, value);
  return out;
}

int EncodeLine(std::string_view line, PlcInstruction& out, PresetTable& presets, AtmBlock& atm) {
  out = {};
  std::string_view tokens[kMaxTokens];
  int count = 0;
  size_t pos = 0;
  while (count < kMaxTokens) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos == line.size()) break;
    const size_t start = pos;
    while (pos < line.size() && !isBlank(line[pos])) ++pos;
    tokens[count++] = line.substr(start, pos - start);
  }
  if (count == 0) return psOk;  // NOP

  const PlcMnemonic* m = FindMnemonic(tokens[0]);
  if (!m) return psUnknownMnemonic;
  out.opcode = m->opcode;

  const ClassSpec& spec = specOf(m->cls);
  const int given = count - 1;
  if (spec.order == CountOrder::MissingFirst) {
    if (given < spec.operands) return psOperandMissing;
    if (given > spec.operands) return psTooManyOperands;
  } else if (given > spec.operands) {
    return psTooManyOperands;
  }

  ParsedOperand op[4];
  for (int i = 0; i < spec.operands; ++i) {
    if (int rc = ParseOperand(i < given ? tokens[i + 1] : std::string_view{}, op[i])) return rc;
    if (int rc = check(spec.accept[i], op[i].kind, op[i].value)) return rc;
    // ATM: the second number may not be smaller than the first.
    if (m->cls == C::Atm && i == 1 && op[1].value < op[0].value) return psOutOfRange;
  }

  switch (m->cls) {
    case C::None: break;
    case C::Timer:
      out.kind = static_cast<std::uint8_t>(op[0].value);
      presets[op[0].value] = op[1].value;
      break;
    case C::Counter:
      out.kind = static_cast<std::uint8_t>(op[0].value);
      out.kind2 = op[2].kind;
      out.value1 = op[2].value;
      presets[op[0].value] = op[1].value;
      break;
    case C::ShiftRegister:
      out.setStartAddress(op[0].value);
      out.value1 = op[1].value;
      break;
    case C::DataWord:
    case C::DecodeByte:
    case C::Decode:
      out.kind = op[0].kind;
      out.value1 = op[0].value;
      out.value2 = op[1].value;
      break;
    case C::Label:
    case C::Shift:
      out.kind = static_cast<std::uint8_t>(op[0].value);
      break;
    case C::Atm:
      atm = {};
      atm[0] = static_cast<std::uint8_t>(op[0].value);
      atm[1] = static_cast<std::uint8_t>(op[1].value);
      atm[2] = op[2].kind;
      atm[4] = static_cast<std::uint8_t>(op[2].value & 0xFF);
      atm[5] = static_cast<std::uint8_t>(op[2].value >> 8);
      atm[6] = op[3].kind;
      atm[8] = static_cast<std::uint8_t>(op[3].value & 0xFF);
      atm[9] = static_cast<std::uint8_t>(op[3].value >> 8);
      break;
    default:  // one operand: its kind and value
      out.kind = op[0].kind;
      out.value1 = op[0].value;
      break;
  }
  return psOk;
}

int DecodeInstruction(const PlcInstruction& ins, const PresetTable& presets, const AtmBlock& atm,
                      std::string& text) {
  text.clear();
  const PlcMnemonic* m = FindOpcode(ins.opcode);
  if (!m) return psCannotDecode;
  const ClassSpec& spec = specOf(m->cls);
  auto ok = [&](int i, std::uint8_t kind, std::uint16_t value) {
    return check(spec.accept[i], kind, value) == psOk;
  };

  // Operands are checked before anything is written.
  switch (m->cls) {
    case C::None:
    case C::Label:
      break;
    case C::Timer:
      if (!ok(0, okRelay, ins.kind)) return psCannotDecode;
      break;
    case C::Counter:
      if (!ok(0, okRelay, ins.kind) || !ok(2, ins.kind2, ins.value1)) return psCannotDecode;
      break;
    case C::ShiftRegister:
      if (!ok(0, okRelay, ins.startAddress()) || !ok(1, okRelay, ins.value1)) return psCannotDecode;
      break;
    case C::DataWord:
      if (!ok(0, ins.kind, ins.value1) || !ok(1, okDataMemory, ins.value2)) return psCannotDecode;
      break;
    case C::DecodeByte:
    case C::Decode:
      if (!ok(0, ins.kind, ins.value1) || !ok(1, okDecimal, ins.value2)) return psCannotDecode;
      break;
    case C::Shift:
      if (!ok(0, okDecimal, ins.kind)) return psCannotDecode;
      break;
    case C::Atm:
      if (!ok(0, okRelay, atm[0]) || !ok(1, okRelay, atm[1]) || atm[1] < atm[0] ||
          !ok(2, atm[2], word(atm[4], atm[5])) || !ok(3, atm[6], word(atm[8], atm[9])))
        return psCannotDecode;
      break;
    default:
      if (!ok(0, ins.kind, ins.value1)) return psCannotDecode;
      break;
  }

  text.assign(m->name);
  switch (m->cls) {
    case C::None: break;
    case C::Timer:
    case C::Counter:
      appendNumber(text, ins.kind, 3);
      appendOperand(text, okDecimal, presets[ins.kind]);
      if (m->cls == C::Counter) appendOperand(text, ins.kind2, ins.value1);
      break;
    case C::ShiftRegister:
      appendOperand(text, okRelay, ins.startAddress());
      appendOperand(text, okRelay, ins.value1);
      break;
    case C::DataWord:
      appendOperand(text, ins.kind, ins.value1);
      appendOperand(text, okDataMemory, ins.value2);
      break;
    case C::DecodeByte:
    case C::Decode:
      appendOperand(text, ins.kind, ins.value1);
      appendOperand(text, okDecimal, ins.value2);
      break;
    case C::Label:
      appendNumber(text, ins.kind, 3);
      break;
    case C::Shift:
      text += " #";
      appendDigits(text, ins.kind, 2);
      break;
    case C::Atm:
      appendNumber(text, atm[0], 2);
      appendNumber(text, atm[1], 2);
      appendOperand(text, atm[2], word(atm[4], atm[5]));
      appendOperand(text, atm[6], word(atm[8], atm[9]));
      break;
    default:
      appendOperand(text, ins.kind, ins.value1);
      break;
  }
  return psOk;
}

}  // namespace zar::plc
