// zarctl send|receive|delete: the program page's three dialogues from the
// command line, with the window's settings files, catalog texts and
// confirmations (asked on the terminal, or answered in advance with --yes).
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/SafeFile.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/LinkSession.h"
#include "nc/ProgramFile.h"
#include "nc/ProgramTransfer.h"
#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace zar::cli {

namespace {

using nc::TransferOutcome;

struct TransferOptions {
  std::string command;  // send, receive, delete
  std::string target;   // FILE or SLOT
  LinkOptions link;
  std::string slot, name, output;
  CLI::App* app = nullptr;
};

[[noreturn]] void fail(const TransferOptions& o, const std::string& text, int code) { cli::fail(o.command, text, code); }

int number(const TransferOptions& o, const std::string& what, const std::string& text, int low, int high) {
  return wholeNumber(o.command, what, text, low, high);
}

// The line that says why a dialogue failed: the first one carrying a
// failure message (port, time-out, hang-up, write, refusal, deletion not
// confirmed); a port that did not open also gets the reason line after it.
std::string failureText(const Session& s, const CommandOperator& op, TransferOutcome outcome) {
  if (outcome == TransferOutcome::LineTooLong) {
    for (auto it = op.lines.rbegin(); it != op.lines.rend(); ++it)
      if (it->find("too long") != std::string::npos || it->find("longer than") != std::string::npos)
        return toUtf8(*it, s.language);
  }
  const std::string line = s.failureLine(op.lines, {102, 103, 104, 122, 129});
  if (!line.empty()) return line;
  switch (outcome) {
    case TransferOutcome::Declined: return "not confirmed; nothing was done";
    case TransferOutcome::EmptyEditor: return toUtf8(s.catalog.text(121), s.language);
    default: return std::string(nc::outcomeName(outcome));
  }
}

int exitCodeOf(TransferOutcome outcome) {
  switch (outcome) {
    case TransferOutcome::Done: return 0;
    case TransferOutcome::Refused:
    case TransferOutcome::NotDeleted: return kExitRefused;
    case TransferOutcome::Declined: return kExitDeclined;
    case TransferOutcome::Cancelled: return kExitCancelled;
    case TransferOutcome::EmptyEditor: return kExitFile;
    case TransferOutcome::LineTooLong: return kExitFile;
    default: return kExitLink;
  }
}

void checkExtras(const TransferOptions& o) {
  if (o.app && !o.app->remaining().empty())
    fail(o, "unexpected argument '" + o.app->remaining().front() + "' (see --help)", kExitUsage);
}

void runTransfer(const TransferOptions& o) {
  checkExtras(o);
  if (o.target.empty())
    fail(o, o.command == "send" ? "which file? (zarctl send FILE)" : "which slot? (zarctl " + o.command + " SLOT)",
         kExitUsage);
  Session s(o.command, o.link);
  // A program received is not thrown away because its file cannot be written.
  if (std::string why; !o.output.empty() && !checkReplaceable(o.output, &why))
    fail(o, "cannot write " + o.output + ": " + why, kExitFile);
  const bool programToStdout = o.command == "receive" && o.output.empty();
  // A receive keeps standard output for the program (with -o too, so that
  // scripts find every message, a port's reason included, in one place);
  // send and delete, which have no data to give, write their log there.
  CommandOperator op(s.language, o.link.yes, o.command == "receive");
  MessageLog log(s.catalog, op);

  nc::ProgramPage page;
  page.typeIndex = s.typeIndex;
  page.comIndex = s.comIndex;
  if (o.command == "send") {
    nc::ProgramFiles files(log);
    const nc::LoadStatus status = files.load(o.target, page);
    if (status == nc::LoadStatus::CannotOpen) fail(o, "cannot read " + o.target + ": " + files.lastError(), kExitFile);
    if (status != nc::LoadStatus::Loaded)
      fail(o, status == nc::LoadStatus::BadSlot       ? toUtf8(s.catalog.text(112), s.language)
              : status == nc::LoadStatus::NameTooLong ? toUtf8(s.catalog.text(113), s.language)
                                                      : o.target + " ends before its program",
           kExitFile);
    if (!o.slot.empty()) page.slot = number(o, "--slot", o.slot, 1, 99);
    if (!o.name.empty()) {
      page.progName = fromUtf8(o.name, s.language);
      if (page.progName.size() > nc::kMaxNameLength) fail(o, "--name takes at most 8 characters", kExitUsage);
    }
  } else {
    page.slot = number(o, "SLOT", o.target, 1, 99);
  }

  SessionLink port(s, op, log);
  nc::ProgramTransfer transfer(port.link(), log);
  const TransferOutcome outcome = port.run([&] {
    if (o.command == "send") return transfer.TransBtnClick(page);
    if (o.command == "receive") return transfer.RcvBtnClick(page);
    return transfer.DelProgBtnClick(page);
  });

  // A send that stopped part-way also says what the slot holds now.
  const std::string incomplete =
      transfer.partialSendNote().empty() ? std::string() : "\n" + transfer.partialSendNote();
  if (outcome == TransferOutcome::Cancelled) {
    std::string text = "cancelled; the port is closed";
    if (o.command == "receive") {
      const size_t n = transfer.linesReceived();
      text += ", nothing was written (" + std::to_string(n) + (n == 1 ? " line" : " lines") + " had arrived)";
    }
    fail(o, text + incomplete, kExitCancelled);
  }
  if (outcome != TransferOutcome::Done) {
    if (o.command == "receive" && transfer.linesReceived() > 0)
      std::cerr << "zarctl receive: " << transfer.linesReceived() << " lines had arrived; nothing was written\n";
    fail(o, failureText(s, op, outcome) + incomplete, exitCodeOf(outcome));
  }

  if (o.command == "receive") {
    const std::vector<std::string> lines = op.editorLines(Page::Program);
    if (programToStdout) {
      std::cout << nc::formatProgramFile(page.slot, page.progName, page.typeIndex, lines) << std::flush;
      if (!std::cout) fail(o, "cannot write the program to standard output", kExitFile);
    } else {
      nc::ProgramFiles files(log);
      if (!files.save(o.output, page)) {
        const std::string kept = keepInTemporaryFile(
            nc::formatProgramFile(page.slot, page.progName, page.typeIndex, lines), "zarctl-receive-", ".nc");
        fail(o,
             "cannot write " + o.output + ": " + files.lastError() +
                 (kept.empty() ? "; the received program is lost" : "; the received program is kept in " + kept),
             kExitFile);
      }
    }
  }
}

CLI::App* addTransfer(CLI::App& app, const std::string& name, const std::string& description,
                      const std::string& targetName, const std::string& targetHelp) {
  auto o = std::make_shared<TransferOptions>();
  o->command = name;
  CLI::App* cmd = app.add_subcommand(name, description);
  o->app = cmd;
  setExitCodes(cmd,
               {{"0", "done"},
                {"2", "bad arguments"},
                {"3", "the link failed (the port would not open, no reply in time, the line hung up, a write failed)"},
                {"4", "the controller refused (or did not confirm a deletion)"},
                {"5", "a confirmation was declined"},
                {"6", "a file could not be read or written, or holds nothing to send"},
                {"130", "cancelled by Ctrl-C or SIGTERM (nothing more was sent, the port was closed, no output "
                        "was written)"}},
               "Defaults come from Init.Ini and Customer.ini (where zarctl --help says); messages use its "
               "message catalog.");
  cmd->allow_extras();
  cmd->add_option(targetName, o->target, targetHelp)->type_name(targetName);
  addLinkOptions(*cmd, o->link);
  if (name == "send") {
    cmd->add_option("--slot", o->slot, "Send into this slot (1-99) instead of the file's")->type_name("SLOT");
    cmd->add_option("--name", o->name, "Program name to send instead of the file's (X02)")->type_name("NAME");
  }
  if (name == "receive")
    cmd->add_option("-o,--output", o->output,
                    "Save into this NC program file (default: the file's content on standard output; "
                    "messages go to standard error either way)")
        ->type_name("FILE");
  cmd->callback([o] { runTransfer(*o); });
  return cmd;
}

}  // namespace

void addTransferCommands(CLI::App& app) {
  addTransfer(app, "send", "Send an NC program file (.nc/.ncd) into a slot of the controller", "FILE",
              "NC program file: slot line, name line (X02), N-numbered lines");
  addTransfer(app, "receive", "Receive the program of a slot from the controller", "SLOT", "Slot 1-99");
  addTransfer(app, "delete", "Delete the program of a slot on the controller", "SLOT", "Slot 1-99");
}

}  // namespace zar::cli
