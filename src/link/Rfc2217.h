#pragma once
// Telnet with the COM port control option, as serial device servers speak it:
// byte layouts only, no sockets. The network serial device drives these
// pieces; tests check them byte for byte.
//
//   data             every 0xFF byte doubled (IAC IAC) in both directions
//   IAC verb opt     WILL 251, WONT 252, DO 253, DONT 254
//   IAC SB 44 cmd value... IAC SE
//                    cmd 1 SET-BAUDRATE (4 bytes, network order; 0 asks),
//                    2 SET-DATASIZE, 3 SET-PARITY, 4 SET-STOPSIZE,
//                    5 SET-CONTROL, 7 NOTIFY-MODEMSTATE, 11 SET-MODEMSTATE-MASK,
//                    12 PURGE-DATA; the server answers with cmd + 100 and
//                    the value it now uses. 0xFF inside a value is doubled.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zar::telnet {

inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;

inline constexpr uint8_t kOptBinary = 0;
inline constexpr uint8_t kOptSuppressGoAhead = 3;
inline constexpr uint8_t kOptComPort = 44;

// Client commands of the COM port option; the server's answer is cmd + 100.
enum ComCommand : uint8_t {
  kSetBaudRate = 1,
  kSetDataSize = 2,
  kSetParity = 3,
  kSetStopSize = 4,
  kSetControl = 5,
  kNotifyLineState = 6,
  kNotifyModemState = 7,
  kFlowSuspend = 8,
  kFlowResume = 9,
  kSetLineStateMask = 10,
  kSetModemStateMask = 11,
  kPurgeData = 12,
};
inline constexpr uint8_t kServerOffset = 100;

// Values of SET-PARITY, SET-STOPSIZE, SET-CONTROL and PURGE-DATA.
enum ComParity : uint8_t { kParityNone = 1, kParityOdd = 2, kParityEven = 3, kParityMark = 4, kParitySpace = 5 };
enum ComStopSize : uint8_t { kStop1 = 1, kStop2 = 2, kStop15 = 3 };
enum ComControl : uint8_t {
  kFlowNone = 1, kFlowXonXoff = 2, kFlowHardware = 3,
  kBreakOn = 5, kBreakOff = 6,
  kDtrOn = 8, kDtrOff = 9,
  kRtsOn = 11, kRtsOff = 12,
};
enum ComPurge : uint8_t { kPurgeReceive = 1, kPurgeTransmit = 2, kPurgeBoth = 3 };

// NOTIFY-MODEMSTATE bits.
inline constexpr uint8_t kModemCts = 0x10;
inline constexpr uint8_t kModemDsr = 0x20;
inline constexpr uint8_t kModemRing = 0x40;
inline constexpr uint8_t kModemCarrier = 0x80;

// ---- Encoding.

// Data bytes as they go on the connection: 0xFF doubled.
std::string escapeData(std::string_view data);
// IAC verb option.
std::string command(uint8_t verb, uint8_t option);
// IAC SB 44 cmd value IAC SE, with 0xFF in the value doubled.
std::string comPortCommand(uint8_t cmd, std::string_view value);
std::string setBaudRate(uint32_t baud);
std::string setByteValue(uint8_t cmd, uint8_t value);  // data size, parity, stop size, control, purge, masks

// ---- Decoding.

// One thing the server said besides data.
struct Event {
  enum class Kind { Negotiation, ComPort };
  Kind kind = Kind::Negotiation;
  uint8_t verb = 0;     // Negotiation: WILL, WONT, DO or DONT
  uint8_t option = 0;   // Negotiation: the option
  uint8_t command = 0;  // ComPort: the server's command (101 ...)
  std::string value;    // ComPort: the value, unescaped

  // SET-BAUDRATE answer as a number (0 when the value is not 4 bytes).
  uint32_t baudRate() const;
  bool operator==(const Event&) const = default;
};

// Splits what arrives into data and events. Keeps its state between calls,
// so a command may be split anywhere across reads.
class Decoder {
 public:
  // Longest sub-negotiation kept; a longer one is dropped whole.
  static constexpr size_t kMaxSubnegotiation = 64;

  // Appends the data bytes of `input` to `data` and its events to `events`.
  void feed(std::string_view input, std::string& data, std::vector<Event>& events);
  // In NVT (non-binary) mode a CR travels as CR NUL; with this on, the NUL is
  // dropped. Switched off once the server sends binary.
  void setStripCrNul(bool on) { stripCrNul_ = on; }

 private:
  enum class State { Data, Iac, Verb, Sb, SbOption, SbIac };
  State state_ = State::Data;
  uint8_t verb_ = 0;
  uint8_t sbOption_ = 0;
  std::string sb_;
  bool sbOverflow_ = false;
  bool stripCrNul_ = false;
  bool lastWasCr_ = false;
};

// The option negotiation of the client side: which options we want on in
// each direction, what to answer to the server's requests, and when the
// exchange is settled. Answers are only sent on a change of state, so two
// sides that both follow this never loop.
class Negotiator {
 public:
  Negotiator();
  // The requests to send first: WILL COM-PORT, WILL/DO BINARY, WILL/DO SGA.
  std::string opening();
  // What to send back for a verb received (may be empty).
  std::string answer(uint8_t verb, uint8_t option);

  // The server agreed to take COM port commands (DO COM-PORT came).
  bool comPortAccepted() const { return local_[kOptComPort] == On; }
  // The server refused them (DONT COM-PORT came).
  bool comPortRefused() const { return local_[kOptComPort] == Refused; }
  // The server sends binary: no CR NUL to strip.
  bool remoteBinary() const { return remote_[kOptBinary] == On; }

 private:
  enum Q : uint8_t { Off, Asked, On, Refused };
  static bool wantLocal(uint8_t option);
  static bool wantRemote(uint8_t option);
  Q local_[256];   // options we perform (WILL/WONT from us, DO/DONT from them)
  Q remote_[256];  // options the server performs (DO/DONT from us)
};

}  // namespace zar::telnet
