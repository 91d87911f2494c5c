#pragma once
// Types shared by the serial port component and the device layer under it:
// the line-setting enumerations, the small sets built from them, the event,
// error and modem bit values, the line settings record and the exception
// the component raises.

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace zar {

// ---- Enumerations (the ordinal is the stored value).

enum TBaudRate : int {
  br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
  br38400, br56000, br57600, br115200, br128000, br256000
};
enum TParity : int { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : int { sb10, sb15, sb20 };
enum TDataBits : int { da4, da5, da6, da7, da8 };
enum TFlowControl : int { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption : int { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TCommEventType : int {
  evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty
};

// Bit rate in bit/s of a TBaudRate member (0 for an out-of-range value).
uint32_t baudRateValue(TBaudRate rate);
// Number of data bits of a TDataBits member (4 to 8).
inline int dataBitsValue(TDataBits bits) { return static_cast<int>(bits) + 4; }

// A set of enumeration members, stored as one bit per ordinal.
template <typename E, int N>
class EnumSet {
 public:
  using Bits = std::conditional_t<(N <= 8), uint8_t, uint16_t>;

  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> members) {
    for (E e : members) bits_ = static_cast<Bits>(bits_ | bit(e));
  }
  static constexpr EnumSet all() { return fromBits(static_cast<Bits>((1u << N) - 1)); }
  static constexpr EnumSet fromBits(Bits bits) {
    EnumSet s;
    s.bits_ = static_cast<Bits>(bits & ((1u << N) - 1));
    return s;
  }

  constexpr bool contains(E e) const { return (bits_ & bit(e)) != 0; }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr Bits bits() const { return bits_; }
  constexpr EnumSet& include(E e) { bits_ = static_cast<Bits>(bits_ | bit(e)); return *this; }
  constexpr EnumSet& exclude(E e) { bits_ = static_cast<Bits>(bits_ & ~bit(e)); return *this; }
  constexpr bool operator==(const EnumSet&) const = default;

 private:
  static constexpr Bits bit(E e) { return static_cast<Bits>(1u << static_cast<int>(e)); }
  Bits bits_ = 0;
};

using TCommOptions = EnumSet<TCommOption, 5>;
using TCommEventTypes = EnumSet<TCommEventType, 9>;

// ---- Line event mask bits (also the bits of the Status word of OnComStatEvent).
inline constexpr uint32_t kEvRxChar = 0x0001;
inline constexpr uint32_t kEvRxFlag = 0x0002;
inline constexpr uint32_t kEvTxEmpty = 0x0004;
inline constexpr uint32_t kEvCts = 0x0008;
inline constexpr uint32_t kEvDsr = 0x0010;
inline constexpr uint32_t kEvRlsd = 0x0020;
inline constexpr uint32_t kEvBreak = 0x0040;
inline constexpr uint32_t kEvError = 0x0080;
inline constexpr uint32_t kEvRing = 0x0100;
inline constexpr uint32_t kEvAll = 0x01FF;

uint32_t eventMaskBit(TCommEventType type);
uint32_t eventMaskOf(TCommEventTypes types);

// ---- Pending line error bits (read and cleared together with the status).
inline constexpr uint32_t kErrRxOver = 0x0001;    // input queue overflow
inline constexpr uint32_t kErrOverrun = 0x0002;   // character lost by the UART
inline constexpr uint32_t kErrParity = 0x0004;
inline constexpr uint32_t kErrFrame = 0x0008;
inline constexpr uint32_t kErrBreak = 0x0010;

// ---- Modem-line functions of EscapeComm.
inline constexpr uint32_t kSetXOff = 1;   // act as if XOFF was received
inline constexpr uint32_t kSetXOn = 2;    // act as if XON was received
inline constexpr uint32_t kSetRts = 3;
inline constexpr uint32_t kClrRts = 4;
inline constexpr uint32_t kSetDtr = 5;
inline constexpr uint32_t kClrDtr = 6;
inline constexpr uint32_t kSetBreak = 8;
inline constexpr uint32_t kClrBreak = 9;

// ---- Modem status bits.
inline constexpr uint32_t kMsCtsOn = 0x0010;
inline constexpr uint32_t kMsDsrOn = 0x0020;
inline constexpr uint32_t kMsRingOn = 0x0040;
inline constexpr uint32_t kMsRlsdOn = 0x0080;

// The line settings as applied to the device. Fields the component does not
// set keep what the device reported before the update.
struct LineSettings {
  uint32_t baudRate = 9600;
  int dataBits = 8;               // 4 to 8
  TParity parity = paNone;
  TStopBits stopBits = sb10;
  char xonChar = 0x11;
  char xoffChar = 0x13;
  char errorChar = 0;
  char eofChar = 0;
  char evtChar = 0;
  uint16_t xonLimit = 1024;
  uint16_t xoffLimit = 1024;
  bool parityCheck = false;       // check parity of received bytes
  bool dsrSensitivity = false;    // ignore input while DSR is low
  bool txContinueOnXoff = false;  // keep sending after we sent XOFF
  bool errorReplace = false;      // bytes with parity errors become errorChar
  bool nullStrip = false;         // discard received NUL bytes
  // Handshake (not part of the component's record; see TFlowControl).
  bool rtsCtsFlow = false;
  bool dtrDsrFlow = false;
  bool outX = false;              // obey XON/XOFF from the peer
  bool inX = false;               // send XON/XOFF to the peer

  bool operator==(const LineSettings&) const = default;
};

// Read time-out: a read returns when the requested count arrived or after
// readTotalMs in total. Write time-out: writePerByteMs for every byte.
struct CommTimeouts {
  uint32_t readTotalMs = 1000;
  uint32_t writePerByteMs = 0;
};

// Queue and hold status: the five hold flags, then the queue counts.
struct TComStat {
  bool ctsHold = false;
  bool dsrHold = false;
  bool rlsdHold = false;
  bool xoffHold = false;
  bool xoffSent = false;
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// Raised by the serial port component. what() is the message with the error
// code in place of "%d", e.g. "Port not open (Error: -1)"; code -1 marks an
// error found by the component itself, other codes are errno values.
class CommError : public std::runtime_error {
 public:
  CommError(const char* format, int code);
  int code() const { return code_; }

 private:
  int code_;
};

// The component's failure texts.
inline constexpr const char* kErrPortAssigned = "Port already assigned (open) (Error: %d)";
inline constexpr const char* kErrInitBuffers = "Error initializing Read/Write Buffers (Error: %d)";
inline constexpr const char* kErrUpdateDcb = "Error updating DataControlBlock (Error: %d)";
inline constexpr const char* kErrUpdateTimeouts = "Error updating CommTimeouts (Error: %d)";
inline constexpr const char* kErrEscape = "EscapeCommFunction failure (Error: %d)";
inline constexpr const char* kErrNotOpen = "Port not open (Error: %d)";

}  // namespace zar
