#pragma once
// Serial lines reached through a serial device server on the network.
//
//   tcp://HOST:PORT      raw TCP: the bytes travel as they are; the line's
//                        rate and framing are whatever the server is set to.
//   rfc2217://HOST:PORT  Telnet with the COM port option: rate, data bits,
//                        parity, stop bits, DTR and RTS are sent to the
//                        server and its answers checked; 0xFF bytes are
//                        doubled on the way out and undoubled on the way in.
//
// HOST is a name, an IPv4 address or a bracketed IPv6 address ("[::1]").
// Connecting (name look-up included) never takes longer than the open
// time-out; a failure names the host and the reason. A server that declines
// the COM port option is used as a raw connection, with a notice saying so.
//
// The device is one side of the same interface as the local tty, so the
// component above it and every dialogue run unchanged.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/SerialDevice.h"

namespace zar {

struct NetworkPort {
  enum class Kind { RawTcp, Rfc2217 };
  Kind kind = Kind::RawTcp;
  std::string host;  // without brackets
  std::string port;  // decimal, 1..65535

  // "HOST:PORT" as messages show it (IPv6 in brackets).
  std::string endpoint() const;
};

// True for a name that asks for a network port (scheme tcp:// or rfc2217://,
// any letter case), valid or not.
bool isNetworkPortName(std::string_view name);
// The parts of a network port name; nullopt with *why when it is malformed.
std::optional<NetworkPort> parseNetworkPort(std::string_view name, std::string* why = nullptr);

std::unique_ptr<SerialDevice> makeNetworkSerialDevice();

// The one place a port name becomes a device: a network device for a network
// port name, the local tty for anything else.
std::unique_ptr<SerialDevice> makeSerialDeviceFor(const std::string& path);

}  // namespace zar
