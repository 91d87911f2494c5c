#include "plc/PlcDecompiler.h"

#include "base/InputFile.h"

namespace zar::plc {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

constexpr int hexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr int kMsgCannotOpen = 172;
constexpr int kMsgPresetsIncomplete = 173;
constexpr int kMsgHeaderIncomplete = 174;
constexpr int kMsgFinished = 232;

// Reads the operand bytes of one instruction after its opcode. Bytes the
// record keeps must be present; the others are read and dropped.
int readOperands(PlcImageReader& r, PlcInstruction& ins) {
  std::optional<std::uint8_t> b[5];
  for (auto& byte : b) byte = ReadPlcByte(r);
  auto need = [&](int from, int to) {
    for (int i = from; i <= to; ++i)
      if (!b[i]) return false;
    return true;
  };
  auto word = [&](int i) { return static_cast<std::uint16_t>(*b[i] | (*b[i + 1] << 8)); };

  const PlcMnemonic* m = FindOpcode(ins.opcode);
  const OperandClass cls = m ? m->cls : OperandClass::Load;
  switch (cls) {
    case OperandClass::None:
      return psOk;
    case OperandClass::Timer:
    case OperandClass::Label:
    case OperandClass::Shift:
      if (!need(0, 0)) return psCutShort;
      ins.kind = *b[0];
      return psOk;
    case OperandClass::Counter:
      if (!need(0, 3)) return psCutShort;
      ins.kind = *b[0];
      ins.kind2 = *b[1];
      ins.value1 = word(2);
      return psOk;
    case OperandClass::ShiftRegister:
      if (!need(0, 3)) return psCutShort;
      ins.setStartAddress(word(0));
      ins.value1 = word(2);
      return psOk;
    case OperandClass::DataWord:
    case OperandClass::DecodeByte:
    case OperandClass::Decode:
      if (!need(0, 4)) return psCutShort;
      ins.kind = *b[0];
      ins.value1 = word(1);
      ins.value2 = word(3);
      return psOk;
    default:  // every other opcode, the ATM class and unknown opcodes included
      if (!need(0, 2)) return psCutShort;
      ins.kind = *b[0];
      ins.value1 = word(1);
      return psOk;
  }
}

}  // namespace

int PlcImageReader::peekRaw() {
  if (pos_ == buffer_.size()) {
    if (eof_) return -1;
    buffer_.resize(kChunk);
    in_.read(buffer_.data(), static_cast<std::streamsize>(kChunk));
    buffer_.resize(static_cast<std::size_t>(in_.gcount()));
    pos_ = 0;
    if (!in_) eof_ = true;
    if (buffer_.empty()) return -1;
  }
  return static_cast<unsigned char>(buffer_[pos_]);
}

int PlcImageReader::getRaw() {
  const int c = peekRaw();
  if (c >= 0) ++pos_;
  return c;
}

int PlcImageReader::nextCharSlow() {
  for (;;) {
    const int c = getRaw();
    if (c == '\n') continue;
    if (c == '\r' && peekRaw() == '\n') {
      getRaw();
      continue;
    }
    return c;
  }
}

std::optional<std::uint8_t> ReadPlcByte(PlcImageReader& reader) {
  const int high = hexValue(reader.nextChar());
  const int low = hexValue(reader.nextChar());
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<std::uint8_t>(high * 16 + low);
}

std::string CommandNumberText(int instruction) {
  return "Command No.=" + std::to_string(instruction) + "  ";
}

PlcDecompileResult DecompilePlcImage(const std::string& path, PlcWorkspace& workspace,
                                     const MessageLog& log) {
  InputFile file;
  std::string why;
  if (!file.open(path, &why)) {
    log.addTo(Page::Plc, kMsgCannotOpen);
    PlcDecompileResult result;
    result.message = kMsgCannotOpen;
    result.openError = why;
    return result;
  }
  return DecompilePlcImage(file.stream(), workspace, log);
}

PlcDecompileResult DecompilePlcImage(std::istream& image, PlcWorkspace& workspace,
                                     const MessageLog& log) {
  PlcImageReader reader(image);
  PlcDecompileResult result;
  auto finish = [&](int message, std::string_view extra = {}) {
    result.message = message;
    log.addTo(Page::Plc, message, extra);
    return result;
  };

  // The header is taken over only once it has been read whole.
  PresetTable presets{};
  for (auto& p : presets) {
    const auto low = ReadPlcByte(reader);
    const auto high = ReadPlcByte(reader);
    if (!low || !high) return finish(kMsgPresetsIncomplete);
    p = static_cast<std::uint16_t>(*low | (*high << 8));
  }
  HeaderBlock header;
  for (auto* part : {&header.atm, &header.tail}) {
    for (auto& byte : *part) {
      const auto b = ReadPlcByte(reader);
      if (!b) return finish(kMsgHeaderIncomplete);
      byte = *b;
    }
  }
  workspace.presets = presets;
  workspace.header = header;

  Operator& editor = log.op();
  std::string text;
  for (int counter = 1;; ++counter) {
    const auto opcode = ReadPlcByte(reader);
    if (!opcode) return finish(kMsgFinished);
    PlcInstruction ins;
    ins.opcode = *opcode;
    int rc = readOperands(reader, ins);
    if (rc == psOk) rc = DecodeInstruction(ins, workspace.presets, workspace.header.atm, text);
    if (rc != psOk) {
      result.instruction = counter;
      return finish(messageOf(rc), CommandNumberText(counter));
    }
    editor.appendEditorLine(Page::Plc, text);
    ++result.lines;
  }
}

}  // namespace zar::plc
