#include "nc/MultipleTransfer.h"

#include <cctype>
#include <cstdio>

#include "base/SafeFile.h"
#include "link/Frames.h"
#include "nc/ProgramFile.h"

namespace zar::nc {

namespace f = zar::frames;

namespace {

constexpr Page P = Page::Program;

std::string cutAt(std::string_view text, char c) { return std::string(text.substr(0, text.find(c))); }

std::string withoutLineEnd(std::string_view frame) {
  if (frame.ends_with(f::kLineEnd)) frame.remove_suffix(f::kLineEnd.size());
  return std::string(frame);
}

// One slot of a list: "7", "07", "L07", "G61" (any case); 0 when it is none.
int slotOf(std::string_view text) {
  char letter = 0;
  if (!text.empty() && std::isalpha(static_cast<unsigned char>(text[0]))) {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 2) return 0;
  int n = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kServiceSlots) return 0;
  if (letter == 'L' && n > kLastLSlot) return 0;
  if (letter == 'G' && n <= kLastLSlot) return 0;
  if (letter != 0 && letter != 'L' && letter != 'G') return 0;
  return n;
}

}  // namespace

std::string slotName(int slot) {
  char text[8];
  std::snprintf(text, sizeof text, "%c%02d", slot <= kLastLSlot ? 'L' : 'G', slot);
  return text;
}

std::string slotFileName(std::string_view prefix, int slot) { return std::string(prefix) + slotName(slot) + ".NC"; }

std::string inDirectory(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::optional<SlotSelection> parseSlotList(std::string_view text, std::string* error) {
  SlotSelection slots{};
  auto bad = [&](std::string_view item) -> std::optional<SlotSelection> {
    if (error)
      *error = "'" + std::string(item) + "' is no slot or range: give 1-68, L01-L59, G60-G68, a range A-B, or all";
    return std::nullopt;
  };
  if (text.empty()) return bad(text);
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string_view item = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    std::string lower(item);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "all") {
      slots.fill(true);
    } else {
      const size_t dash = item.find('-');
      const int from = slotOf(item.substr(0, dash));
      const int to = dash == std::string_view::npos ? from : slotOf(item.substr(dash + 1));
      if (from == 0 || to == 0 || to < from) return bad(item);
      for (int s = from; s <= to; ++s) slots[s - 1] = true;
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return slots;
}

std::string slotFailedText(int slot) {
  char text[32];
  std::snprintf(text, sizeof text, "In program No %02d", slot);
  return text;
}

MultipleTransfer::Step MultipleTransfer::stop(ProgramRecord& record, DialogueOutcome& outcome, std::string why) {
  outcome = x_.cancelled() ? DialogueOutcome::Cancelled : x_.failure();
  record.ok = false;
  record.result = x_.cancelled() ? "cancelled" : std::move(why);
  return Step::End;
}

// ---------------------------------------------------------------- reading

DialogueOutcome MultipleTransfer::readSlots(const SlotSelection& slots, std::string_view prefix,
                                            const std::string& directory, ProgramPage& page) {
  records_.clear();
  return x_.run([&] {
    size_t count = 0;
    for (const bool on : slots) count += on;
    x_.progress().begin(ProgressUnit::Programs, count);
    if (!x_.connect(page.comIndex)) return x_.failure();
    for (int slot = 1; slot <= kServiceSlots; ++slot) {
      if (!slots[slot - 1]) continue;
      DialogueOutcome outcome = DialogueOutcome::Done;
      if (readSlot(slot, prefix, directory, page, outcome) == Step::End) return outcome;
      x_.progress().advance();
    }
    x_.closeLink();
    return DialogueOutcome::Done;
  });
}

MultipleTransfer::Step MultipleTransfer::readSlot(int slot, std::string_view prefix, const std::string& directory,
                                                  ProgramPage& page, DialogueOutcome& outcome) {
  Operator& op = x_.op();
  Link& link = x_.link();
  records_.push_back({slot, {}, 0, inDirectory(directory, slotFileName(prefix, slot)), false, {}});
  ProgramRecord& record = records_.back();
  op.clearMessages(P);
  x_.message(kConnected);

  if (!x_.send(f::kAttention)) return stop(record, outcome, "no line");
  x_.receiveProgNo(0);
  // A silent controller has closed the port: every further step could only
  // time out again, so the run ends here rather than one slot later.
  if (!link.comm().Enabled()) return stop(record, outcome, "no reply");
  if (!x_.require(f::kList)) return stop(record, outcome, "list refused");

  page.slot = slot;
  show(page, {});
  if (!x_.send(f::slotFrame(slot))) return stop(record, outcome, "no line");
  if (!x_.receiveProgNo(1)) {
    if (x_.cancelled() || !link.comm().Enabled()) return stop(record, outcome, "no reply");
    // The controller refuses a slot that holds nothing: next slot.
    x_.message(0, slotFailedText(slot));
    record.result = "refused";
    return Step::Next;
  }
  if (!x_.send(f::kAck)) return stop(record, outcome, "no line");

  bool expectName = namesTravel(page.typeIndex);
  if (!expectName) page.progName.clear();
  op.setEditorLines(P, {});
  std::vector<std::string> lines;
  size_t accepted = 0;
  static const std::string tooLong = receivedLineTooLongText();
  for (;;) {
    std::string reply;
    if (!x_.receiveLine(reply, kMaxReceivedLine, tooLong)) {
      // Nothing is written for a slot whose program did not come whole:
      // an earlier backup of it stays as it was.
      if (accepted == 0 && !x_.cancelled()) x_.message(0, slotFailedText(slot));
      return stop(record, outcome, accepted == 0 ? "no program lines" : "broken off");
    }
    ++accepted;
    const bool complete = reply == f::kAttention;
    if (!complete) {
      std::string text = cutAt(reply, f::CR);
      if (expectName) {
        page.progName = std::move(text);
        record.name = page.progName;
        expectName = false;
        show(page, {});
      } else {
        // "N<k> " goes; a line without any blank is kept whole.
        const size_t blank = text.find(' ');
        if (blank != std::string::npos) text.erase(0, blank + 1);
        lines.push_back(cutAt(text, f::LF));
        op.appendEditorLine(P, lines.back());
      }
    }
    if (!x_.send(f::kAck)) return stop(record, outcome, "no line");
    if (complete) break;
  }
  record.lines = lines.size();
  x_.message(kReceived);
  x_.message(kSaving);
  show(page, record.file);
  const std::string content = formatProgramFile(slot, page.progName, page.typeIndex, lines);
  std::string why;
  if (!replaceFileContent(record.file, content, &why)) {
    x_.message(0, record.file + ": " + why);
    x_.closeLink();
    outcome = DialogueOutcome::FileFailed;
    record.result = "not written: " + why;
    return Step::End;
  }
  x_.message(kSaved);
  record.ok = true;
  record.result = "saved";
  return Step::Next;
}

// ---------------------------------------------------------------- writing

DialogueOutcome MultipleTransfer::writeFiles(const std::vector<std::string>& names, const std::string& directory,
                                             bool inquire, ProgramPage& page) {
  records_.clear();
  return x_.run([&] {
    x_.progress().begin(ProgressUnit::Programs, names.size());
    if (!x_.connect(page.comIndex)) return x_.failure();
    for (const std::string& name : names) {
      DialogueOutcome outcome = DialogueOutcome::Done;
      if (writeFile(name, directory, inquire, page, outcome) == Step::End) return outcome;
      x_.progress().advance();
    }
    x_.closeLink();
    return DialogueOutcome::Done;
  });
}

MultipleTransfer::Step MultipleTransfer::writeFile(const std::string& name, const std::string& directory,
                                                   bool inquire, ProgramPage& page, DialogueOutcome& outcome) {
  Operator& op = x_.op();
  Link& link = x_.link();
  records_.push_back({0, {}, 0, inDirectory(directory, name), false, {}});
  ProgramRecord& record = records_.back();
  op.clearMessages(P);
  x_.message(kLoading);
  show(page, record.file);

  // The whole file is read before anything is sent for it: a file that is
  // not a program stops the run with nothing half-stored.
  ProgramFileData d = readProgramFile(record.file, page.typeIndex);
  auto fileFault = [&](std::string why) {
    outcome = DialogueOutcome::FileFailed;
    record.result = std::move(why);
    return Step::End;
  };
  switch (d.status) {
    case LoadStatus::CannotOpen:
      x_.message(0, record.file + ": " + d.error);
      return fileFault("cannot open: " + d.error);
    case LoadStatus::NoSlot: return fileFault("no program number");
    case LoadStatus::BadSlot: x_.message(kBadSlot); return fileFault("program number outside 1-99");
    case LoadStatus::NoName: return fileFault("no name line");
    case LoadStatus::NameTooLong: x_.message(kNameTooLong); return fileFault("name longer than 8 characters");
    case LoadStatus::Loaded: break;
  }
  op.setEditorLines(P, {});
  const int slot = *d.slot;
  record.slot = slot;
  record.name = *d.name;
  page.slot = slot;
  page.progName = *d.name;
  show(page, record.file);

  x_.message(kConnected);
  if (!x_.ask(f::kAttention)) return stop(record, outcome, "no reply");
  if (!x_.require(f::kList)) return stop(record, outcome, "list refused");
  if (!x_.send(f::slotFrame(slot))) return stop(record, outcome, "no line");
  const bool exists = x_.tryReceive();
  if (!exists && !link.comm().Enabled()) return stop(record, outcome, "no reply");
  if (exists) {
    if (!x_.require(f::kAck)) return stop(record, outcome, "no reply");
    if (x_.reply() != f::kAttention) page.tmpProgName = cutAt(x_.reply(), f::CR);

    const bool replace =
        !inquire || x_.confirm(texts_.confirmationText(kAskReplace, slot, page.tmpProgName));
    if (x_.cancelled()) return stop(record, outcome, "cancelled");
    if (replace) {
      x_.message(kDeleting);
      if (!x_.ask(f::kAttention)) return stop(record, outcome, "no reply");
      if (!x_.require(f::kDelete) || !x_.require(f::slotFrame(slot)) ||
          !x_.require(f::nameFrame(page.tmpProgName)))
        return stop(record, outcome, "delete failed");
      x_.message(x_.reply() == f::kDeleteConfirmed ? kDeleteConfirmed : kDeleteNotConfirmed);
    }
  }
  x_.reconnectPause();
  if (link.stopIfCancelled()) return stop(record, outcome, "cancelled");

  const std::vector<std::string>& lines = d.lines;
  op.setEditorLines(P, lines);
  record.lines = lines.size();
  x_.message(kLinesLoaded, ":" + std::to_string(lines.size()));
  x_.message(kLoaded);
  x_.message(kSending);

  if (!x_.ask(f::kAttention)) return stop(record, outcome, "no reply");
  if (!x_.require(f::kStore) || !x_.require(f::slotFrame(slot)))
    return stop(record, outcome, "store refused");
  if (namesTravel(page.typeIndex) && !x_.require(f::nameFrame(page.progName)))
    return stop(record, outcome, "store refused");
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string frame = f::programLineFrame(static_cast<int>(k + 1), lines[k]);
    x_.message(0, withoutLineEnd(frame));
    if (!x_.send(frame) || !x_.receive()) {
      char why[64];
      std::snprintf(why, sizeof why, "stopped after %zu of %zu lines", k, lines.size());
      return stop(record, outcome, why);
    }
  }
  x_.message(kSent);
  record.ok = true;
  record.result = "stored";
  return Step::Next;
}

}  // namespace zar::nc
