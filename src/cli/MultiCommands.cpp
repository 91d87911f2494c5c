// zarctl multi read|write: many program slots in one run, the two runs of
// the window's many-programs dialog, with a summary table at the end so a
// backup of a whole machine can be checked at a glance.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/LinkSession.h"
#include "nc/MultipleTransfer.h"
#include "ui/Encoding.h"

namespace zar::cli {

namespace {

struct MultiOptions {
  std::string command;  // "multi read", "multi write"
  LinkOptions link;
  std::string slots;
  std::string prefix;
  std::string dir = ".";
  std::vector<std::string> files;
  bool noInquire = false;
};

int exitCodeOf(DialogueOutcome outcome) {
  switch (outcome) {
    case DialogueOutcome::Done: return 0;
    case DialogueOutcome::Refused: return kExitRefused;
    case DialogueOutcome::Cancelled: return kExitCancelled;
    case DialogueOutcome::FileFailed: return kExitFile;
    default: return kExitLink;
  }
}

void printSummary(const std::vector<nc::ProgramRecord>& records, int language) {
  std::printf("%-5s %-8s %6s  %-7s %s\n", "slot", "name", "lines", "result", "file");
  for (const nc::ProgramRecord& r : records) {
    const std::string slot = r.slot > 0 ? nc::slotName(r.slot) : std::string("-");
    std::printf("%-5s %-8s %6zu  %-7s %s\n", slot.c_str(), toUtf8(r.name, language).c_str(), r.lines,
                r.result.substr(0, r.result.find(':')).c_str(), r.file.c_str());
    if (const size_t colon = r.result.find(':'); colon != std::string::npos)
      std::printf("      %s\n", r.result.c_str());
  }
  std::fflush(stdout);
}

void runMulti(const MultiOptions& o, bool reading) {
  nc::SlotSelection chosen{};
  if (reading) {
    std::string why;
    const auto parsed = nc::parseSlotList(o.slots, &why);
    if (!parsed) fail(o.command, why, kExitUsage);
    chosen = *parsed;
    if (o.prefix.size() > nc::kMaxPrefixLength) fail(o.command, "--prefix takes at most 20 characters", kExitUsage);
  } else {
    if (o.files.empty()) fail(o.command, "which files? (zarctl multi write FILE...)", kExitUsage);
    if (o.files.size() > static_cast<size_t>(nc::kMaxFiles))
      fail(o.command, "at most 68 files go in one run, not " + std::to_string(o.files.size()), kExitUsage);
  }
  Session s(o.command, o.link);
  CommandOperator op(s.language, o.link.yes, true);
  MessageLog log(s.catalog, op);
  nc::ProgramPage page;
  page.typeIndex = s.typeIndex;
  page.comIndex = s.comIndex;
  SessionLink port(s, op, log);
  nc::MultipleTransfer run(port.link(), log);
  const DialogueOutcome outcome = port.run([&] {
    if (reading) return run.readSlots(chosen, fromUtf8(o.prefix, s.language), o.dir, page);
    return run.writeFiles(o.files, "", s.settings.multipleConfirm && !o.noInquire, page);
  });
  printSummary(run.records(), s.language);
  if (outcome == DialogueOutcome::Cancelled)
    fail(o.command, "cancelled; the port is closed, files already written are whole, the slot under way has none",
         kExitCancelled);
  if (outcome != DialogueOutcome::Done) {
    std::string why = s.failureLine(op.lines, {102, 103, 104, 112, 113, 122, 129});
    if (why.empty() && !run.records().empty()) why = run.records().back().result;
    fail(o.command, why.empty() ? std::string(outcomeName(outcome)) : why, exitCodeOf(outcome));
  }
}

void setMultiExitCodes(CLI::App* cmd) {
  setExitCodes(cmd,
               {{"0", "the run went through (a slot the controller refused is named in the table)"},
                {"2", "bad arguments (a slot list that is none, more than 68 files)"},
                {"3", "the link failed (the port would not open, no reply in time, the line hung up, a write failed)"},
                {"4", "the controller refused a step that must be accepted"},
                {"6", "a file could not be read or written, or is not a program file"},
                {"130", "cancelled by Ctrl-C or SIGTERM (nothing more was sent, the port was closed; the slot "
                        "under way wrote no file)"}},
               "The summary table goes to standard output, messages to standard error.");
}

}  // namespace

void addMultiCommands(CLI::App& app) {
  CLI::App* multi = app.add_subcommand("multi", "Read or write many program slots (L01-L59, G60-G68) in one run");
  multi->require_subcommand(1);
  setExitCodes(multi, {{"0", "done"}, {"2", "no subcommand, or an unknown one"}}, "See zarctl multi read|write --help.");

  auto r = std::make_shared<MultiOptions>();
  r->command = "multi read";
  CLI::App* read = multi->add_subcommand("read", "Read slots into files PREFIX L05.NC, G61.NC, ... in a directory");
  setMultiExitCodes(read);
  read->add_option("SLOTS", r->slots, "Slots: 3,61  L01-L16  G60-G68  all")->required()->type_name("SLOTS");
  read->add_option("--prefix", r->prefix, "Put in front of every file name (at most 20 characters)")
      ->type_name("TEXT");
  read->add_option("--dir", r->dir, "Directory of the files (default: the working directory)")->type_name("DIR");
  addLinkOptions(*read, r->link);
  read->callback([r] { runMulti(*r, true); });

  auto w = std::make_shared<MultiOptions>();
  w->command = "multi write";
  CLI::App* write = multi->add_subcommand("write", "Write program files into the slots their first lines name");
  setMultiExitCodes(write);
  write->add_option("FILE", w->files, "NC program files, sent in this order (at most 68)")->type_name("FILE");
  write->add_flag("--no-inquire", w->noInquire,
                  "Replace programs already in the slots without asking (default: ask, as Init.Ini says)");
  addLinkOptions(*write, w->link);
  write->callback([w] { runMulti(*w, false); });
}

}  // namespace zar::cli
