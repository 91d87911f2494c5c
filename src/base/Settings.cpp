#include "base/Settings.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

#include "base/FileLocator.h"
#include "base/InputFile.h"
#include "base/SafeFile.h"

namespace zar {
namespace {

// A settings file that cannot be read (missing, a directory, a FIFO, too
// large) counts as missing.
std::string readWholeFile(const std::string& path, bool& ok) {
  std::string content;
  ok = readInputFile(path, content, nullptr);
  return content;
}

// The integer after the last '=' of a line; false when the line has none.
bool valueAfterEquals(std::string_view line, int& value) {
  const size_t eq = line.rfind('=');
  if (eq == std::string_view::npos) return false;
  value = parseDecimal(line.substr(eq + 1));
  return true;
}

// The four integers of a "label = a,b,c,d" line, taken apart from the right:
// the value after the last comma is the fourth, the line is cut there, and so
// on; the first is the value after the last '='. A line whose value part has
// fewer than three commas gives the values it has from the left; the others
// are not set. Returns how many values were set (0 without '=').
int fourValues(std::string_view line, int (&values)[4]) {
  const size_t eq = line.rfind('=');
  if (eq == std::string_view::npos) return 0;
  std::string_view rest = line.substr(eq + 1);
  size_t commas = 0;
  for (char c : rest) commas += c == ',' ? 1 : 0;
  if (commas >= 3) {
    std::string_view cut = line;
    for (int i = 3; i >= 1; --i) {
      const size_t comma = cut.rfind(',');
      values[i] = parseDecimal(cut.substr(comma + 1));
      cut = cut.substr(0, comma);
    }
    values[0] = parseDecimal(cut.substr(cut.rfind('=') + 1));
    return 4;
  }
  int n = 0;
  while (n < 4) {
    const size_t comma = rest.find(',');
    values[n++] = parseDecimal(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  return n;
}

// Times and delays cannot be negative: a negative value means no wait.
int nonNegative(int value) { return value < 0 ? 0 : value; }

int inRangeOr(int value, int low, int high, int fallback) {
  return value >= low && value <= high ? value : fallback;
}

}  // namespace

int Settings::baudRate() const {
  static constexpr int rates[] = {1200, 2400, 4800, 9600, 19200};
  return baudSelector >= 1 && baudSelector <= 5 ? rates[baudSelector - 1] : 9600;
}

int parseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::vector<std::string> splitTextPieces(std::string_view content, int pieceLength) {
  std::vector<std::string> pieces;
  const size_t bound = pieceLength > 0 ? static_cast<size_t>(pieceLength) : 1;
  size_t pos = 0;
  while (pos < content.size()) {
    std::string piece;
    while (pos < content.size() && piece.size() < bound) {
      const char c = content[pos];
      if (c == '\n') {
        ++pos;
        break;
      }
      if (c == '\r' && pos + 1 < content.size() && content[pos + 1] == '\n') {
        pos += 2;
        break;
      }
      piece += c;
      ++pos;
    }
    // A piece that filled the bound right before its line end leaves that
    // line end to the next read, which gives an empty piece.
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

void readInitIni(Settings& s, std::string_view content) {
  const std::vector<std::string> lines = splitTextPieces(content, kSettingsPieceLength);
  if (lines.size() < 2) s.byteDelay = 50;
  int v = 0;
  int four[4];
  for (size_t n = 0; n < lines.size() && n < 7; ++n) {
    const std::string& line = lines[n];
    switch (n) {
      case 0:
        if (valueAfterEquals(line, v)) s.timeOut = nonNegative(v);
        break;
      case 1:
        if (valueAfterEquals(line, v)) s.byteDelay = nonNegative(v);
        break;
      case 2: {
        const int count = fourValues(line, four);
        if (count > 0) s.receiveTrace = four[0] == 1;
        if (count > 1) s.sendTrace = four[1] == 1;
        if (count > 2) s.spareFlag = four[2] == 1;
        if (count > 3) s.multipleConfirm = four[3] != 0;
        break;
      }
      case 3:
        if (valueAfterEquals(line, v)) s.transitMode = v;
        break;
      case 4:
        if (valueAfterEquals(line, v)) s.defaultPort = v;
        break;
      case 5:
        if (valueAfterEquals(line, v)) s.plcTransitDelay = std::min(nonNegative(v), kMaxPlcTransitDelay);
        break;
      case 6: {
        const int count = fourValues(line, four);
        if (count > 0) s.ncGutterLines = inRangeOr(four[0], 2000, 6000, 2000);
        if (count > 1) s.plcGutterLines = inRangeOr(four[1], 512, 1024, 512);
        if (count > 2) s.reconnectDelay = nonNegative(four[2]);
        if (count > 3) s.portCount = inRangeOr(four[3], 1, 99, 8);
        break;
      }
      default:
        break;
    }
  }
  // The saved port index is checked against the port count of the same
  // file, so a choice above COM8 survives a restart when the list is longer.
  if (s.defaultPort > s.portCount) s.defaultPort = 1;
}

bool loadInitIni(Settings& settings, const std::string& directory) {
  bool ok = false;
  const std::string content =
      readWholeFile(FileLocator(directory).readPath(FileKind::Config, kInitIniName), ok);
  if (!ok) return false;
  readInitIni(settings, content);
  return true;
}

std::string formatInitIni(const Settings& s, int selectedPort) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer,
                "Time Out Timer    = %d\r\n"
                "Trans Delay time  = %d\r\n"
                "System parameter  = %d,%d,%d,%d\r\n"
                "Transit mode      = %d\r\n"
                "Default COM       = %d\r\n"
                "PLC Transit Delay = %d\r\n"
                "System parameter2 = %d,%d,%d,%d\r\n",
                s.timeOut, s.byteDelay, s.receiveTrace ? 1 : 0, s.sendTrace ? 1 : 0,
                s.spareFlag ? 1 : 0, s.multipleConfirm ? 1 : 0, s.transitMode, selectedPort,
                s.plcTransitDelay, s.ncGutterLines, s.plcGutterLines, s.reconnectDelay,
                s.portCount);
  return buffer;
}

bool saveInitIni(const Settings& settings, int selectedPort, const std::string& directory,
                 std::string* error) {
  const std::string path = FileLocator(directory).writePath(FileKind::Config, kInitIniName);
  if (path.empty()) {
    if (error) *error = "no directory to keep them in ($HOME is not set)";
    return false;
  }
  return replaceFileContent(path, formatInitIni(settings, selectedPort), error);
}

CustomerSettings readCustomerIni(std::string_view content) {
  CustomerSettings c;
  const std::vector<std::string> lines = splitTextPieces(content, kSettingsPieceLength);
  int v = 0;
  // Line 1: language; a line without a value reads as English, like a missing one.
  c.language = 1;
  if (!lines.empty() && valueAfterEquals(lines[0], v)) c.language = v >= 0 && v <= 1 ? v : 1;
  if (lines.size() < 2) c.language = 1;
  if (lines.size() >= 2 && valueAfterEquals(lines[1], v)) c.baudSelector = inRangeOr(v, 1, 5, 4);
  if (lines.size() >= 3 && valueAfterEquals(lines[2], v)) {
    c.splashTime = v < 0 ? 0 : (v > kMaxSplashTime ? kMaxSplashTime : v);
  }
  return c;
}

CustomerSettings loadCustomerIni(const std::string& directory) {
  bool ok = false;
  const std::string content =
      readWholeFile(FileLocator(directory).readPath(FileKind::Data, kCustomerIniName), ok);
  if (!ok) return CustomerSettings{};
  return readCustomerIni(content);
}

int customerLanguageOrEnglish(const std::string& directory) {
  if (FileLocator(directory).find(FileKind::Data, kCustomerIniName).empty()) return 1;
  return loadCustomerIni(directory).language;
}

Settings loadSettings(const std::string& directory) {
  Settings s;
  loadInitIni(s, directory);
  const CustomerSettings c = loadCustomerIni(directory);
  s.language = c.language;
  s.baudSelector = c.baudSelector;
  s.splashTime = c.splashTime;
  return s;
}

std::string joinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  if (directory.back() == '/') return directory + name;
  return directory + '/' + name;
}

}  // namespace zar
