#include "param/ParameterLine.h"

#include <cctype>
#include <cstdint>
#include <limits>
#include <optional>

namespace zar::param {

namespace {

// Leading white space, an optional sign, digits up to the first non-digit
// (none give 0); nothing when the digits leave the 32-bit range.
std::optional<std::int32_t> valueOf(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kLimit) return std::nullopt;
  }
  if (!negative && magnitude == kLimit) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

bool holdsControlCharacter(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

ParameterLine malformed(LineProblem problem) {
  ParameterLine line;
  line.problem = problem;
  return line;
}

}  // namespace

ParameterLine parseParameterLine(std::string_view line) {
  if (!line.empty() && line.front() == '/') return {LineForm::Remark, LineProblem::None, {}, 0};
  const size_t close = line.find(')');
  const size_t open = close == std::string_view::npos ? close : line.substr(0, close).find('(');
  if (open == std::string_view::npos) return malformed(LineProblem::NoParentheses);
  const size_t eq = line.rfind('=');
  if (eq == std::string_view::npos) return malformed(LineProblem::NoEquals);
  const std::string_view numberText = line.substr(open + 1, close - open - 1);
  if (holdsControlCharacter(numberText)) return malformed(LineProblem::ControlCharacter);
  const auto value = valueOf(line.substr(eq + 1));
  if (!value) return malformed(LineProblem::ValueOutOfRange);
  // "=", the longest value and CR LF follow the number text.
  if (numberText.size() + 14 > kMaxSettingFrame) return malformed(LineProblem::NumberTooLong);
  return {LineForm::Setting, LineProblem::None, std::string(numberText), *value};
}

std::string settingFrame(std::string_view numberText, std::int32_t value) {
  std::string frame(numberText);
  frame += '=';
  frame += std::to_string(value);
  frame += "\r\n";
  return frame;
}

std::string shownLine(std::string_view line) {
  if (line.size() <= kMaxShownLine) return std::string(line);
  // A byte from 0x81 up leads a two-byte Big5 character: keep it whole or drop it.
  size_t end = 0;
  for (;;) {
    const size_t width = static_cast<unsigned char>(line[end]) >= 0x81 ? 2 : 1;
    if (end + width > kMaxShownLine) break;
    end += width;
  }
  return std::string(line.substr(0, end)) + "...";
}

std::string skippedLine(std::string_view line) { return shownLine(line) + "...Skip..."; }

std::string_view problemText(LineProblem problem) {
  switch (problem) {
    case LineProblem::None: return "";
    case LineProblem::NoParentheses: return "no parameter number in parentheses";
    case LineProblem::NoEquals: return "no '=' before the value";
    case LineProblem::ControlCharacter: return "a control character in the parameter number";
    case LineProblem::ValueOutOfRange: return "the value is beyond the 32-bit range";
    case LineProblem::NumberTooLong: return "the parameter number is too long for one frame";
  }
  return "";
}

std::string receivedLinePrefix(const ParameterEntry& entry) {
  return entry.name + "(" + std::to_string(entry.number) + ")=";
}

std::string_view replyValueText(std::string_view reply) {
  return reply.substr(0, reply.find_first_of("\r\n\x03"));
}

bool isParameterValue(std::string_view valueText) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!valueText.empty() && blank(valueText.front())) valueText.remove_prefix(1);
  while (!valueText.empty() && blank(valueText.back())) valueText.remove_suffix(1);
  std::string_view digits = valueText;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty()) return false;
  for (const char c : digits)
    if (c < '0' || c > '9') return false;
  return valueOf(valueText).has_value();
}

}  // namespace zar::param
