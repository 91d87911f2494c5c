// zarctl send|receive|delete: the program page's three dialogues from the
// command line, with the window's settings files, catalog texts and
// confirmations (asked on the terminal, or answered in advance with --yes).
#include <CLI/CLI.hpp>

#include <charconv>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/SafeFile.h"
#include "base/Settings.h"
#include "cli/CancelSignals.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/ProgressLine.h"
#include "cli/TerminalOperator.h"
#include "controller/ControllerConfig.h"
#include "link/Link.h"
#include "link/PortNames.h"
#include "nc/ProgramFile.h"
#include "nc/ProgramTransfer.h"
#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace zar::cli {

namespace {

using nc::TransferOutcome;

constexpr int kExitUsage = 2;
constexpr int kExitLink = 3;
constexpr int kExitRefused = 4;
constexpr int kExitDeclined = 5;
constexpr int kExitFile = 6;


struct TransferOptions {
  std::string command;  // send, receive, delete
  std::string target;   // FILE or SLOT
  std::string port;
  std::string type = "X02";
  std::string timeout, byteDelay, transitMode, baud, reconnectDelay, language;
  std::string slot, name, output;
  bool yes = false;
  bool trace = false;
  CLI::App* app = nullptr;
};

// Each line of `text` goes to standard error after "zarctl COMMAND: ".
[[noreturn]] void fail(const TransferOptions& o, const std::string& text, int code) {
  size_t from = 0;
  do {
    const size_t end = text.find('\n', from);
    std::cerr << "zarctl " << o.command << ": " << text.substr(from, end - from) << "\n";
    from = end == std::string::npos ? end : end + 1;
  } while (from != std::string::npos);
  throw CLI::RuntimeError(code);
}

// A whole decimal number within [low, high], or a usage error.
int number(const TransferOptions& o, const std::string& what, const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
    fail(o, what + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
                text + "'",
         kExitUsage);
  return value;
}

// The person at the terminal, with the editor kept here (read line by line
// while a send runs) and every message line remembered for the summary.
// Message lines and questions make room for the progress line, if any.
class CommandOperator : public TerminalOperator {
 public:
  CommandOperator(int language, bool yes, bool messagesToStderr)
      : TerminalOperator(language, yes), language_(language), toStderr_(messagesToStderr) {}

  std::vector<std::string> lines;
  ProgressLine* progress = nullptr;

  void appendMessage(Page page, std::string_view line) override {
    lines.emplace_back(line);
    if (progress) progress->hide();
    if (toStderr_)
      std::cerr << toUtf8(line, language_) << '\n';
    else
      TerminalOperator::appendMessage(page, line);
    if (progress) progress->show();
  }
  int showCatalogDialog(std::string_view text, DialogType type, const std::vector<ButtonKind>& buttons,
                        int focus) override {
    if (progress) progress->hide();
    const int result = TerminalOperator::showCatalogDialog(text, type, buttons, focus);
    if (progress) progress->show();
    return result;
  }
  std::vector<std::string> editorLines(Page) const override { return editor_; }
  void setEditorLines(Page, const std::vector<std::string>& lines) override { editor_ = lines; }
  void appendEditorLine(Page, std::string_view line) override { editor_.emplace_back(line); }
  size_t editorLineCount(Page) const override { return editor_.size(); }
  std::string editorLine(Page, size_t index) const override {
    return index < editor_.size() ? editor_[index] : std::string();
  }

 private:
  int language_;
  bool toStderr_;
  std::vector<std::string> editor_;
};

// Everything one command works with, set up from the working directory's
// settings files and the options.
struct Session {
  Settings settings;
  LinkSettings link;
  int language = 1;
  int comIndex = 0;
  std::string devicePath;  // --port given as a device path
  int typeIndex = nc::kTypeX02;
  MessageCatalog catalog;

  Session(const TransferOptions& o) {
    settings = loadSettings(".");
    link = LinkSettings::from(settings);
    language = settings.language;
    if (!o.language.empty()) language = number(o, "--language", o.language, 0, 1);
    if (!o.timeout.empty()) link.timeoutMs = number(o, "--timeout", o.timeout, 0, 600000);
    if (!o.byteDelay.empty()) link.byteDelayMs = number(o, "--byte-delay", o.byteDelay, 0, 10000);
    if (!o.transitMode.empty()) link.transitMode = number(o, "--transit-mode", o.transitMode, 0, 1);
    if (!o.reconnectDelay.empty())
      link.reconnectDelayMs = number(o, "--reconnect-delay", o.reconnectDelay, 0, 60000);
    if (o.trace) link.sendTrace = link.receiveTrace = true;
    if (!o.baud.empty()) {
      static constexpr int rates[] = {1200, 2400, 4800, 9600, 19200};
      const int baud = number(o, "--baud", o.baud, 1200, 19200);
      link.baudSelector = 0;
      for (int i = 0; i < 5; ++i)
        if (rates[i] == baud) link.baudSelector = i + 1;
      if (link.baudSelector == 0) fail(o, "--baud must be 1200, 2400, 4800, 9600 or 19200", kExitUsage);
    }

    const auto type = controller::parseControllerType(o.type);
    if (!type) fail(o, "--type must be X02 or X00/X01, not '" + o.type + "'", kExitUsage);
    typeIndex = *type == controller::ControllerType::X02 ? nc::kTypeX02 : nc::kTypeX00;

    comIndex = settings.defaultPort >= 0 ? settings.defaultPort : 0;
    if (!o.port.empty()) {
      if (o.port.front() == '/') {
        devicePath = o.port;  // stands in for the default COM number
      } else {
        const int n = PortDirectory::comNumberOf(o.port);
        if (n == 0) fail(o, "--port must be COM1 to COM99 or a device path, not '" + o.port + "'", kExitUsage);
        comIndex = n - 1;
      }
    }

    if (!catalog.load(".", language)) {
      std::cerr << "zarctl " << o.command << ": no message catalog " << MessageCatalog::fileNameFor(language)
                << " in the working directory; messages show their numbers\n";
      std::string text;
      for (int i = 1; i <= MessageCatalog::kMaxEntries; ++i)
        text += "M" + std::to_string(i) + " [message " + std::to_string(i) + "] \n";
      catalog.loadText(text);
    }
  }
};

// The line that says why a dialogue failed: the first one carrying a
// failure message (port, time-out, hang-up, write, refusal, deletion not
// confirmed); a port that did not open also gets the reason line after it.
std::string failureText(const Session& s, const CommandOperator& op, TransferOutcome outcome) {
  if (outcome == TransferOutcome::LineTooLong) {
    for (auto it = op.lines.rbegin(); it != op.lines.rend(); ++it)
      if (it->find("too long") != std::string::npos || it->find("longer than") != std::string::npos)
        return toUtf8(*it, s.language);
  }
  for (size_t i = 0; i < op.lines.size(); ++i) {
    const std::string& line = op.lines[i];
    if (line == Link::kHungUpText) return line;
    for (int id : {102, 103, 104, 122, 129}) {
      const std::string text = s.catalog.text(id);
      if (text.empty() || !line.starts_with(text)) continue;
      std::string failure = toUtf8(line, s.language);
      if (id == 102 && i + 1 < op.lines.size()) failure += "\n" + toUtf8(op.lines[i + 1], s.language);
      return failure;
    }
  }
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
    case TransferOutcome::Cancelled: return CancelSignals::kExitCode;
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
  Session s(o);
  // A program received is not thrown away because its file cannot be written.
  if (std::string why; !o.output.empty() && !checkReplaceable(o.output, &why))
    fail(o, "cannot write " + o.output + ": " + why, kExitFile);
  const bool programToStdout = o.command == "receive" && o.output.empty();
  CommandOperator op(s.language, o.yes, programToStdout);
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

  TComm comm;
  std::unique_ptr<PortDirectory> ports;
  if (s.devicePath.empty()) ports = std::make_unique<PortDirectory>(".");
  Link link(comm, s.link, log, ports.get());
  link.setDevicePath(s.devicePath);
  nc::ProgramTransfer transfer(link, log);

  // Progress on standard error, only where someone watches it.
  ProgressLine progress(o.command);
  if (progress.active()) {
    op.progress = &progress;
    link.progress().setObserver(&progress);
  }
  op.setInterrupted([&link] { return link.cancelRequested(); });

  TransferOutcome outcome;
  {
    const CancelSignals cancelOnSignals(link);
    if (o.command == "send")
      outcome = transfer.TransBtnClick(page);
    else if (o.command == "receive")
      outcome = transfer.RcvBtnClick(page);
    else
      outcome = transfer.DelProgBtnClick(page);
  }
  comm.Close();
  op.progress = nullptr;
  link.progress().setObserver(nullptr);

  if (outcome == TransferOutcome::Cancelled) {
    std::string text = "cancelled; the port is closed";
    if (o.command == "receive") {
      const size_t n = transfer.linesReceived();
      text += ", nothing was written (" + std::to_string(n) + (n == 1 ? " line" : " lines") + " had arrived)";
    }
    fail(o, text, CancelSignals::kExitCode);
  }
  if (outcome != TransferOutcome::Done) {
    if (o.command == "receive" && transfer.linesReceived() > 0)
      std::cerr << "zarctl receive: " << transfer.linesReceived() << " lines had arrived; nothing was written\n";
    fail(o, failureText(s, op, outcome), exitCodeOf(outcome));
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
               "Defaults come from Init.Ini and Customer.ini in the working directory; messages use its "
               "message catalog.");
  cmd->allow_extras();
  cmd->add_option(targetName, o->target, targetHelp)->type_name(targetName);
  cmd->add_option("--port", o->port,
                  "COM1..COM99 (see Ports.ini) or a device path such as /dev/ttyUSB0 "
                  "(default: the port of Init.Ini)")
      ->type_name("PORT");
  cmd->add_option("--type", o->type, "Controller type: X02 (program names travel) or X00/X01")
      ->type_name("TYPE")
      ->capture_default_str();
  cmd->add_option("--timeout", o->timeout, "Reply time-out in ms (default: Init.Ini)")->type_name("MS");
  cmd->add_option("--byte-delay", o->byteDelay, "Pause after each byte in transit mode 0, ms")->type_name("MS");
  cmd->add_option("--transit-mode", o->transitMode, "0: byte by byte; 1: a frame at once")->type_name("0|1");
  cmd->add_option("--baud", o->baud, "1200, 2400, 4800, 9600 or 19200 (default: Customer.ini)")->type_name("BAUD");
  cmd->add_option("--reconnect-delay", o->reconnectDelay, "Pause before re-opening the port, ms")->type_name("MS");
  cmd->add_option("--language", o->language, "Message catalog: 0 Chinese, 1 English (default: Customer.ini)")
      ->type_name("0|1");
  cmd->add_flag("--trace", o->trace, "Show every frame sent and reply received");
  cmd->add_flag("-y,--yes", o->yes, "Answer every confirmation with OK instead of asking");
  if (name == "send") {
    cmd->add_option("--slot", o->slot, "Send into this slot (1-99) instead of the file's")->type_name("SLOT");
    cmd->add_option("--name", o->name, "Program name to send instead of the file's (X02)")->type_name("NAME");
  }
  if (name == "receive")
    cmd->add_option("-o,--output", o->output,
                    "Save into this NC program file (default: the file's content on standard output, "
                    "messages on standard error)")
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
