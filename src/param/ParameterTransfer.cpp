#include "param/ParameterTransfer.h"

#include "link/Frames.h"

namespace zar::param {

namespace f = zar::frames;

namespace {

std::string requestFrame(const ParameterEntry& entry) { return std::to_string(entry.number) + f::kLineEnd; }

}  // namespace

std::string_view outcomeName(ParameterOutcome outcome) {
  switch (outcome) {
    case ParameterOutcome::Done: return "done";
    case ParameterOutcome::EmptyEditor: return "empty editor";
    case ParameterOutcome::Declined: return "declined";
    case ParameterOutcome::Malformed: return "malformed line";
    case ParameterOutcome::Refused: return "refused";
    case ParameterOutcome::LinkFailed: return "link failed";
    case ParameterOutcome::BadValue: return "bad value";
    case ParameterOutcome::Busy: return "busy";
  }
  return "?";
}

void ParameterTransfer::message(int id, std::string_view extra) { log_.addTo(Page::Parameter, id, extra); }

ParameterOutcome ParameterTransfer::ParTrnBtnClick() {
  DialogueGuard guard(link_);
  if (!guard) return ParameterOutcome::Busy;
  const ParameterOutcome outcome = send();
  if (link_.comm().Enabled()) link_.closeLink();
  return outcome;
}

ParameterOutcome ParameterTransfer::ParRcvBtnClick(const std::vector<ParameterEntry>& checked) {
  DialogueGuard guard(link_);
  if (!guard) return ParameterOutcome::Busy;
  const ParameterOutcome outcome = receive(checked);
  if (link_.comm().Enabled()) link_.closeLink();
  return outcome;
}

ParameterOutcome ParameterTransfer::send() {
  Operator& op = log_.op();
  settingsSent_ = 0;
  malformedLine_.reset();
  malformedProblem_ = LineProblem::None;
  const std::vector<std::string> lines = op.editorLines(Page::Parameter);
  if (lines.empty()) {
    message(kEditorEmpty);
    op.beep();
    return ParameterOutcome::EmptyEditor;
  }
  op.beep();
  if (!op.confirm(log_.catalog().text(kAskSend))) return ParameterOutcome::Declined;

  link_.ConnectRS232(comIndex_);
  message(kSending);
  if (!link_.TransToZAR(f::kAttention)) return ParameterOutcome::LinkFailed;
  link_.ReceiveFromZAR(Link::kReplyLimit, 0);
  auto failed = [this] { return link_.reply() == f::kNak ? ParameterOutcome::Refused : ParameterOutcome::LinkFailed; };
  if (!link_.TransToZAR(f::kParamSend)) return ParameterOutcome::LinkFailed;
  if (!link_.ReceiveFromZAR(Link::kReplyLimit, 1)) return failed();

  ParameterOutcome outcome = ParameterOutcome::Done;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const ParameterLine parsed = parseParameterLine(line);
    if (parsed.form == LineForm::Remark) {
      message(0, skippedLine(line));
      continue;
    }
    if (parsed.form == LineForm::Malformed) {
      message(kLineFormat);
      op.beep();
      malformedLine_ = i;
      malformedProblem_ = parsed.problem;
      outcome = ParameterOutcome::Malformed;
      break;
    }
    message(0, shownLine(line));
    if (!link_.TransToZAR(settingFrame(parsed.numberText, parsed.value))) {
      outcome = ParameterOutcome::LinkFailed;
      break;
    }
    if (!link_.ReceiveFromZAR(Link::kReplyLimit, 1)) {
      outcome = failed();
      break;
    }
    ++settingsSent_;
  }
  message(kSent);
  link_.closeLink();
  return outcome;
}

ParameterOutcome ParameterTransfer::receive(const std::vector<ParameterEntry>& checked) {
  Operator& op = log_.op();
  received_.clear();
  editorCleared_ = false;
  link_.ConnectRS232(comIndex_);
  message(kReceiving);
  if (!link_.TransToZAR(f::kAttention)) return ParameterOutcome::LinkFailed;
  link_.ReceiveFromZAR(Link::kReplyLimit, 0);
  auto failed = [this] { return link_.reply() == f::kNak ? ParameterOutcome::Refused : ParameterOutcome::LinkFailed; };
  if (!link_.TransToZAR(f::kParamReceive)) return ParameterOutcome::LinkFailed;
  if (!link_.ReceiveFromZAR(Link::kReplyLimit, 1)) return failed();

  op.setEditorLines(Page::Parameter, {});
  editorCleared_ = true;
  ParameterOutcome outcome = ParameterOutcome::Done;
  auto note = [&outcome](ParameterOutcome failure) {
    if (outcome == ParameterOutcome::Done) outcome = failure;
  };
  for (const ParameterEntry& entry : checked) {
    const std::string prefix = receivedLinePrefix(entry);
    received_.push_back({entry, std::nullopt});
    if (!link_.TransToZAR(requestFrame(entry))) {
      note(ParameterOutcome::LinkFailed);
      break;
    }
    if (!link_.ReceiveFromZAR(Link::kReplyLimit, 1)) {
      note(failed());
      message(0, prefix + std::string(kNoValue));
      break;
    }
    if (!link_.TransToZAR(f::kAck)) {
      note(ParameterOutcome::LinkFailed);
      break;
    }
    if (!link_.ReceiveFromZAR(Link::kReplyLimit, 1)) {
      // The port is closed now: the next request's reply times out.
      note(failed());
      message(0, prefix + std::string(kNoValue));
      continue;
    }
    const std::string_view value = replyValueText(link_.reply());
    if (!isParameterValue(value)) {
      note(ParameterOutcome::BadValue);
      message(0, prefix + std::string(kNoValue));
      continue;
    }
    op.appendEditorLine(Page::Parameter, prefix + std::string(value));
    received_.back().value = std::string(value);
  }
  message(kReceived);
  link_.closeLink();
  return outcome;
}

}  // namespace zar::param
