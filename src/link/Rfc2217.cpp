#include "link/Rfc2217.h"

namespace zar::telnet {

std::string escapeData(std::string_view data) {
  std::string out;
  out.reserve(data.size() + 8);
  for (char c : data) {
    out += c;
    if (static_cast<uint8_t>(c) == kIac) out += c;
  }
  return out;
}

std::string command(uint8_t verb, uint8_t option) {
  return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string comPortCommand(uint8_t cmd, std::string_view value) {
  std::string out{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kOptComPort),
                  static_cast<char>(cmd)};
  out += escapeData(value);
  out += static_cast<char>(kIac);
  out += static_cast<char>(kSe);
  return out;
}

std::string setBaudRate(uint32_t baud) {
  const char value[4] = {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16),
                         static_cast<char>(baud >> 8), static_cast<char>(baud)};
  return comPortCommand(kSetBaudRate, std::string_view(value, 4));
}

std::string setByteValue(uint8_t cmd, uint8_t value) {
  const char v = static_cast<char>(value);
  return comPortCommand(cmd, std::string_view(&v, 1));
}

uint32_t Event::baudRate() const {
  if (value.size() != 4) return 0;
  uint32_t baud = 0;
  for (char c : value) baud = (baud << 8) | static_cast<uint8_t>(c);
  return baud;
}

void Decoder::feed(std::string_view input, std::string& data, std::vector<Event>& events) {
  for (char ch : input) {
    const auto b = static_cast<uint8_t>(ch);
    switch (state_) {
      case State::Data:
        if (b == kIac) {
          state_ = State::Iac;
          break;
        }
        if (stripCrNul_ && lastWasCr_ && b == 0) {
          lastWasCr_ = false;
          break;
        }
        lastWasCr_ = b == '\r';
        data += ch;
        break;
      case State::Iac:
        if (b == kIac) {  // an escaped data byte
          data += ch;
          lastWasCr_ = false;
          state_ = State::Data;
        } else if (b >= kWill && b <= kDont) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == kSb) {
          state_ = State::SbOption;
        } else {
          state_ = State::Data;  // NOP, GA, AYT, a stray SE ...: nothing to do
        }
        break;
      case State::Verb: {
        Event e;
        e.kind = Event::Kind::Negotiation;
        e.verb = verb_;
        e.option = b;
        events.push_back(std::move(e));
        state_ = State::Data;
        break;
      }
      case State::SbOption:
        sbOption_ = b;
        sb_.clear();
        sbOverflow_ = false;
        state_ = State::Sb;
        break;
      case State::Sb:
        if (b == kIac) {
          state_ = State::SbIac;
        } else if (sb_.size() < kMaxSubnegotiation) {
          sb_ += ch;
        } else {
          sbOverflow_ = true;
        }
        break;
      case State::SbIac:
        if (b == kIac) {
          if (sb_.size() < kMaxSubnegotiation) sb_ += ch;
          else sbOverflow_ = true;
          state_ = State::Sb;
        } else if (b == kSe) {
          if (sbOption_ == kOptComPort && !sb_.empty() && !sbOverflow_) {
            Event e;
            e.kind = Event::Kind::ComPort;
            e.command = static_cast<uint8_t>(sb_[0]);
            e.value = sb_.substr(1);
            events.push_back(std::move(e));
          }
          state_ = State::Data;
        } else {
          // IAC followed by anything else inside a sub-negotiation: the
          // server broke the framing. Drop what was gathered and read on.
          state_ = State::Data;
        }
        break;
    }
  }
}

Negotiator::Negotiator() {
  for (Q& q : local_) q = Off;
  for (Q& q : remote_) q = Off;
}

bool Negotiator::wantLocal(uint8_t option) {
  return option == kOptComPort || option == kOptBinary || option == kOptSuppressGoAhead;
}

bool Negotiator::wantRemote(uint8_t option) {
  return option == kOptBinary || option == kOptSuppressGoAhead;
}

std::string Negotiator::opening() {
  std::string out;
  for (uint8_t option : {kOptBinary, kOptSuppressGoAhead, kOptComPort}) {
    out += command(kWill, option);
    local_[option] = Asked;
  }
  for (uint8_t option : {kOptBinary, kOptSuppressGoAhead}) {
    out += command(kDo, option);
    remote_[option] = Asked;
  }
  return out;
}

std::string Negotiator::answer(uint8_t verb, uint8_t option) {
  Q& local = local_[option];
  Q& remote = remote_[option];
  switch (verb) {
    case kDo:
      if (!wantLocal(option)) return command(kWont, option);
      if (local == On) return {};
      {
        const bool asked = local == Asked;
        local = On;
        return asked ? std::string() : command(kWill, option);
      }
    case kDont:
      if (local == On) {
        local = wantLocal(option) ? Refused : Off;
        return command(kWont, option);
      }
      if (local == Asked) local = Refused;
      return {};
    case kWill:
      if (!wantRemote(option)) return remote == Off || remote == Refused ? command(kDont, option) : std::string();
      if (remote == On) return {};
      {
        const bool asked = remote == Asked;
        remote = On;
        return asked ? std::string() : command(kDo, option);
      }
    case kWont:
      if (remote == On) {
        remote = Refused;
        return command(kDont, option);
      }
      if (remote == Asked) remote = Refused;
      return {};
    default:
      return {};
  }
}

}  // namespace zar::telnet
