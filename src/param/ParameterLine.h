#pragma once
// Parameter lines of the editor and a parameter file, as the transfers read
// and write them:
//
//   Max feed(12)=3000      a setting: name, "(", number, ")=", value
//   / spindle group        a remark: first character "/", not sent
//
// Sending takes the number text between the first "(" and the first ")" of
// the line as it stands (the name before it is ignored) and the value after
// the LAST "=", read as a decimal integer (leading white space, an optional
// sign, digits up to the first non-digit; no digits give 0). The setting
// goes out as the frame "<number text>=<value>" CR LF.
//
// Three kinds of line are refused like a line without parentheses or "=":
// a value beyond the signed 32-bit range (sending some other value than
// the one written could set a machine parameter wrongly), a number text
// holding a control character (a CR, LF or ETX would end the frame early and
// slip another frame into the controller's dialogue), and a number text too
// long for one frame (no controller number is; at 19200 baud a megabyte
// would hold the line for ten minutes).

#include <cstdint>
#include <string>
#include <string_view>

#include "param/ParameterTables.h"

namespace zar::param {

enum class LineForm {
  Remark,     // first character "/": shown with "...Skip...", not sent
  Malformed,  // stops the send (message 145)
  Setting,    // sent as a setting frame
};

enum class LineProblem {
  None,
  NoParentheses,     // no ")" with a "(" before it
  NoEquals,          // no "=" in the line
  ControlCharacter,  // the number text holds a byte below 0x20 or 0x7F
  ValueOutOfRange,   // the value does not fit a signed 32-bit integer
  NumberTooLong,     // the setting frame would exceed kMaxSettingFrame bytes
};

// Longest setting frame, CR LF included.
inline constexpr size_t kMaxSettingFrame = 255;

struct ParameterLine {
  LineForm form = LineForm::Malformed;
  LineProblem problem = LineProblem::None;  // why a line is Malformed
  std::string numberText;                   // Setting: as written, blanks included
  std::int32_t value = 0;                   // Setting
};

// How an editor line is sent. Editor lines carry no line end.
ParameterLine parseParameterLine(std::string_view line);
// The setting frame "<number text>=<value>" CR LF.
std::string settingFrame(std::string_view numberText, std::int32_t value);
// A sent line as the message area shows it: whole up to kMaxShownLine
// bytes; a longer one (no parameter line is) cut there, never inside a Big5
// character, and followed by "..." (a message area takes seconds to lay out
// a line of megabytes).
inline constexpr size_t kMaxShownLine = 1000;
std::string shownLine(std::string_view line);
// What the message area shows for a remark line: the line, then "...Skip...".
std::string skippedLine(std::string_view line);
// A short English reason for a problem, for command-line diagnostics.
std::string_view problemText(LineProblem problem);

// ---- Receiving: one line per parameter, "<name>(<number>)=" followed by the
// value text of the controller's reply, or "XXXXXX" when none came.
inline constexpr std::string_view kNoValue = "XXXXXX";

// "<name>(<number>)=".
std::string receivedLinePrefix(const ParameterEntry& entry);
// The value text of a reply: up to its first CR (or an LF or ETX, which an
// editor line cannot hold).
std::string_view replyValueText(std::string_view reply);
// Whether a value text is a parameter value: a decimal integer within the
// signed 32-bit range (an optional sign, digits), blanks around it allowed.
// Anything else (line noise, a cut reply) is not kept as a value: sent
// back later, it would set the parameter to whatever its digits give.
bool isParameterValue(std::string_view valueText);

}  // namespace zar::param
