#include "controller/ControllerState.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>

#include "base/FileLocator.h"
#include "base/InputFile.h"
#include "base/SafeFile.h"
#include "controller/ControllerConfig.h"

namespace zar::controller {

namespace {

constexpr std::string_view kHeader = "# zarlink virtual controller memory";

bool parseInt32(std::string_view text, std::int32_t& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool isUpperHex(std::string_view text) {
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

bool setError(std::string* error, int lineNo, const std::string& what) {
  if (error) *error = "line " + std::to_string(lineNo) + ": " + what;
  return false;
}

}  // namespace

std::string formatState(const ControllerState& state) {
  std::ostringstream out;
  out << kHeader << "\n";
  for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
    const auto& program = state.programs[slot];
    if (!program) continue;
    char head[16];
    std::snprintf(head, sizeof head, "[slot %02d]", slot);
    out << "\n" << head << "\n";
    if (!program->name.empty()) out << "name " << escapeBytes(program->name) << "\n";
    for (const auto& line : program->lines) out << "| " << escapeBytes(line) << "\n";
  }
  if (!state.parameters.empty()) {
    out << "\n[parameters]\n";
    for (const auto& [number, value] : state.parameters) out << number << " = " << value << "\n";
  }
  if (!state.plcImage.empty()) {
    out << "\n[plc]\n";
    for (const auto& line : state.plcImage) out << "| " << line << "\n";
  }
  return out.str();
}

std::optional<ControllerState> parseState(const std::string& text, std::string* error) {
  ControllerState state;
  enum class Section { None, Slot, Parameters, Plc } section = Section::None;
  Program* program = nullptr;
  bool sawName = false;
  bool sawPlc = false;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    std::string_view line(raw);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    if (line.front() == '[') {
      if (line.back() != ']') return setError(error, lineNo, "unclosed section header"), std::nullopt;
      const std::string_view name = line.substr(1, line.size() - 2);
      program = nullptr;
      if (name.rfind("slot ", 0) == 0) {
        std::int32_t slot = 0;
        if (!parseInt32(name.substr(5), slot) || slot < kFirstSlot || slot > kLastSlot)
          return setError(error, lineNo, "slot number must be 1 to 99"), std::nullopt;
        if (state.programs[slot]) return setError(error, lineNo, "slot listed twice"), std::nullopt;
        state.programs[slot] = Program{};
        program = &*state.programs[slot];
        sawName = false;
        section = Section::Slot;
      } else if (name == "parameters") {
        section = Section::Parameters;
      } else if (name == "plc") {
        if (sawPlc) return setError(error, lineNo, "[plc] listed twice"), std::nullopt;
        sawPlc = true;
        section = Section::Plc;
      } else {
        return setError(error, lineNo, "unknown section [" + std::string(name) + "]"), std::nullopt;
      }
      continue;
    }

    switch (section) {
      case Section::None:
        return setError(error, lineNo, "text before the first section"), std::nullopt;
      case Section::Slot: {
        if (line.rfind("| ", 0) == 0 || line == "|") {
          auto bytes = unescapeBytes(line.size() > 2 ? line.substr(2) : std::string_view{});
          if (!bytes) return setError(error, lineNo, "bad escape in program line"), std::nullopt;
          if (bytes->size() > kMaxLineLength)
            return setError(error, lineNo, "program line too long"), std::nullopt;
          if (program->lines.size() >= kMaxProgramLines)
            return setError(error, lineNo, "too many program lines"), std::nullopt;
          program->lines.push_back(std::move(*bytes));
        } else if (line.rfind("name ", 0) == 0) {
          auto bytes = unescapeBytes(line.substr(5));
          if (!bytes || bytes->size() > kMaxNameLength || sawName)
            return setError(error, lineNo, "bad program name"), std::nullopt;
          while (!bytes->empty() && bytes->back() == ' ') bytes->pop_back();
          program->name = std::move(*bytes);
          sawName = true;
        } else {
          return setError(error, lineNo, "expected 'name NAME' or '| line'"), std::nullopt;
        }
        break;
      }
      case Section::Parameters: {
        const size_t eq = line.find('=');
        std::int32_t number = 0, value = 0;
        if (eq == std::string_view::npos || !parseInt32(line.substr(0, eq), number) ||
            number < 0 || !parseInt32(line.substr(eq + 1), value))
          return setError(error, lineNo, "expected 'NUMBER = VALUE'"), std::nullopt;
        state.parameters[number] = value;
        break;
      }
      case Section::Plc: {
        if (line.rfind("| ", 0) != 0 || line.size() == 2 || !isUpperHex(line.substr(2)) ||
            line.size() - 2 > kMaxPlcLineDigits)
          return setError(error, lineNo, "expected '| HEXDIGITS'"), std::nullopt;
        if (state.plcImage.size() >= kMaxPlcImageLines)
          return setError(error, lineNo, "PLC image too long"), std::nullopt;
        state.plcImage.emplace_back(line.substr(2));
        break;
      }
    }
  }
  return state;
}

std::optional<ControllerState> loadState(const std::string& path, bool* exists,
                                         std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    if (exists) *exists = false;
    return ControllerState{};
  }
  // A FIFO or directory is refused, never waited on. The size is not bounded:
  // whatever the controller saved within its own limits is read back.
  std::string text;
  std::string why;
  if (!readInputFile(path, text, &why, std::numeric_limits<std::uint64_t>::max())) {
    if (error) *error = path + ": " + why;
    return std::nullopt;
  }
  if (exists) *exists = true;
  auto state = parseState(text, &why);
  if (!state && error) *error = path + ": " + why;
  return state;
}

bool saveState(const ControllerState& state, const std::string& path, std::string* error) {
  std::string why;
  if (replaceFileContent(path, formatState(state), &why)) return true;
  if (error) *error = path + ": " + why;
  return false;
}

std::string defaultStateFile(const std::string& workingDirectory) {
  return FileLocator(workingDirectory).writePath(FileKind::State, kDefaultStateFileName);
}

std::vector<std::pair<int, Program>> samplePrograms() {
  return {
      {1,
       {"SQUARE",
        {"(50 MM SQUARE, CONTOUR AT DEPTH 1)", "G90 G21", "G00 X0 Y0 Z5", "M03",
         "G01 Z-1 F100", "G01 X50 F300", "Y50", "X0", "Y0", "G00 Z5", "M30"}}},
      {2,
       {"CIRCLE",
        {"(FULL CIRCLE R20 ABOUT X25 Y25)", "G90 G21", "G00 X5 Y25 Z5", "M03", "G01 Z-1 F100",
         "G02 X45 Y25 I20 J0 F250", "G02 X5 Y25 I-20 J0", "G00 Z5", "M30"}}},
      // G91 measures from the point where it is given, until the next G90 or
      // G91: an incremental program gives it again before every move.
      {3,
       {"SLOT",
        {"(ROUNDED SLOT, INCREMENTAL)", "G90 G21", "G00 X10 Y10 Z5", "G01 Z-2 F80",
         "G91 G01 X40 F300", "G91 G03 X0 Y20 R10", "G91 G01 X-40", "G91 G03 X0 Y-20 R10", "G90",
         "G00 Z5", "M30"}}},
      {4,
       {"DWELL",
        {"(SPOT FOUR HOLES WITH DWELL)", "G90 G21", "G00 X10 Y10 Z5", "G01 Z-1 F60", "G04 X0.5",
         "G00 Z5", "X40", "G01 Z-1", "G04 X0.5", "G00 Z5", "Y40", "G01 Z-1", "G04 X0.5",
         "G00 Z5", "X10", "G01 Z-1", "G04 X0.5", "G00 Z5", "M30"}}},
  };
}

std::vector<std::string> samplePlcImage() {
  // Header: 64 preset words (timer 5 preset 100), then the 32-byte header
  // block; then LD 0000, TMR 005 #00100, LD T005, OUT 0500, END (6 bytes each).
  std::vector<unsigned char> bytes(160, 0);
  bytes[10] = 100;
  const unsigned char program[] = {
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  // LD 0000
      0x10, 0x05, 0x00, 0x00, 0x00, 0x00,  // TMR 005 #00100
      0x01, 0x01, 0x05, 0x00, 0x00, 0x00,  // LD T005
      0x09, 0x00, 0xF4, 0x01, 0x00, 0x00,  // OUT 0500
      0x7E, 0x00, 0x00, 0x00, 0x00, 0x00,  // END
  };
  bytes.insert(bytes.end(), std::begin(program), std::end(program));
  std::vector<std::string> lines;
  static const char* digits = "0123456789ABCDEF";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) lines.emplace_back();
    lines.back() += digits[bytes[i] >> 4];
    lines.back() += digits[bytes[i] & 0xF];
  }
  return lines;
}

bool addSamples(ControllerState& state) {
  bool changed = false;
  for (auto& [slot, program] : samplePrograms()) {
    if (!state.programs[slot]) {
      state.programs[slot] = program;
      changed = true;
    }
  }
  if (state.plcImage.empty()) {
    state.plcImage = samplePlcImage();
    changed = true;
  }
  return changed;
}

}  // namespace zar::controller
