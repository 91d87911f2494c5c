#include "controller/Dialogue.h"

#include <charconv>
#include <cstdio>

#include "link/Frames.h"

namespace zar::controller {

namespace f = zar::frames;

namespace {

// The frame's text without its LF and a CR before it.
std::string_view content(const Frame& frame) {
  std::string_view text(frame.bytes);
  if (!text.empty() && text.back() == f::LF) text.remove_suffix(1);
  if (!text.empty() && text.back() == f::CR) text.remove_suffix(1);
  return text;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool allDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A parameter number: decimal digits, 0 to 2^31-1.
std::optional<std::int32_t> parameterNumber(std::string_view text) {
  text = trimBlanks(text);
  std::int32_t n = 0;
  if (!allDigits(text)) return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return n;
}

std::optional<std::int32_t> parameterValue(std::string_view text) {
  text = trimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const std::string_view digits = !text.empty() && text.front() == '-' ? text.substr(1) : text;
  if (!allDigits(digits)) return std::nullopt;
  std::int32_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

// Slot frame: exactly two digits, 01 to 99.
std::optional<int> slotNumber(const Frame& frame) {
  const std::string_view text = content(frame);
  if (text.size() != 2 || !allDigits(text)) return std::nullopt;
  const int slot = (text[0] - '0') * 10 + (text[1] - '0');
  if (slot < kFirstSlot || slot > kLastSlot) return std::nullopt;
  return slot;
}

// Name frame: up to 8 characters (blank padded), trailing blanks dropped.
std::optional<std::string> programName(const Frame& frame) {
  std::string_view text = content(frame);
  if (text.size() > kMaxNameLength) return std::nullopt;
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool upperHex(std::string_view text) {
  for (char c : text)
    if (hexDigit(c) < 0) return false;
  return true;
}

int recordChecksum(int count, std::string_view digits) {
  int sum = count;
  for (size_t i = 0; i < digits.size(); i += 2) {
    sum += i + 1 < digits.size() ? hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])
                                 : hexDigit(digits[i]);
  }
  return ~sum & 0xFF;
}

// The data digits of a well-formed data record, or nothing.
std::optional<std::string> recordData(const std::string& bytes) {
  // STX cc tt data ss ETX
  if (bytes.size() < 8 || bytes.front() != f::STX || bytes.back() != f::ETX) return std::nullopt;
  const std::string_view body(bytes.data() + 1, bytes.size() - 2);
  if (!upperHex(body)) return std::nullopt;
  const int count = hexDigit(body[0]) * 16 + hexDigit(body[1]);
  if (body.substr(2, 2) != "00") return std::nullopt;
  const std::string_view data = body.substr(4, body.size() - 6);
  const std::string_view sum = body.substr(body.size() - 2);
  if (static_cast<size_t>(count) != (data.size() + 1) / 2) return std::nullopt;
  if (recordChecksum(count, data) != hexDigit(sum[0]) * 16 + hexDigit(sum[1])) return std::nullopt;
  return std::string(data);
}

bool isDataRecordShape(const std::string& bytes) {
  return bytes.size() >= 8 && bytes.front() == f::STX && bytes.back() == f::ETX &&
         upperHex(std::string_view(bytes.data() + 1, bytes.size() - 2));
}

std::string indexed(std::string_view base, int index) {
  return std::string(base) + ":" + std::to_string(index);
}

}  // namespace

// ---- FaultList ---------------------------------------------------------------

void FaultList::add(Fault fault) {
  const int left = fault.times <= 0 ? -1 : fault.times;
  armed_.push_back({std::move(fault), left});
}

std::optional<Fault> FaultList::take(std::string_view step) {
  const std::string_view base = step.substr(0, step.find(':'));
  for (auto it = armed_.begin(); it != armed_.end(); ++it) {
    if (it->fault.step != step && it->fault.step != base) continue;
    Fault fault = it->fault;
    if (it->left > 0 && --it->left == 0) armed_.erase(it);
    return fault;
  }
  return std::nullopt;
}

// ---- Identity and records ----------------------------------------------------

Identity Identity::from(const ControllerConfig& config) {
  Identity id;
  id.type = config.type;
  id.modelAnswer = !config.modelAnswer.empty()
                       ? config.modelAnswer
                       : "A-" + std::to_string(config.model) + "\r\n";
  id.versionAnswer = !config.versionAnswer.empty()
                         ? config.versionAnswer
                         : "V1.05" + std::string(versionName(config.version)) + "\r\n";
  id.sqrReloading = config.sqrReloading;
  id.parameters = FactoryParameters(config.model, config.version);
  return id;
}

std::string plcRecord(std::string_view hexDigits) {
  const int count = static_cast<int>((hexDigits.size() + 1) / 2) & 0xFF;
  char head[8], tail[8];
  std::snprintf(head, sizeof head, "%c%02X00", f::STX, count);
  std::snprintf(tail, sizeof tail, "%02X%c", recordChecksum(count, hexDigits), f::ETX);
  return head + std::string(hexDigits) + tail;
}

// ---- Dialogue ----------------------------------------------------------------

Dialogue::Dialogue(ControllerState& state, FaultList& faults, Identity identity)
    : state_(state), faults_(faults), id_(std::move(identity)) {}

void Dialogue::reset() {
  phase_ = Phase::Idle;
  plcSession_ = false;
  slot_ = 0;
  items_.clear();
  nextItem_ = 0;
  count_ = 0;
  pendingParameter_.reset();
  newImage_.clear();
  writeFailed_ = false;
}

// Makes the reply of one reply point: the normal reply with the frame's effect
// applied, unless a fault armed for the step says otherwise. A refusal (NAK)
// or a hang-up leaves the frame without effect and ends the dialogue.
template <typename Apply>
Response Dialogue::answer(std::string step, std::string normal, Apply&& apply) {
  Response r;
  r.step = std::move(step);
  r.bytes = std::move(normal);
  const auto fault = faults_.take(r.step);
  if (!fault) {
    apply();
    return r;
  }
  r.fault = fault->kind;
  switch (fault->kind) {
    case FaultKind::Nak:
      r.bytes = f::kNak;
      reset();
      break;
    case FaultKind::Hangup:
      r.bytes.clear();
      r.hangup = true;
      reset();
      break;
    case FaultKind::NoReply:
      apply();
      r.bytes.clear();
      break;
    case FaultKind::Garbage:
      apply();
      r.bytes = kGarbageReply;
      break;
    case FaultKind::Short:
      apply();
      r.bytes.resize(r.bytes.size() / 2);
      break;
    case FaultKind::Delay:
      apply();
      r.delayMs = fault->delayMs;
      break;
    case FaultKind::Reply:
      apply();
      r.bytes = fault->bytes;
      break;
    case FaultKind::Corrupt:
      apply();
      if (!r.bytes.empty()) r.bytes[r.bytes.size() / 2] ^= 0x01;
      break;
    case FaultKind::Flood:
      // Not applied: a line that only babbles has taken no command.
      r.bytes.assign(static_cast<size_t>(fault->count), '\x55');
      break;
  }
  return r;
}

Response Dialogue::unexpected() {
  return answer("unexpected", f::kNak, [this] { reset(); });
}

std::vector<Response> Dialogue::handle(const Frame& frame) {
  if (frame.overflow) {
    if (phase_ == Phase::PlcWrite && frame.stx) {
      writeFailed_ = true;
      return {answer(indexed("plc.write", ++count_), "", [] {})};
    }
    return {unexpected()};
  }
  return frame.stx ? handleStx(frame) : handleLine(frame);
}

std::vector<Response> Dialogue::handleLine(const Frame& frame) {
  const std::string& b = frame.bytes;
  const auto ok = f::kAck;  // the controller's acceptance of a line frame

  // Commands, whatever dialogue is in progress.
  if (b == f::kAttention) return {answer("attention", ok, [this] { reset(); })};
  if (b == f::kList)
    return {answer("list", ok, [this] { reset(); phase_ = Phase::ListSlot; })};
  if (b == f::kStore)
    return {answer("store", ok, [this] { reset(); phase_ = Phase::StoreSlot; })};
  if (b == f::kDelete)
    return {answer("delete", ok, [this] { reset(); phase_ = Phase::DeleteSlot; })};
  if (b == f::kParamSend)
    return {answer("param.send", ok, [this] { reset(); phase_ = Phase::ParamSend; })};
  if (b == f::kParamReceive)
    return {answer("param.receive", ok, [this] { reset(); phase_ = Phase::ParamReceive; })};

  switch (phase_) {
    case Phase::ListSlot: {
      const auto slot = slotNumber(frame);
      if (!slot || !state_.programs[*slot])  // no such slot, or nothing stored in it
        return {answer("list.slot", f::kNak, [this] { reset(); })};
      return {answer("list.slot", ok, [this, s = *slot] {
        const Program& program = *state_.programs[s];
        items_.clear();
        if (id_.type == ControllerType::X02) items_.emplace_back("list.name", program.name + "\r\n");
        for (size_t i = 0; i < program.lines.size(); ++i) {
          const int n = static_cast<int>(i) + 1;
          std::string line = "N";
          line += std::to_string(n);
          line += ' ';
          line += program.lines[i];
          line += f::kLineEnd;
          items_.emplace_back(indexed("list.line", n), std::move(line));
        }
        items_.emplace_back("list.end", f::kAttention);
        nextItem_ = 0;
        slot_ = s;
        phase_ = Phase::ListItems;
      })};
    }
    case Phase::ListItems:
      if (b != f::kAck) break;
      if (nextItem_ < items_.size()) {
        auto [step, bytes] = items_[nextItem_];
        return {answer(std::move(step), std::move(bytes), [this] { ++nextItem_; })};
      }
      return {answer("list.done", "", [this] { reset(); })};

    case Phase::StoreSlot: {
      const auto slot = slotNumber(frame);
      if (!slot) return {answer("store.slot", f::kNak, [this] { reset(); })};
      return {answer("store.slot", ok, [this, s = *slot] {
        slot_ = s;
        if (id_.type == ControllerType::X02) {
          phase_ = Phase::StoreName;
        } else {
          state_.programs[s] = Program{};  // a store replaces what the slot held
          changed_ = true;
          phase_ = Phase::StoreLines;
        }
      })};
    }
    case Phase::StoreName: {
      auto name = programName(frame);
      if (!name) return {answer("store.name", f::kNak, [this] { reset(); })};
      return {answer("store.name", ok, [this, n = std::move(*name)] {
        state_.programs[slot_] = Program{n, {}};
        changed_ = true;
        phase_ = Phase::StoreLines;
      })};
    }
    case Phase::StoreLines: {
      if (b.empty() || b.front() != 'N') break;
      const std::string step = indexed("store.line", ++count_);
      const std::string_view text = content(frame);
      const size_t blank = text.find(' ');
      const std::string_view block =
          blank == std::string_view::npos ? std::string_view{} : text.substr(blank + 1);
      // (The slot may have been cleared from outside while the store ran.)
      if (!state_.programs[slot_] || block.size() > kMaxLineLength ||
          state_.programs[slot_]->lines.size() >= kMaxProgramLines)
        return {answer(step, f::kNak, [this] { reset(); })};
      Program& program = *state_.programs[slot_];
      return {answer(step, ok, [this, &program, block] {
        program.lines.emplace_back(block);
        changed_ = true;
      })};
    }

    case Phase::DeleteSlot: {
      const auto slot = slotNumber(frame);
      if (!slot) return {answer("delete.slot", f::kNak, [this] { reset(); })};
      return {answer("delete.slot", ok, [this, s = *slot] {
        slot_ = s;
        phase_ = Phase::DeleteName;
      })};
    }
    case Phase::DeleteName: {
      // The program goes only when the slot holds one and, for X02, the name
      // matches; otherwise the reply is an acceptance that is not "$V".
      const auto name = programName(frame);
      const auto& held = state_.programs[slot_];
      const bool match =
          name && held && (id_.type == ControllerType::X00 || held->name == *name);
      if (!match) return {answer("delete.confirm", ok, [this] { reset(); })};
      return {answer("delete.confirm", f::kDeleteConfirmed, [this] {
        state_.programs[slot_].reset();
        changed_ = true;
        reset();
      })};
    }

    case Phase::ParamSend: {
      const std::string_view text = content(frame);
      const size_t eq = text.rfind('=');
      if (eq == std::string_view::npos) break;
      const std::string step = indexed("param.set", ++count_);
      const auto number = parameterNumber(text.substr(0, eq));
      const auto value = parameterValue(text.substr(eq + 1));
      if (!number || !value || !id_.parameters.knows(state_, *number))
        return {answer(step, f::kNak, [] {})};  // refused, dialogue goes on
      return {answer(step, ok, [this, n = *number, v = *value] {
        state_.parameters[n] = v;
        changed_ = true;
      })};
    }
    case Phase::ParamReceive: {
      if (b == f::kAck) {
        if (!pendingParameter_) break;
        const std::int32_t value = id_.parameters.value(state_, *pendingParameter_);
        return {answer(indexed("param.value", count_), std::to_string(value) + "\r\n",
                       [this] { pendingParameter_.reset(); })};
      }
      const std::string step = indexed("param.request", ++count_);
      const auto number = parameterNumber(content(frame));
      if (!number || !id_.parameters.knows(state_, *number))
        return {answer(step, f::kNak, [this] { pendingParameter_.reset(); })};
      return {answer(step, ok, [this, n = *number] { pendingParameter_ = n; })};
    }

    default:
      break;
  }
  return {unexpected()};
}

std::vector<Response> Dialogue::handleStx(const Frame& frame) {
  const std::string& b = frame.bytes;

  if (b == f::kModelQuery) return {answer("model", id_.modelAnswer, [] {})};
  if (b == f::kVersionQuery) return {answer("version", id_.versionAnswer, [] {})};
  if (b == f::kLon)
    return {answer("plc.lon", kStxAck, [this] { reset(); plcSession_ = true; })};
  if (b == f::kLof) {
    // Refused when an image was being written and did not arrive whole.
    const bool failed = phase_ == Phase::PlcWrite || (phase_ == Phase::PlcWritten && writeFailed_);
    return {answer("plc.lof", failed ? f::kNak : kStxAck, [this] { reset(); })};
  }
  if (b == f::kSqw) {
    if (!plcSession_) return {answer("plc.sqw", f::kNak, [this] { reset(); })};
    return {answer("plc.sqw", kStxAck, [this] {
      phase_ = Phase::PlcWrite;
      newImage_.clear();
      writeFailed_ = false;
      count_ = 0;
    })};
  }
  if (b == f::kSqr) {
    if (!plcSession_ || state_.plcImage.empty())
      return {answer("plc.sqr", f::kNak, [this] { reset(); })};
    return streamImage();
  }
  if (b == f::kFe) {
    if (phase_ != Phase::PlcWrite) return {answer("plc.fe", "", [] {})};
    return {answer("plc.fe", "", [this] {
      if (newImage_.empty()) writeFailed_ = true;
      if (!writeFailed_) {
        state_.plcImage = newImage_;
        changed_ = true;
      }
      phase_ = Phase::PlcWritten;
    })};
  }
  if (phase_ == Phase::PlcWrite) {
    // Records stream in without replies; a bad one spoils the whole image.
    const std::string step = indexed("plc.write", ++count_);
    auto data = recordData(b);
    return {answer(step, "", [this, d = std::move(data)] {
      if (!d || newImage_.size() >= kMaxPlcImageLines || d->size() > kMaxPlcLineDigits)
        writeFailed_ = true;
      else if (!d->empty())
        newImage_.push_back(*d);
    })};
  }
  // A record outside a write is stream data that lost its dialogue: ignored.
  if (isDataRecordShape(b)) return {answer("plc.stray", "", [] {})};
  return {unexpected()};
}

std::vector<Response> Dialogue::streamImage() {
  // The first reply to SQR carries one character ahead of its record: ACK.
  std::vector<Response> out;
  const std::vector<std::string> image = state_.plcImage;
  phase_ = Phase::PlcRead;
  auto stopped = [&out] { return out.back().hangup || out.back().fault == FaultKind::Nak; };
  if (id_.sqrReloading) {
    out.push_back(answer("plc.sqr", kStxAck, [] {}));
    if (stopped()) return out;
  }
  for (size_t i = 0; i < image.size(); ++i) {
    const bool first = i == 0;
    std::string step = first && !id_.sqrReloading ? "plc.sqr" : indexed("plc.record", int(i) + 1);
    std::string bytes = first ? std::string(1, f::ACK) : std::string();
    bytes += plcRecord(image[i]);
    out.push_back(answer(std::move(step), std::move(bytes), [] {}));
    if (stopped()) return out;
  }
  out.push_back(answer("plc.end", f::kFe, [] {}));
  return out;
}

}  // namespace zar::controller
