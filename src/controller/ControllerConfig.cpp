#include "controller/ControllerConfig.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zar::controller {

namespace {

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool parseInt(std::string_view text, int& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return false;
}

}  // namespace

std::optional<ControllerType> typeOfModel(int model) {
  switch (model) {
    case 102: case 202: case 302: return ControllerType::X02;
    case 101: case 200: case 300: return ControllerType::X00;
    default: return std::nullopt;
  }
}

bool isKnownModel(int model) { return typeOfModel(model).has_value(); }

std::optional<ControllerType> parseControllerType(std::string_view text) {
  std::string t = upper(text);
  if (t.rfind("ZAR ", 0) == 0) t.erase(0, 4);
  if (t == "X02") return ControllerType::X02;
  if (t == "X00" || t == "X01" || t == "X00/X01") return ControllerType::X00;
  return std::nullopt;
}

std::optional<FirmwareVersion> parseFirmwareVersion(std::string_view text) {
  const std::string t = upper(text);
  if (t == "SD") return FirmwareVersion::SD;
  if (t == "K") return FirmwareVersion::K;
  if (t == "M") return FirmwareVersion::M;
  return std::nullopt;
}

std::string_view versionName(FirmwareVersion version) {
  switch (version) {
    case FirmwareVersion::SD: return "SD";
    case FirmwareVersion::K: return "K";
    case FirmwareVersion::M: return "M";
  }
  return "?";
}

std::string_view faultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::NoReply: return "none";
    case FaultKind::Nak: return "nak";
    case FaultKind::Garbage: return "garbage";
    case FaultKind::Short: return "short";
    case FaultKind::Delay: return "delay";
    case FaultKind::Hangup: return "hangup";
    case FaultKind::Reply: return "reply";
    case FaultKind::Corrupt: return "corrupt";
    case FaultKind::Flood: return "flood";
  }
  return "?";
}

std::string escapeBytes(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += ch;
        } else {
          out += "\\x";
          out += digits[c >> 4];
          out += digits[c & 0xF];
        }
    }
  }
  return out;
}

std::optional<std::string> unescapeBytes(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) return std::nullopt;
    switch (text[i]) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      case 'x': {
        if (i + 2 >= text.size()) return std::nullopt;
        const int hi = hexValue(text[i + 1]);
        const int lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default: return std::nullopt;
    }
  }
  return out;
}

std::optional<Fault> parseFault(std::string_view text, std::string* error) {
  Fault fault;
  // TIMES suffix.
  if (const size_t star = text.rfind('*'); star != std::string_view::npos) {
    if (!parseInt(text.substr(star + 1), fault.times) || fault.times < 0) {
      fail(error, "bad repeat count in fault '" + std::string(text) + "'");
      return std::nullopt;
    }
    text = text.substr(0, star);
  }
  // STEP[:N] then KIND[=ARG]; the step's index, when present, is all digits.
  const size_t first = text.find(':');
  if (first == std::string_view::npos || first == 0) {
    fail(error, "fault '" + std::string(text) + "' is not STEP:KIND");
    return std::nullopt;
  }
  fault.step = std::string(text.substr(0, first));
  std::string_view rest = text.substr(first + 1);
  if (const size_t second = rest.find(':'); second != std::string_view::npos) {
    const std::string_view index = rest.substr(0, second);
    int n = 0;
    if (!parseInt(index, n) || n < 1) {
      fail(error, "bad step index '" + std::string(index) + "' in fault");
      return std::nullopt;
    }
    fault.step += ':';
    fault.step += index;
    rest = rest.substr(second + 1);
  }
  std::string_view kind = rest;
  std::string_view arg;
  bool hasArg = false;
  if (const size_t eq = rest.find('='); eq != std::string_view::npos) {
    kind = rest.substr(0, eq);
    arg = rest.substr(eq + 1);
    hasArg = true;
  }
  const std::string k = upper(kind);
  if (k == "NONE" || k == "NOREPLY" || k == "SILENT") {
    fault.kind = FaultKind::NoReply;
  } else if (k == "NAK") {
    fault.kind = FaultKind::Nak;
  } else if (k == "GARBAGE") {
    fault.kind = FaultKind::Garbage;
  } else if (k == "SHORT") {
    fault.kind = FaultKind::Short;
  } else if (k == "CORRUPT") {
    fault.kind = FaultKind::Corrupt;
  } else if (k == "HANGUP") {
    fault.kind = FaultKind::Hangup;
  } else if (k == "DELAY") {
    fault.kind = FaultKind::Delay;
    if (!hasArg || !parseInt(arg, fault.delayMs) || fault.delayMs < 0) {
      fail(error, "delay needs a time in milliseconds: delay=MS");
      return std::nullopt;
    }
    return fault;
  } else if (k == "REPLY") {
    fault.kind = FaultKind::Reply;
    auto bytes = unescapeBytes(arg);
    if (!hasArg || !bytes) {
      fail(error, "reply needs escaped bytes: reply=BYTES");
      return std::nullopt;
    }
    fault.bytes = *bytes;
    return fault;
  } else if (k == "FLOOD") {
    fault.kind = FaultKind::Flood;
    if (!hasArg || !parseInt(arg, fault.count) || fault.count < 1 || fault.count > (1 << 24)) {
      fail(error, "flood needs a byte count from 1 to 16777216: flood=COUNT");
      return std::nullopt;
    }
    return fault;
  } else {
    fail(error, "unknown fault kind '" + std::string(kind) +
                    "' (none, nak, garbage, short, corrupt, delay=MS, hangup, reply=BYTES, flood=COUNT)");
    return std::nullopt;
  }
  if (hasArg) {
    fail(error, "fault kind '" + std::string(kind) + "' takes no argument");
    return std::nullopt;
  }
  return fault;
}

}  // namespace zar::controller
