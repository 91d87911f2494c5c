#include "param/ParameterTransfer.h"

#include "link/Frames.h"

namespace zar::param {

namespace f = zar::frames;

namespace {

std::string requestFrame(const ParameterEntry& entry) { return std::to_string(entry.number) + f::kLineEnd; }

}  // namespace

DialogueOutcome ParameterTransfer::ParTrnBtnClick() {
  return x_.run([&] { return send(); });
}

DialogueOutcome ParameterTransfer::ParRcvBtnClick(const std::vector<ParameterEntry>& checked) {
  return x_.run([&] { return receive(checked); });
}

DialogueOutcome ParameterTransfer::send() {
  settingsSent_ = 0;
  malformedLine_.reset();
  malformedProblem_ = LineProblem::None;
  const std::vector<std::string> lines = x_.op().editorLines(Page::Parameter);
  if (lines.empty()) {
    x_.message(kEditorEmpty);
    x_.beep();
    return DialogueOutcome::EmptyEditor;
  }
  x_.beep();
  if (!x_.confirm(x_.log().catalog().text(kAskSend))) return DialogueOutcome::Declined;

  if (!x_.connect(comIndex_)) return x_.failure();
  x_.message(kSending);
  if (!x_.ask(f::kAttention)) return x_.failure();
  if (!x_.require(f::kParamSend)) return x_.failure();

  size_t settings = 0;
  for (const std::string& line : lines) settings += parseParameterLine(line).form != LineForm::Remark;
  x_.progress().begin(ProgressUnit::Parameters, settings);
  DialogueOutcome outcome = DialogueOutcome::Done;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const ParameterLine parsed = parseParameterLine(line);
    if (parsed.form == LineForm::Remark) {
      x_.message(0, skippedLine(line));
      continue;
    }
    if (parsed.form == LineForm::Malformed) {
      x_.message(kLineFormat);
      x_.beep();
      malformedLine_ = i;
      malformedProblem_ = parsed.problem;
      outcome = DialogueOutcome::LineFormat;
      break;
    }
    x_.message(0, shownLine(line));
    if (!x_.require(settingFrame(parsed.numberText, parsed.value))) {
      outcome = x_.failure();
      break;
    }
    ++settingsSent_;
    x_.progress().advance();
  }
  // However the loop ended.
  x_.message(kSent);
  x_.closeLink();
  return outcome;
}

DialogueOutcome ParameterTransfer::receive(const std::vector<ParameterEntry>& checked) {
  Operator& op = x_.op();
  received_.clear();
  editorCleared_ = false;
  if (!x_.connect(comIndex_)) return x_.failure();
  x_.message(kReceiving);
  if (!x_.ask(f::kAttention)) return x_.failure();
  if (!x_.require(f::kParamReceive)) return x_.failure();

  op.setEditorLines(Page::Parameter, {});
  editorCleared_ = true;
  x_.progress().begin(ProgressUnit::Parameters, checked.size());
  DialogueOutcome outcome = DialogueOutcome::Done;
  auto lost = [&](const std::string& prefix, DialogueOutcome why) {
    if (outcome == DialogueOutcome::Done) outcome = why;
    x_.message(0, prefix + std::string(kNoValue));
  };
  for (const ParameterEntry& entry : checked) {
    const std::string prefix = receivedLinePrefix(entry);
    received_.push_back({entry, std::nullopt});
    if (!x_.send(requestFrame(entry))) {
      if (outcome == DialogueOutcome::Done) outcome = x_.failure();
      break;
    }
    if (!x_.receive()) {
      lost(prefix, x_.failure());
      break;
    }
    if (!x_.send(f::kAck)) {
      if (outcome == DialogueOutcome::Done) outcome = x_.failure();
      break;
    }
    if (!x_.receive()) {
      // The port is closed now: the next request's reply times out, which
      // marks that parameter too and ends the loop.
      lost(prefix, x_.failure());
      x_.progress().advance();
      continue;
    }
    const std::string_view value = replyValueText(x_.reply());
    if (!isParameterValue(value)) {
      lost(prefix, DialogueOutcome::BadValue);
      x_.progress().advance();
      continue;
    }
    op.appendEditorLine(Page::Parameter, prefix + std::string(value));
    received_.back().value = std::string(value);
    x_.progress().advance();
  }
  x_.message(kReceived);
  x_.closeLink();
  return outcome;
}

}  // namespace zar::param
