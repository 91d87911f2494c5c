#include "plc/PlcCompiler.h"

#include <cstdio>
#include <new>

#include "base/SafeFile.h"

namespace zar::plc {

namespace {

constexpr bool isImageDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

std::uint8_t lo(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
std::uint8_t hi(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }

}  // namespace

PlcEditorMode DecidePlcEditorMode(const std::vector<std::string_view>& lines) {
  if (lines.empty()) return PlcEditorMode::Empty;
  for (std::string_view line : lines)
    for (char c : line)
      if (!isImageDigit(c)) return PlcEditorMode::Source;
  return PlcEditorMode::Image;
}

PlcEditorMode DecidePlcEditorMode(const std::vector<std::string>& lines) {
  return DecidePlcEditorMode(std::vector<std::string_view>(lines.begin(), lines.end()));
}

std::string_view StripPlcComment(std::string_view line) {
  const size_t end = line.find_first_of(";\r\n");
  return end == std::string_view::npos ? line : line.substr(0, end);
}

std::array<std::uint8_t, kImageInstructionBytes> InstructionBytes(const PlcInstruction& ins) {
  std::array<std::uint8_t, kImageInstructionBytes> b{};
  b[0] = ins.opcode;
  const PlcMnemonic* m = FindOpcode(ins.opcode);
  const OperandClass cls = m ? m->cls : OperandClass::Load;
  switch (cls) {
    case OperandClass::None:
      break;
    case OperandClass::Atm:
      if (ins.opcode == 86) {  // "ATM" itself keeps the general layout (all zero anyway)
        b[1] = ins.kind;
        b[2] = lo(ins.value1);
        b[3] = hi(ins.value1);
      }
      break;
    case OperandClass::Timer:
    case OperandClass::Label:
    case OperandClass::Shift:
      b[1] = ins.kind;
      break;
    case OperandClass::Counter:
      b[1] = ins.kind;
      b[2] = ins.kind2;
      b[3] = lo(ins.value1);
      b[4] = hi(ins.value1);
      break;
    case OperandClass::ShiftRegister:
      b[1] = ins.kind;   // start address, low byte
      b[2] = ins.kind2;  // start address, high byte
      b[3] = lo(ins.value1);
      b[4] = hi(ins.value1);
      break;
    case OperandClass::DataWord:
    case OperandClass::DecodeByte:
    case OperandClass::Decode:
      b[1] = ins.kind;
      b[2] = lo(ins.value1);
      b[3] = hi(ins.value1);
      b[4] = lo(ins.value2);
      b[5] = hi(ins.value2);
      break;
    default:
      b[1] = ins.kind;
      b[2] = lo(ins.value1);
      b[3] = hi(ins.value1);
      break;
  }
  return b;
}

std::vector<std::uint8_t> PlcImageBytes(const std::vector<PlcInstruction>& list,
                                        const PresetTable& presets, const HeaderBlock& header) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kImageHeaderBytes + list.size() * kImageInstructionBytes);
  for (std::uint16_t p : presets) {
    bytes.push_back(lo(p));
    bytes.push_back(hi(p));
  }
  bytes.insert(bytes.end(), header.atm.begin(), header.atm.end());
  bytes.insert(bytes.end(), header.tail.begin(), header.tail.end());
  for (const PlcInstruction& ins : list) {
    const auto b = InstructionBytes(ins);
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
  return bytes;
}

std::string PlcImageText(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const size_t n = bytes.size();
  std::string text(n * 2 + (n / kImageBytesPerLine) * 2, '\0');
  char* out = text.data();
  for (size_t i = 0; i < n; ++i) {
    *out++ = kHex[bytes[i] >> 4];
    *out++ = kHex[bytes[i] & 0x0F];
    if ((i + 1) % kImageBytesPerLine == 0) {
      *out++ = '\r';
      *out++ = '\n';
    }
  }
  return text;
}

std::string PlcImageFileName(std::string_view currentPlcPath) {
  const size_t slash = currentPlcPath.find_last_of('/');
  const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = currentPlcPath.find_last_of('.');
  std::string name(currentPlcPath);
  if (dot != std::string_view::npos && dot >= nameStart) name.resize(dot);
  return name + ".mcn";
}

bool WritePlcImage(const std::vector<PlcInstruction>& list, const PresetTable& presets,
                   const HeaderBlock& header, const std::string& imagePath, std::string* error) {
  std::string text;
  try {
    text = PlcImageText(PlcImageBytes(list, presets, header));
  } catch (const std::bad_alloc&) {
    if (error) *error = "not enough memory";
    return false;
  }
  return replaceFileContent(imagePath, text, error);
}

PlcCompileResult CompilePlcSource(const std::vector<std::string_view>& lines,
                                  PlcWorkspace& workspace, std::vector<PlcInstruction>& list) {
  PlcCompileResult result;
  result.mode = PlcEditorMode::Source;
  list.clear();
  try {
    list.reserve(lines.size());
  } catch (const std::bad_alloc&) {
    // Only a hint: the list grows line by line below.
  }
  int lineNo = 0;
  for (std::string_view raw : lines) {
    ++lineNo;
    const std::string_view line = StripPlcComment(raw);
    if (line.empty()) continue;
    PlcInstruction ins;
    const int rc = EncodeLine(line, ins, workspace.presets, workspace.header.atm);
    if (rc == psOk) {
      try {
        list.push_back(ins);
        continue;
      } catch (const std::bad_alloc&) {
        result.status = psNoMemory;
      }
    } else {
      result.status = rc;
    }
    result.line = lineNo;
    list.clear();
    list.shrink_to_fit();
    return result;
  }
  result.instructions = list.size();
  return result;
}

PlcCompileResult CompilePlcProgram(const std::vector<std::string>& lines, PlcWorkspace& workspace,
                                   const std::string& imagePath, const MessageLog& log) {
  return CompilePlcProgram(std::vector<std::string_view>(lines.begin(), lines.end()), workspace,
                           imagePath, log);
}

PlcCompileResult CompilePlcProgram(const std::vector<std::string_view>& lines,
                                   PlcWorkspace& workspace, const std::string& imagePath,
                                   const MessageLog& log) {
  PlcCompileResult result;
  result.mode = DecidePlcEditorMode(lines);
  if (result.mode != PlcEditorMode::Source) return result;

  std::vector<PlcInstruction> list;
  result = CompilePlcSource(lines, workspace, list);
  if (result.status != psOk) {
    log.addTo(Page::Plc, messageOf(result.status));
    return result;
  }
  if (!imagePath.empty())
    result.imageWritten =
        WritePlcImage(list, workspace.presets, workspace.header, imagePath, &result.imageError);
  return result;
}

}  // namespace zar::plc
