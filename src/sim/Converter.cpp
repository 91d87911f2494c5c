#include "sim/Converter.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>

#include "base/FileLocator.h"
#include "base/SafeFile.h"
#include "ui/MessageLog.h"

namespace zar::sim {

namespace {

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool isAddressLetter(char c) { return kAddressLetters.find(upper(c)) != std::string_view::npos; }

bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

// Digits, signs and points only; the empty value is numeric.
bool isNumeric(std::string_view value) {
  for (char c : value)
    if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')) return false;
  return true;
}

// Standard text-to-float reading of a numeric value: an optional sign, then
// digits with at most one point taken; anything unreadable gives plain 0
// (not -0: "X-" dumps as 0.000).
double realValue(std::string_view value) {
  bool negative = false;
  if (!value.empty() && (value[0] == '+' || value[0] == '-')) {
    negative = value[0] == '-';
    value.remove_prefix(1);
  }
  double result = 0.0;
  if (value.empty() || value[0] == '+' || value[0] == '-') return 0.0;
  const auto parsed =
      std::from_chars(value.data(), value.data() + value.size(), result, std::chars_format::fixed);
  if (parsed.ec == std::errc::invalid_argument) return 0.0;
  return negative ? -result : result;
}

// Standard text-to-integer reading: an optional sign and digits up to the
// first non-digit; no digits give 0. Saturates at the 32-bit range.
int intValue(std::string_view value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  long long result = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    result = result * 10 + (value[i] - '0');
    if (result > static_cast<long long>(INT_MAX) + 1) result = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return static_cast<int>(-result);
  return result > INT_MAX ? INT_MAX : static_cast<int>(result);
}

// Command code of an accepted G number, or -1.
int gCodeFor(int number) {
  switch (number) {
    case 0: case 1: case 2: case 3: case 4: case 7: case 8:
    case 17: case 18: case 19: case 20: case 21: case 26: case 27: case 28:
    case 50: case 60: case 61: case 62: case 63: case 64: case 65: case 66: case 67:
    case 90: case 91: case 92:
      return (number / 10) * 16 + number % 10;
    default:
      return -1;
  }
}

// Command code of an accepted M number (compared on its low 8 bits), or -1.
int mCodeFor(int number) {
  switch (static_cast<unsigned>(number) & 0xFFu) {
    case 0: return bcM00;
    case 2: return bcM02;
    case 3: return bcM03;
    case 4: return bcM04;
    case 30: return bcM30;
    case 95: return bcM95;
    case 96: return bcM96;
    case 97: return bcM97;
    case 98: return bcM98;
    case 99: return bcM99;
    default: return -1;
  }
}

// Value field and mask bit of a coordinate letter.
double* fieldFor(BlockRecord& r, char letter, std::uint8_t& bit) {
  switch (letter) {
    case 'X': bit = mxX; return &r.X;
    case 'Y': bit = mxY; return &r.Y;
    case 'Z': bit = mxZ; return &r.Z;
    case 'U': bit = mxU; return &r.U;
    case 'I': bit = mxI; return &r.I;
    case 'J': bit = mxJ; return &r.J;
    case 'K': bit = mxK; return &r.K;
    case 'R': bit = mxR; return &r.I;  // the radius shares I
    case 'F': bit = 0; return &r.F;
    default: bit = 0; return nullptr;
  }
}

constexpr std::string_view kG0List = "XYZU";
constexpr std::string_view kG1List = "FXYZU";
constexpr std::string_view kArcList = "FIJKRUXYZ";
constexpr std::string_view kIndirectLetters = "XYZUIJKR";
constexpr std::string_view kParameterLetters = "ABCDELOPQR";

template <typename... Args>
std::string format(const char* fmt, Args... args) {
  const int size = std::snprintf(nullptr, 0, fmt, args...);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, fmt, args...);
  return out;
}

}  // namespace

// ---- Scanning ---------------------------------------------------------------

bool Converter::atEnd() const { return pos_ >= text_.size() || isLineBreak(text_[pos_]); }

// Reads one word from the current position: its first character always
// belongs to it (a blank or ':' there is dropped); it runs to the next address
// letter. Blanks are dropped, letters upper-cased.
int Converter::readWord(std::string& word) {
  word.clear();
  if (pos_ >= text_.size()) return csSuccess;
  std::size_t length = 0;
  const char first = text_[pos_++];
  if (first != ' ' && first != ':') {
    word += upper(first);
    ++length;
  }
  while (pos_ < text_.size() && !isAddressLetter(text_[pos_])) {
    const char c = text_[pos_++];
    if (c == ' ') continue;
    if (length < kMaxWordLength) word += upper(c);
    ++length;
  }
  return length >= kMaxWordLength ? csMalformedWord : csSuccess;
}

// Reads a keyword: leading blanks skipped, runs to the next blank, ':' or the
// end of the text; the blanks after it are skipped too.
int Converter::readKeyword(std::string& keyword) {
  keyword.clear();
  while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  std::size_t length = 0;
  while (pos_ < text_.size() && text_[pos_] != ' ' && text_[pos_] != ':') {
    if (length < kMaxKeywordLength) keyword += upper(text_[pos_]);
    ++length;
    ++pos_;
  }
  while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  return length > kMaxKeywordLength ? csMalformedWord : csSuccess;
}

// True (and the keyword consumed) when the keyword here is `expected`;
// otherwise the position is left alone.
bool Converter::keywordIs(std::string_view expected) {
  const std::size_t start = pos_;
  std::string keyword;
  if (readKeyword(keyword) == csSuccess && keyword == expected) return true;
  pos_ = start;
  return false;
}

// A passed-over word is still bound by the word length.
int Converter::passOver() {
  std::string word;
  return readWord(word);
}

// Reads the next word, whose text after its first letter must be a number
// (`value` views it); with a prefix, that first letter must be the prefix.
int Converter::readNumberWord(std::string& word, std::string_view& value, char prefix) {
  const int status = readWord(word);
  if (status != csSuccess) return status;
  if (prefix != 0 && (word.empty() || word[0] != prefix)) return csMalformedWord;
  value = std::string_view(word).substr(1);
  return isNumeric(value) ? csSuccess : csMalformedWord;
}

BlockRecord Converter::newRecord() const {
  BlockRecord r;
  r.N = r.B = lineIndex_;
  r.Skip = SkipMark ? 1 : 0;
  return r;
}

// ---- Lines and programs -----------------------------------------------------

ConversionResult Converter::ConvertLines(const std::vector<std::string>& lines) {
  std::size_t next = 0;
  return ConvertLines([&](std::string& line) {
    if (next == lines.size()) return false;
    line = lines[next++];
    return true;
  });
}

ConversionResult Converter::ConvertLines(const std::function<bool(std::string&)>& nextLine) {
  ConversionResult result;
  list_.clear();
  MotionMode = 1;
  std::string line;
  for (int i = 0; nextLine(line); ++i) {
    const int status = ConvertLine(line, i);
    if (status != csSuccess) {
      result.status = status;
      result.failingLine = i + 1;
      break;
    }
  }
  return result;
}

int Converter::ConvertLine(std::string_view line, int lineIndex) {
  SkipMark = false;
  CommentMark = false;
  text_ = line;
  pos_ = 0;
  lineIndex_ = lineIndex;
  int status = csSuccess;
  while (!atEnd() && !CommentMark) {
    const std::size_t before = pos_;
    status = convertWordAt();
    if (status != csSuccess) break;
    if (pos_ == before) ++pos_;  // every word consumes text
  }
  return status;
}

int Converter::ConvertWord(std::string_view& rest, int lineIndex) {
  text_ = rest;
  pos_ = 0;
  lineIndex_ = lineIndex;
  const int status = rest.empty() ? csSuccess : convertWordAt();
  rest.remove_prefix(std::min(pos_, rest.size()));
  return status;
}

int Converter::convertWordAt() {
  const char letter = upper(text_[pos_]);
  switch (letter) {
    case 'G': return gCode();
    case 'X': case 'Y': case 'Z': case 'U': return bareBlock();
    case 'M': return mCode();
    case 'F': return feedWord();
    case 'S': return spindleWord();
    case 'L':
      if (keywordIs("LOOP")) return callStatement(bcM97);
      return lWord();
    case 'C':
      if (keywordIs("CALL")) return callStatement(bcM98);
      return passOver();
    case 'I':
      if (pos_ + 1 < text_.size() && upper(text_[pos_ + 1]) == 'N') return ioWord();
      return passOver();
    case 'J':
      if (keywordIs("JMP")) return callStatement(bcM96);
      return passOver();
    case 'D': case 'O': return ioWord();
    case 'E':
      if (keywordIs("END")) {
        BlockRecord r = newRecord();
        r.C = bcM02;
        return append(r);
      }
      return passOver();
    case 'A': return variableWord();
    case '@': return atWord();
    case '%': return header();
    case '(': return comment();
    case '\'':
      CommentMark = true;
      pos_ = text_.size();
      return csSuccess;
    case '/': {
      std::string word;
      const int status = readWord(word);
      SkipMark = true;
      return status;
    }
    case 'N': return csMalformedWord;
    default: {  // K, R and anything unknown
      std::string word;
      return readWord(word);
    }
  }
}

// ---- Words ------------------------------------------------------------------

int Converter::gCode() {
  std::string word;
  std::string_view value;
  int status = readNumberWord(word, value);
  if (status != csSuccess) return status;
  const int number = intValue(value);
  const int code = gCodeFor(number);
  if (code < 0) return csUnknownWord;

  BlockRecord r = newRecord();
  r.C = static_cast<std::uint8_t>(code);
  switch (number) {
    case 0:
      MotionMode = 0;
      status = readWordList(r, kG0List);
      break;
    case 1:
      MotionMode = 1;
      status = readWordList(r, kG1List);
      break;
    case 2: case 3:
      status = readWordList(r, kArcList);
      if (r.MX & mxR) r.C = static_cast<std::uint8_t>(r.C | 0x80);
      break;
    case 4:
      status = readDwellWord(r);
      break;
    case 92:
      status = readWordList(r, kG0List);
      break;
    default:
      if (number >= 60 && number <= 67) status = readParameterWords(r);
      break;
  }
  if (status != csSuccess) return status;
  return append(r);
}

int Converter::bareBlock() {
  BlockRecord r = newRecord();
  r.C = bcG01;
  const int status = readWordList(r, MotionMode == 0 ? kG0List : kG1List);
  if (status != csSuccess) return status;
  return append(r);
}

int Converter::mCode() {
  std::string word;
  std::string_view value;
  int status = readNumberWord(word, value);
  if (status != csSuccess) return status;
  const int code = mCodeFor(intValue(value));
  if (code < 0) return csUnknownWord;
  BlockRecord r = newRecord();
  r.C = static_cast<std::uint8_t>(code);
  if (code == bcM96 || code == bcM97 || code == bcM98) {
    status = readCallWords(r);
    if (status != csSuccess) return status;
  }
  return append(r);
}

int Converter::feedWord() {
  std::string word;
  std::string_view value;
  int status = readNumberWord(word, value);
  if (status != csSuccess) return status;
  BlockRecord r = newRecord();
  r.C = bcFeed;
  r.F = realValue(value);
  return append(r);
}

int Converter::spindleWord() {
  std::string word;
  std::string_view value;
  int status = readNumberWord(word, value);
  if (status != csSuccess) return status;
  BlockRecord r = newRecord();
  r.C = bcSpindle;
  r.X = intValue(value);
  return append(r);
}

// "L n P m": an L word must be followed by a P word.
int Converter::lWord() {
  std::string word;
  std::string_view value;
  int status = readNumberWord(word, value);
  if (status != csSuccess) return status;
  BlockRecord r = newRecord();
  r.C = bcLWord;
  r.X = intValue(value);
  status = readNumberWord(word, value, 'P');
  if (status != csSuccess) return status;
  r.Y = r.Z = intValue(value);
  return append(r);
}

// CALL, JMP and LOOP, once their keyword is consumed.
int Converter::callStatement(unsigned char code) {
  BlockRecord r = newRecord();
  r.C = code;
  const int status = readCallWords(r);
  if (status != csSuccess) return status;
  return append(r);
}

// I/O words: DIH/INH, DIL/INL (input wait), DOH/ON, DOL/OFF (output), with
// the number in the same keyword (DOH5).
int Converter::ioWord() {
  std::string keyword;
  const int status = readKeyword(keyword);
  if (status != csSuccess) return status;
  std::size_t split = 0;
  while (split < keyword.size()) {
    const char c = keyword[split];
    if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') break;
    ++split;
  }
  if (split > kMaxNameLetters) return csMalformedWord;
  const std::string_view name = std::string_view(keyword).substr(0, split);
  const std::string_view number = std::string_view(keyword).substr(split);

  BlockRecord r = newRecord();
  if (name == "DIH" || name == "INH") {
    r.C = bcInput;
    r.Y = 1.0;
  } else if (name == "DIL" || name == "INL") {
    r.C = bcInput;
  } else if (name == "DOH" || name == "ON") {
    r.C = bcOutput;
    r.Y = 1.0;
  } else if (name == "DOL" || name == "OFF") {
    r.C = bcOutput;
  } else {
    return csUnknownWord;  // "D" alone and every other name
  }
  if (!isNumeric(number)) return csMalformedWord;
  const int io = intValue(number);
  if (io > kMaxIoNumber) return csMalformedWord;
  r.X = io;
  return append(r);
}

// "An=v": variable n gets the value v.
int Converter::variableWord() {
  std::string word;
  std::string_view value;
  int status = readNumberWord(word, value);
  if (status != csSuccess) return status;
  BlockRecord r = newRecord();
  r.C = bcVariable;
  r.X = intValue(value);
  status = readNumberWord(word, value, '=');
  if (status != csSuccess) return status;
  r.Y = realValue(value);
  return append(r);
}

// "@n" with up to three A words (values into Y, Z, I).
int Converter::atWord() {
  std::string word;
  std::string_view value;
  int status = readNumberWord(word, value);
  if (status != csSuccess) return status;
  BlockRecord r = newRecord();
  r.C = bcAt;
  r.X = intValue(value);
  double* slots[] = {&r.Y, &r.Z, &r.I};
  int taken = 0;
  while (!atEnd()) {
    const std::size_t start = pos_;
    status = readWord(word);
    if (status != csSuccess) return status;
    if (word.empty() || word[0] != 'A') {
      pos_ = start;  // converted next as a word of its own
      break;
    }
    const std::string_view v = std::string_view(word).substr(1);
    if (!isNumeric(v)) return csMalformedWord;
    if (taken == 3) return csMalformedWord;
    *slots[taken++] = realValue(v);
  }
  return append(r);
}

// "%MPF n" / "%SPF n".
int Converter::header() {
  std::string keyword;
  int status = readKeyword(keyword);
  if (status != csSuccess) return status;
  std::size_t letters = 0;
  while (letters < keyword.size() && !(keyword[letters] >= '0' && keyword[letters] <= '9')) ++letters;
  if (letters > kMaxNameLetters) return csUnknownWord;
  const std::string_view name = std::string_view(keyword).substr(0, letters);
  BlockRecord r = newRecord();
  if (name == "%MPF") r.C = bcHeaderMPF;
  else if (name == "%SPF") r.C = bcHeaderSPF;
  else return csUnknownWord;
  status = readKeyword(keyword);
  if (status != csSuccess) return status;
  r.X = intValue(keyword);
  return append(r);
}

int Converter::comment() {
  const std::size_t close = text_.find(')', pos_ + 1);
  if (close == std::string_view::npos) return csUnknownWord;
  pos_ = close + 1;
  return csSuccess;
}

// ---- Word lists -------------------------------------------------------------

// Coordinate words after G0/G1/G2/G3/G92 (or from the first coordinate word
// of a bare block). A word whose letter is outside `letters` ends the list
// and is converted next; a lone letter must be the indirect form X=An.
int Converter::readWordList(BlockRecord& r, std::string_view letters) {
  std::string word;
  while (!atEnd()) {
    const std::size_t start = pos_;
    int status = readWord(word);
    if (status != csSuccess) return status;
    if (word.empty()) {
      pos_ = start;
      break;
    }
    const char letter = word[0];
    if (word.size() == 1) {
      status = readIndirect(r, letter);
      if (status != csSuccess) return status;
      continue;
    }
    const std::string_view value = std::string_view(word).substr(1);
    if (!isNumeric(value)) return csMalformedWord;
    if (letters.find(letter) == std::string_view::npos) {
      pos_ = start;
      break;
    }
    std::uint8_t bit = 0;
    double* field = fieldFor(r, letter, bit);
    *field = realValue(value);
    r.MX = static_cast<std::uint8_t>(r.MX | bit);
  }
  return csSuccess;
}

// "X = A5": the coordinate takes the variable's number.
int Converter::readIndirect(BlockRecord& r, char letter) {
  if (kIndirectLetters.find(letter) == std::string_view::npos) return csMalformedWord;
  std::string word;
  if (readWord(word) != csSuccess || word != "=") return csMalformedWord;
  if (readWord(word) != csSuccess || word.empty() || word[0] != 'A') return csMalformedWord;
  const std::string_view value = std::string_view(word).substr(1);
  if (!isNumeric(value)) return csMalformedWord;
  std::uint8_t bit = 0;
  double* field = fieldFor(r, letter, bit);
  *field = intValue(value);
  r.MX = static_cast<std::uint8_t>(r.MX | bit);
  r.AS = static_cast<std::uint8_t>(r.AS | bit);
  return csSuccess;
}

// N (target line), L or REP (count) after M96/M97/M98, JMP, LOOP, CALL.
int Converter::readCallWords(BlockRecord& r) {
  std::string word;
  while (!atEnd()) {
    const std::size_t start = pos_;
    int status = readWord(word);
    if (status != csSuccess) return status;
    if (word.empty()) {
      pos_ = start;
      break;
    }
    const std::string_view value = std::string_view(word).substr(1);
    if (!isNumeric(value)) return csMalformedWord;
    if (word[0] == 'N') {
      r.X = intValue(value);
    } else if (word[0] == 'L') {
      r.Y = r.Z = intValue(value);
    } else if (word[0] == 'R') {
      // REP: the letters E and P follow the R directly.
      if (!value.empty() || pos_ + 1 >= text_.size() || upper(text_[pos_]) != 'E' ||
          upper(text_[pos_ + 1]) != 'P')
        return csMalformedWord;
      ++pos_;  // the P word carries the count
      status = readWord(word);
      if (status != csSuccess) return status;
      const std::string_view count = std::string_view(word).substr(1);
      if (!isNumeric(count)) return csMalformedWord;
      r.Y = r.Z = intValue(count);
    } else {
      pos_ = start;
      break;
    }
  }
  if ((r.C == bcM97 || r.C == bcM98) && r.Y == 0.0) r.Y = r.Z = 1.0;
  return csSuccess;
}

// G4: one word, X or "/" with the time.
int Converter::readDwellWord(BlockRecord& r) {
  std::string word;
  const int status = readWord(word);
  if (status != csSuccess) return status;
  if (word.empty() || (word[0] != 'X' && word[0] != '/')) return csMalformedWord;
  const std::string_view value = std::string_view(word).substr(1);
  if (!isNumeric(value)) return csMalformedWord;
  r.X = realValue(value);
  return csSuccess;
}

// G60..G67: the last of the parameter words A..E, L, O, P, Q, R wins.
int Converter::readParameterWords(BlockRecord& r) {
  std::string word;
  while (!atEnd()) {
    const std::size_t start = pos_;
    const int status = readWord(word);
    if (status != csSuccess) return status;
    if (word.empty() || kParameterLetters.find(word[0]) == std::string_view::npos) {
      pos_ = start;
      break;
    }
    const std::string_view value = std::string_view(word).substr(1);
    if (!isNumeric(value)) return csMalformedWord;
    r.X = realValue(value);
    r.AS = static_cast<std::uint8_t>(word[0]);
  }
  return csSuccess;
}

// ---- Dump and the button ----------------------------------------------------

std::string DumpText(const BlockList& list, const ConversionResult& result) {
  std::string out;
  if (result.status != csSuccess)
    out += format("ENO=%2x   EL=%4d\r\n", static_cast<unsigned>(result.status), result.failingLine);
  for (const BlockRecord& r : list) {
    out += format(
        "N%04d C=%2x AS=%2x MX=%2x X=%10.3f Y=%10.3f Z=%10.3f I=%10.3f J=%10.3f F=%10.3f B%04d\r\n",
        r.N + 1, static_cast<unsigned>(r.C), static_cast<unsigned>(r.AS), static_cast<unsigned>(r.MX),
        r.X, r.Y, r.Z, r.I, r.J, r.F, r.B + 1);
  }
  return out;
}

bool WriteDump(const std::string& directory, const BlockList& list, const ConversionResult& result,
               std::string* error) {
  const std::string path = FileLocator(directory).writePath(FileKind::State, kDumpFileName);
  return replaceFileContent(path, DumpText(list, result), error);
}

std::string OnLineSuffix(int failingLine) { return format("  On Line:N%04d", failingLine); }

ConversionResult ConvertProgram(const std::vector<std::string>& lines, BlockList& list,
                                const MessageLog& log, const std::string& dumpDirectory) {
  if (lines.empty() || (lines.size() == 1 && lines[0].empty())) {
    ConversionResult result;
    result.emptyProgram = true;
    log.addTo(Page::Program, 198);
    log.op().beep();
    return result;
  }
  Converter converter(list);
  ConversionResult result = converter.ConvertLines(lines);
  result.dumpWritten = WriteDump(dumpDirectory, list, result);
  if (result.status != csSuccess) {
    log.addTo(Page::Program, messageForStatus(result.status), OnLineSuffix(result.failingLine));
    log.op().beep();
  }
  return result;
}

}  // namespace zar::sim
