#pragma once
// The bytes on the wire between zarlink and the controller: control
// characters, the fixed command frames and the frames formed per exchange.
// Shared by the link primitives (our side) and the virtual controller (theirs).

#include <string>
#include <string_view>

namespace zar::frames {

inline constexpr char SOH = 0x01;
inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char ACK = 0x06;
inline constexpr char BEL = 0x07;
inline constexpr char LF = 0x0A;
inline constexpr char CR = 0x0D;
inline constexpr char NAK = 0x15;

inline const std::string kLineEnd = "\r\n";
inline const std::string kAck = "\x06\x07\x01\r\n";      // acknowledges, asks for the next item
inline const std::string kNak = "\x15\x07\x07\r\n";      // the controller refuses the last frame
inline const std::string kAttention = "$%\r\n";          // starts a dialogue; also end-of-data reply
inline const std::string kList = "$L\r\n";
inline const std::string kStore = "$S\r\n";
inline const std::string kDelete = "$K\r\n";
inline const std::string kDeleteConfirmed = "$V\r\n";
inline const std::string kParamReceive = "$P\r\n";
inline const std::string kParamSend = "$R\r\n";
inline const std::string kLon = "\x02LON\x03";
inline const std::string kLof = "\x02LOF\x03";
inline const std::string kSqr = "\x02SQR\x03";
inline const std::string kSqw = "\x02SQW\x03";
inline const std::string kFe = "\x02" "0001FE\x03";
inline const std::string kModelQuery = "\x02ZAR\x03";
inline const std::string kVersionQuery = "\x02VER\x03";

// Slot 1-99 as two digits with a leading zero, then CR LF ("07\r\n").
std::string slotFrame(int slot);
// Program name padded with blanks (or cut) to exactly 8 characters, then CR LF.
std::string nameFrame(std::string_view name);
// "N<line> <text up to its first LF>\r\n" for a 1-based editor line number.
std::string programLineFrame(int lineNumber, std::string_view line);

}  // namespace zar::frames
