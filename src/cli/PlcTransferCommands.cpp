// zarctl plc send|receive|verify: the PLC page's transfers without the window.
//
//   zarctl plc send FILE
//     Source is compiled first (its image written beside it, FILE with the
//     extension .mcn, as the window does); a file whose lines are an image
//     already is sent as it stands.
//   zarctl plc receive [-o FILE.pmc] [--image FILE.mcn]
//     Receives the controller's image, checks every record, decompiles it
//     into FILE.pmc (standard output without -o) and keeps the image when
//     asked. Nothing is written unless the whole image arrived good.
//   zarctl plc verify FILE
//     Compares the controller's image with FILE's (compiled when it is
//     source): "identical", or the first instruction that differs.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/SafeFile.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/LinkSession.h"
#include "plc/PlcCompiler.h"
#include "plc/PlcDecompiler.h"
#include "plc/PlcFile.h"
#include "plc/PlcTransfer.h"
#include "ui/Encoding.h"

namespace zar::cli {

namespace {

constexpr int kExitDiffers = 1;

struct PlcLinkOptions {
  std::string command;  // send, receive, verify
  std::string file, output, image, delay;
  LinkOptions link;
  CLI::App* app = nullptr;
};

[[noreturn]] void fail(const PlcLinkOptions& o, const std::string& text, int code) {
  cli::fail("plc " + o.command, text, code);
}

int exitCodeOf(DialogueOutcome outcome) {
  using O = DialogueOutcome;
  switch (outcome) {
    case O::Done: return 0;
    case O::Refused: return kExitRefused;
    case O::Declined: return kExitDeclined;
    case O::Cancelled: return kExitCancelled;
    case O::EmptyEditor:
    case O::LineFormat:
    case O::FileFailed: return kExitFile;
    default: return kExitLink;  // the line, a record too long or damaged
  }
}

// Why a dialogue ended early: the line that says so, else the outcome in words.
std::string failureText(const Session& s, const CommandOperator& op, DialogueOutcome outcome) {
  for (const std::string& line : op.lines)
    if (line.starts_with("Record ") || line.starts_with("Line ") || line.starts_with("Cannot ") ||
        line.starts_with("The image of ") || line.starts_with("The controller sent"))
      return toUtf8(line, s.language);
  const std::string line = s.failureLine(op.lines, {102, 103, 104, 162, 163});
  return line.empty() ? std::string(outcomeName(outcome)) : line;
}

std::vector<std::string> readLines(const PlcLinkOptions& o) {
  std::vector<std::string> lines;
  if (std::string why; !plc::readPlcFile(o.file, lines, &why)) fail(o, "cannot read " + o.file + ": " + why, kExitFile);
  if (lines.empty()) fail(o, o.file + ": no lines, nothing to send", kExitFile);
  return lines;
}

void checkExtras(const PlcLinkOptions& o) {
  if (o.app && !o.app->remaining().empty())
    fail(o, "unexpected argument '" + o.app->remaining().front() + "' (see --help)", kExitUsage);
}

// The editor lines a decompile gives, collected quietly.
class LinesOperator : public Operator {
 public:
  std::vector<std::string> lines, messages;
  Page currentPage() const override { return Page::Plc; }
  void appendMessage(Page, std::string_view line) override { messages.emplace_back(line); }
  int showCatalogDialog(std::string_view, DialogType, const std::vector<ButtonKind>&, int) override { return mrCancel; }
  void beep() override {}
  void processEvents() override {}
  std::vector<std::string> editorLines(Page) const override { return lines; }
  void setEditorLines(Page, const std::vector<std::string>& l) override { lines = l; }
  void appendEditorLine(Page, std::string_view line) override { lines.emplace_back(line); }
};

struct Decompiled {
  plc::PlcDecompileResult result;
  std::vector<std::string> lines, messages;
};

Decompiled decompile(const std::string& imageText, const MessageCatalog& catalog) {
  LinesOperator op;
  MessageLog log(catalog, op);
  plc::PlcWorkspace workspace;
  std::istringstream in(imageText);
  Decompiled d;
  d.result = plc::DecompilePlcImage(in, workspace, log);
  d.lines = std::move(op.lines);
  d.messages = std::move(op.messages);
  return d;
}

// Receives the controller's image into `records` (messages on standard error).
std::vector<std::string> receiveRecords(const PlcLinkOptions& o, Session& s) {
  CommandOperator op(s.language, o.link.yes, true);
  op.setCurrentPage(Page::Plc);
  MessageLog log(s.catalog, op);
  SessionLink port(s, op, log);
  plc::PlcTransfer transfer(port.link(), log, s.comIndex, plc::PlcWorkspace::process());
  const DialogueOutcome outcome = port.run([&] { return transfer.receiveImage(); });
  if (outcome == DialogueOutcome::Cancelled)
    fail(o, "cancelled; the port is closed, nothing was written (" + std::to_string(transfer.records().size()) +
                " records had arrived)", kExitCancelled);
  if (outcome != DialogueOutcome::Done) fail(o, failureText(s, op, outcome) + "; nothing was written", exitCodeOf(outcome));
  return transfer.records();
}

void runSend(const PlcLinkOptions& o) {
  checkExtras(o);
  if (o.file.empty()) fail(o, "which file? (zarctl plc send FILE)", kExitUsage);
  Session s("plc send", o.link);
  const int delay = o.delay.empty() ? s.settings.plcTransitDelay
                                    : wholeNumber("plc send", "--transit-delay", o.delay, 0, kMaxPlcTransitDelay);
  const std::vector<std::string> lines = readLines(o);

  CommandOperator op(s.language, o.link.yes, false);
  op.setCurrentPage(Page::Plc);
  op.setEditorLines(Page::Plc, lines);
  MessageLog log(s.catalog, op);
  SessionLink port(s, op, log);
  plc::PlcTransfer transfer(port.link(), log, s.comIndex, plc::PlcWorkspace::process());
  const DialogueOutcome outcome = port.run([&] { return transfer.PLMTrnBtnClick(o.file, delay); });
  const std::string sent = std::to_string(transfer.recordsSent()) + " of " +
                           std::to_string(transfer.recordsToSend()) + " records sent";
  if (outcome == DialogueOutcome::Cancelled) fail(o, "cancelled; the port is closed (" + sent + ")", kExitCancelled);
  const plc::PlcCompileResult& compiled = transfer.compiled();
  if (outcome == DialogueOutcome::LineFormat && compiled.status != plc::psOk) {
    const std::string text = s.catalog.text(plc::messageOf(compiled.status));
    fail(o, o.file + " line " + std::to_string(compiled.line) + ": " + toUtf8(text, s.language) + "; nothing was sent",
         kExitFile);
  }
  if (outcome != DialogueOutcome::Done) {
    const bool partly = transfer.recordsSent() > 0;
    fail(o, failureText(s, op, outcome) + (partly ? " (" + sent + "; the controller keeps its old image)" : ""),
         exitCodeOf(outcome));
  }
}

void runReceive(const PlcLinkOptions& o) {
  checkExtras(o);
  Session s("plc receive", o.link);
  // What arrives is not thrown away because its files cannot be written.
  for (const std::string& path : {o.output, o.image})
    if (std::string why; !path.empty() && !checkReplaceable(path, &why))
      fail(o, "cannot write " + path + ": " + why, kExitFile);
  if (!o.output.empty() && !o.image.empty() && sameFile(o.output, o.image))
    fail(o, "-o and --image name the same file", kExitUsage);

  const std::string image = plc::PlcTransfer::imageText(receiveRecords(o, s));
  const Decompiled source = decompile(image, s.catalog);
  for (const std::string& m : source.messages) std::cerr << toUtf8(m, s.language) << '\n';
  if (!source.result.ok()) {
    const std::string kept = keepInTemporaryFile(image, "zarctl-plc-", ".mcn");
    fail(o, "the image received does not decompile; nothing was written" +
                (kept.empty() ? std::string() : " (the image is kept in " + kept + ")"),
         kExitFile);
  }
  if (!o.image.empty()) {
    if (std::string why; !replaceFileContent(o.image, image, &why)) fail(o, "cannot write " + o.image + ": " + why, kExitFile);
  }
  if (o.output.empty()) {
    for (const std::string& line : source.lines) std::cout << line << '\n';
    std::cout << std::flush;
    if (!std::cout) fail(o, "cannot write the source to standard output", kExitFile);
    return;
  }
  if (std::string why; !replaceFileContent(o.output, plc::formatPlcFile(source.lines), &why)) {
    const std::string kept = keepInTemporaryFile(plc::formatPlcFile(source.lines), "zarctl-plc-", ".pmc");
    fail(o, "cannot write " + o.output + ": " + why +
                (kept.empty() ? "" : "; the source received is kept in " + kept), kExitFile);
  }
}

// The image text of a local file: compiled when it holds source.
std::string localImage(const PlcLinkOptions& o, const Session& s) {
  const std::vector<std::string> lines = readLines(o);
  if (plc::DecidePlcEditorMode(lines) == plc::PlcEditorMode::Image) return plc::PlcTransfer::imageText(lines);
  plc::PlcWorkspace workspace;
  std::vector<plc::PlcInstruction> list;
  const plc::PlcCompileResult r =
      plc::CompilePlcSource(std::vector<std::string_view>(lines.begin(), lines.end()), workspace, list);
  if (r.status != plc::psOk)
    fail(o, o.file + " line " + std::to_string(r.line) + ": " + toUtf8(s.catalog.text(plc::messageOf(r.status)), s.language),
         kExitFile);
  return plc::PlcImageText(plc::PlcImageBytes(list, workspace.presets, workspace.header));
}

std::string digitsOf(const std::string& text) {
  std::string digits;
  digits.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n') digits += c;
  return digits;
}

void runVerify(const PlcLinkOptions& o) {
  checkExtras(o);
  if (o.file.empty()) fail(o, "which file? (zarctl plc verify FILE)", kExitUsage);
  Session s("plc verify", o.link);
  const std::string local = digitsOf(localImage(o, s));
  const std::string remote = digitsOf(plc::PlcTransfer::imageText(receiveRecords(o, s)));
  if (local == remote) {
    std::cout << "identical\n";
    return;
  }
  const Decompiled mine = decompile(local, s.catalog), theirs = decompile(remote, s.catalog);
  const size_t n = std::max(mine.lines.size(), theirs.lines.size());
  auto at = [](const Decompiled& d, size_t i) {
    return i < d.lines.size() ? d.lines[i] : std::string(d.result.ok() ? "(no instruction)" : "(not decoded)");
  };
  for (size_t i = 0; i < n; ++i) {
    if (at(mine, i) == at(theirs, i)) continue;
    std::cout << "instruction " << i + 1 << " differs\n"
              << "  " << o.file << ": " << toUtf8(at(mine, i), s.language) << '\n'
              << "  controller: " << toUtf8(at(theirs, i), s.language) << '\n';
    throw CLI::RuntimeError(kExitDiffers);
  }
  // Every instruction alike: the presets or the header block differ.
  size_t byte = 0;
  while (byte * 2 < local.size() && local.compare(byte * 2, 2, remote, byte * 2, 2) == 0) ++byte;
  std::cout << "the instructions are alike; the image differs at byte " << byte
            << (byte < 2 * plc::kPresetCount ? " (timer/counter presets)" : byte < plc::kImageHeaderBytes ? " (header block)" : "")
            << '\n';
  throw CLI::RuntimeError(kExitDiffers);
}

constexpr std::string_view kNotes =
    "Defaults come from Init.Ini and Customer.ini in the working directory; messages use its message catalog.";

void setPlcExitCodes(CLI::App* cmd, const std::string& name) {
  if (name == "send") {
    setExitCodes(cmd,
                 {{"0", "every record was sent and the controller confirmed the end"},
                  {"2", "bad arguments"},
                  {"3", "the link failed (the port would not open, no reply in time, the line hung up, a write "
                        "failed)"},
                  {"4", "the controller refused (a bad record makes it refuse the end)"},
                  {"6", "the file could not be read, holds no lines, does not compile, its image could not be "
                        "written, or holds a line too long for one record"},
                  {"130", "cancelled by Ctrl-C or SIGTERM (nothing more was sent, the port was closed)"}},
                 kNotes);
  } else if (name == "receive") {
    setExitCodes(cmd,
                 {{"0", "the image arrived whole and was written"},
                  {"2", "bad arguments"},
                  {"3", "the link failed (the port would not open, no reply in time, the line hung up), or a "
                        "record came back damaged or too long"},
                  {"4", "the controller refused"},
                  {"6", "an output file could not be written, or the image received does not decompile"},
                  {"130", "cancelled by Ctrl-C or SIGTERM (the port was closed, nothing was written)"}},
                 "Nothing is written unless every record arrived good.\n" + std::string(kNotes));
  } else {
    setExitCodes(cmd,
                 {{"0", "the controller holds the file's image (\"identical\")"},
                  {"1", "they differ (the first differing instruction is shown)"},
                  {"2", "bad arguments"},
                  {"3", "the link failed, or a record came back damaged or too long"},
                  {"4", "the controller refused"},
                  {"6", "the file could not be read, holds no lines, or does not compile"},
                  {"130", "cancelled by Ctrl-C or SIGTERM"}},
                 kNotes);
  }
}

void addCommand(CLI::App& plc, const std::string& name, const std::string& description) {
  auto o = std::make_shared<PlcLinkOptions>();
  o->command = name;
  CLI::App* cmd = plc.add_subcommand(name, description);
  o->app = cmd;
  setPlcExitCodes(cmd, name);
  cmd->allow_extras();
  if (name == "receive") {
    cmd->add_option("-o,--output", o->output,
                    "Decompile into this source file (default: standard output; messages go to standard error "
                    "either way)")
        ->type_name("FILE.pmc");
    cmd->add_option("--image", o->image, "Keep the image received in this file too")->type_name("FILE.mcn");
  } else {
    cmd->add_option("FILE", o->file, "PLC source (.pmc) or image (.mcn) file")->type_name("FILE");
  }
  if (name == "send")
    cmd->add_option("--transit-delay", o->delay, "Pause after the end record, ms (default: Init.Ini's, 50)")
        ->type_name("MS");
  addLinkOptions(*cmd, o->link);
  cmd->callback([o, name] {
    if (name == "send") runSend(*o);
    else if (name == "receive") runReceive(*o);
    else runVerify(*o);
  });
}

}  // namespace

void addPlcTransferCommands(CLI::App& plc) {
  addCommand(plc, "send", "Send a PLC program (source is compiled first) to the controller");
  addCommand(plc, "receive", "Receive the controller's PLC program, checked, and decompile it");
  addCommand(plc, "verify", "Compare the controller's PLC program with a file's");
}

}  // namespace zar::cli
