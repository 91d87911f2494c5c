// zarctl param: the parameter page without the window.
//
//   zarctl param list [--model N] [--version V] [--language L]
//     The check list as the page builds it from the data files of the
//     working directory, one entry per line in list order: the parameter
//     number, a tab, the name as its data file writes it (8-bit text, Big5
//     for the Chinese files, not converted).
//   zarctl param receive (--all | --params N,...) [--model N] [--version V] [-o FILE]
//     Checks the list's entries, receives them into a parameter file.
//   zarctl param send FILE
//     Sends a parameter file's settings.
//   zarctl param diff FILE
//     Reads every parameter the file names and lists those the controller
//     holds another value of: number, name, file value, controller value.
#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "base/FileLocator.h"
#include "base/SafeFile.h"
#include "base/Settings.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/LinkSession.h"
#include "param/ParameterFile.h"
#include "param/ParameterLine.h"
#include "param/ParameterModels.h"
#include "param/ParameterTables.h"
#include "param/ParameterTransfer.h"
#include "ui/Encoding.h"

namespace zar::cli {

namespace {

constexpr int kExitNoDefinitions = 1;
constexpr int kExitDiffers = 1;

struct ListOptions {
  std::string model, version, language;
  CLI::App* app = nullptr;
};

[[noreturn]] void fail(const std::string& command, const std::string& text, int code) {
  cli::fail("param " + command, text, code);
}

// The display language: --language, else Customer.ini's (Chinese without it,
// as the window does).
int languageOf(const std::string& command, const std::string& option, const FileLocator& files) {
  if (!option.empty()) {
    if (option != "0" && option != "1") fail(command, "--language must be 0 or 1, not '" + option + "'", kExitUsage);
    return option == "0" ? param::kChinese : param::kEnglish;
  }
  return loadCustomerIni(files.workingDirectory()).language;
}

// Model and version as the page's buttons set them: start-up state (102,
// K), then the model button (which may change the version), then the
// version button.
param::ModelVersion selectionOf(const std::string& command, const std::string& model, const std::string& version) {
  param::ModelVersion selection;
  if (!model.empty()) {
    int number = 0;
    const char* end = model.data() + model.size();
    const auto [ptr, ec] = std::from_chars(model.data(), end, number);
    const std::optional<int> index =
        ec == std::errc() && ptr == end ? param::modelIndexOf(number) : std::nullopt;
    if (!index) fail(command, "--model must be 102, 202, 302, 101, 200 or 300, not '" + model + "'", kExitUsage);
    selection = param::enterSelector(param::modelButton(*index), selection);
  }
  if (!version.empty()) {
    const std::optional<int> index = param::versionIndexOf(version);
    if (!index) fail(command, "--version must be SD, K or M, not '" + version + "'", kExitUsage);
    selection = param::enterSelector(param::versionButton(*index), selection);
  }
  return selection;
}

void runList(const ListOptions& o) {
  const std::string command = "list";
  if (o.app && !o.app->remaining().empty())
    fail(command, "unexpected argument '" + o.app->remaining().front() + "' (see --help)", kExitUsage);
  const FileLocator files;
  const param::ModelVersion selection = selectionOf(command, o.model, o.version);
  const int language = languageOf(command, o.language, files);

  param::ParameterTables tables(files, language);
  tables.LoadAddressTables();
  param::ParameterChooser chooser(tables);
  chooser.select(selection);

  const param::ParameterList& list = chooser.list();
  std::string out;
  for (const param::ParameterEntry& entry : list.entries) {
    out += std::to_string(entry.number);
    out += '\t';
    out += entry.name;
    out += '\n';
  }
  std::cout << out << std::flush;

  if (list.definitionPath.empty()) {
    const param::DefinitionFileNames names = param::definitionFileNames(selection.model, selection.version, language);
    std::string looked = names.primary;
    if (names.fallback != names.primary) looked += " or " + names.fallback;
    fail(command, "no definition file " + looked + " in " + FileLocator(".").placesText(FileKind::Data),
         kExitNoDefinitions);
  }
}

void addListCommand(CLI::App& param) {
  auto o = std::make_shared<ListOptions>();
  CLI::App* list = param.add_subcommand("list", "Print the parameter list of a model and version: number, tab, name");
  o->app = list;
  setExitCodes(list,
               {{"0", "the list was printed"},
                {"1", "neither definition file name of that model, version and language is found "
                      "(the model's address entries, if any, are printed all the same)"},
                {"2", "bad arguments"}},
               "Without --model the list is that of model 102; choosing 102 selects version K, 202 "
               "and 302 version SD, as the parameter page does (--version overrides). Data files "
               "and Customer.ini are read from the directories zarctl --help names.");
  list->allow_extras();
  list->add_option("--model", o->model, "Controller model: 102, 202, 302, 101, 200 or 300 (default 102)")
      ->type_name("MODEL");
  list->add_option("--version", o->version, "Firmware version SD, K or M (102, 202 and 302 only)")
      ->type_name("SD|K|M");
  list->add_option("--language", o->language, "Data files: 0 Chinese, 1 English (default: Customer.ini)")
      ->type_name("0|1");
  list->callback([o] { runList(*o); });
}

// ---------------------------------------------------------------- receive, send, diff

// The exit codes of receive, send and diff, and what their tables share.
constexpr ExitCode kParamLinkFailed{"3", "the link failed (the port would not open, no reply in time, the line hung "
                                         "up, a write failed, a value that is no number came back)"};
constexpr ExitCode kParamCancelled{"130", "cancelled by Ctrl-C or SIGTERM (nothing more was sent)"};

struct TransferOptions {
  std::string command;  // receive, send, diff
  LinkOptions link;
  std::string file;     // send, diff
  bool all = false;     // receive
  std::string params, model, version, output;
  CLI::App* app = nullptr;
};

int exitCodeOf(DialogueOutcome outcome) {
  using O = DialogueOutcome;
  switch (outcome) {
    case O::Done: return 0;
    case O::Refused: return kExitRefused;
    case O::Declined: return kExitDeclined;
    case O::Cancelled: return kExitCancelled;
    case O::EmptyEditor:
    case O::LineFormat: return kExitFile;
    default: return kExitLink;
  }
}

// Why a dialogue ended early: the line of the port, time-out, write or
// refusal message, else the outcome in words.
std::string failureText(const Session& s, const CommandOperator& op, DialogueOutcome outcome) {
  const std::string line = s.failureLine(op.lines, {102, 103, 104, 142});
  if (!line.empty()) return line;
  switch (outcome) {
    case DialogueOutcome::Declined: return "not confirmed; nothing was sent";
    case DialogueOutcome::EmptyEditor: return toUtf8(s.catalog.text(141), s.language);
    case DialogueOutcome::BadValue: return "a value came back that is no number";
    default: return std::string(outcomeName(outcome));
  }
}

// The parameter numbers of --params: "12,13, 200".
std::set<std::int32_t> numbersOf(const std::string& command, const std::string& text) {
  std::set<std::int32_t> numbers;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    const size_t first = item.find_first_not_of(' ');
    const size_t last = item.find_last_not_of(' ');
    const std::string word = first == std::string::npos ? "" : item.substr(first, last - first + 1);
    std::int32_t number = 0;
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, number);
    if (word.empty() || ec != std::errc() || ptr != end)
      fail(command, "--params takes parameter numbers separated by commas, not '" + text + "'", kExitUsage);
    numbers.insert(number);
  }
  return numbers;
}

void checkExtras(const TransferOptions& o) {
  if (o.app && !o.app->remaining().empty())
    fail(o.command, "unexpected argument '" + o.app->remaining().front() + "' (see --help)", kExitUsage);
}

// The lines of a parameter file as the page's load button gives them.
std::vector<std::string> readLines(const std::string& command, const std::string& path) {
  std::vector<std::string> lines;
  if (std::string why; !param::readParameterFile(path, lines, &why))
    fail(command, "cannot read " + path + ": " + why, kExitFile);
  return lines;
}

void runReceive(const TransferOptions& o) {
  const std::string command = o.command;
  checkExtras(o);
  if (o.all == !o.params.empty()) fail(command, "give either --all or --params N[,N...]", kExitUsage);
  const std::set<std::int32_t> wanted = o.all ? std::set<std::int32_t>{} : numbersOf(command, o.params);
  const param::ModelVersion selection = selectionOf(command, o.model, o.version);
  Session s("param " + command, o.link);
  // Parameters received are not thrown away because their file cannot be written.
  if (std::string why; !o.output.empty() && !checkReplaceable(o.output, &why))
    fail(command, "cannot write " + o.output + ": " + why, kExitFile);

  param::ParameterTables tables(FileLocator{}, s.language);
  tables.LoadAddressTables();
  param::ParameterChooser chooser(tables);
  chooser.select(selection);
  const param::ParameterList& list = chooser.list();
  if (list.empty()) {
    fail(command,
         "the list of that model and version is empty: no data files in " + FileLocator(".").placesText(FileKind::Data),
         kExitFile);
  }
  // Checked as the page's items would be: every entry whose number was given.
  std::vector<param::ParameterEntry> checked;
  std::set<std::int32_t> found;
  for (const param::ParameterEntry& entry : list.entries) {
    if (!o.all && !wanted.contains(entry.number)) continue;
    checked.push_back(entry);
    found.insert(entry.number);
  }
  for (std::int32_t number : wanted)
    if (!found.contains(number))
      fail(command,
           "parameter " + std::to_string(number) + " is not in the list of model " +
               std::to_string(param::modelNumber(selection.model)) + " version " +
               std::string(param::versionName(selection.version)) + " (see zarctl param list)",
           kExitUsage);

  const bool toStdout = o.output.empty();
  // Standard output is for the parameters alone; messages go to standard
  // error with -o too, so they are in one place whatever the output.
  CommandOperator op(s.language, o.link.yes, true);
  op.setCurrentPage(Page::Parameter);
  MessageLog log(s.catalog, op);
  SessionLink port(s, op, log);
  param::ParameterTransfer transfer(port.link(), log, s.comIndex);
  const DialogueOutcome outcome = port.run([&] { return transfer.ParRcvBtnClick(checked); });

  if (outcome != DialogueOutcome::Done) {
    const std::string arrived = std::to_string(op.editorLines(Page::Parameter).size()) + " of " +
                                std::to_string(checked.size()) + " parameters had arrived";
    if (outcome == DialogueOutcome::Cancelled)
      fail(command, "cancelled; the port is closed, nothing was written (" + arrived + ")", kExitCancelled);
    if (!op.editorLines(Page::Parameter).empty())
      std::cerr << "zarctl param receive: " << arrived << "; nothing was written\n";
    fail(command, failureText(s, op, outcome), exitCodeOf(outcome));
  }
  if (toStdout) {
    std::cout << param::formatParameterFile(op.editorLines(Page::Parameter)) << std::flush;
    if (!std::cout) fail(command, "cannot write the parameters to standard output", kExitFile);
    return;
  }
  param::ParameterFiles files(log);
  if (!files.save(o.output)) {
    const std::string kept = keepInTemporaryFile(param::formatParameterFile(op.editorLines(Page::Parameter)),
                                                 "zarctl-param-", ".par");
    fail(command,
         "cannot write " + o.output + ": " + files.lastError() +
             (kept.empty() ? "; the parameters received are lost" : "; the parameters received are kept in " + kept),
         kExitFile);
  }
}

void runSend(const TransferOptions& o) {
  const std::string command = o.command;
  checkExtras(o);
  if (o.file.empty()) fail(command, "which file? (zarctl param send FILE)", kExitUsage);
  Session s("param " + command, o.link);
  const std::vector<std::string> lines = readLines(command, o.file);

  CommandOperator op(s.language, o.link.yes, false);
  op.setCurrentPage(Page::Parameter);
  op.setEditorLines(Page::Parameter, lines);
  MessageLog log(s.catalog, op);
  SessionLink port(s, op, log);
  param::ParameterTransfer transfer(port.link(), log, s.comIndex);
  const DialogueOutcome outcome = port.run([&] { return transfer.ParTrnBtnClick(); });
  if (outcome == DialogueOutcome::Cancelled)
    fail(command, "cancelled; the port is closed (settings sent: " + std::to_string(transfer.settingsSent()) + ")",
         kExitCancelled);

  if (outcome == DialogueOutcome::LineFormat) {
    const size_t index = transfer.malformedLine().value_or(0);
    fail(command,
         o.file + " line " + std::to_string(index + 1) + ": " +
             std::string(param::problemText(transfer.malformedProblem())) + "; " +
             "settings sent before it: " + std::to_string(transfer.settingsSent()),
         kExitFile);
  }
  if (outcome != DialogueOutcome::Done) fail(command, failureText(s, op, outcome), exitCodeOf(outcome));
}

// A setting line of the file being compared.
struct FileSetting {
  size_t line;  // 0-based
  std::string name;
  std::int32_t number;
  std::int32_t value;
};

// The parameter number of a setting's number text ("12", " 12 ").
std::optional<std::int32_t> numberOf(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const size_t last = text.find_last_not_of(" \t");
  const std::string word = text.substr(first, last - first + 1);
  std::int32_t number = 0;
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, number);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return number;
}

void runDiff(const TransferOptions& o) {
  const std::string command = o.command;
  checkExtras(o);
  if (o.file.empty()) fail(command, "which file? (zarctl param diff FILE)", kExitUsage);
  Session s("param " + command, o.link);
  const std::vector<std::string> lines = readLines(command, o.file);

  // Every setting of the file; remarks and blank lines are passed over.
  std::vector<FileSetting> settings;
  std::vector<param::ParameterEntry> requests;
  std::set<std::int32_t> requested;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    const param::ParameterLine parsed = param::parseParameterLine(line);
    if (parsed.form == param::LineForm::Remark) continue;
    const std::string where = o.file + " line " + std::to_string(i + 1) + ": ";
    if (parsed.form == param::LineForm::Malformed)
      fail(command, where + std::string(param::problemText(parsed.problem)), kExitFile);
    const std::optional<std::int32_t> number = numberOf(parsed.numberText);
    if (!number) fail(command, where + "'" + parsed.numberText + "' is not a parameter number", kExitFile);
    const std::string name = line.substr(0, line.find('('));
    settings.push_back({i, name, *number, parsed.value});
    if (requested.insert(*number).second) requests.push_back({name, *number});
  }

  if (settings.empty()) fail(command, "no parameter settings in " + o.file, kExitFile);

  CommandOperator op(s.language, o.link.yes, true);
  op.setCurrentPage(Page::Parameter);
  MessageLog log(s.catalog, op);
  SessionLink port(s, op, log);
  param::ParameterTransfer transfer(port.link(), log, s.comIndex);
  const DialogueOutcome outcome = port.run([&] { return transfer.ParRcvBtnClick(requests); });
  if (outcome == DialogueOutcome::Cancelled) fail(command, "cancelled; the port is closed", kExitCancelled);
  if (outcome != DialogueOutcome::Done) fail(command, failureText(s, op, outcome), exitCodeOf(outcome));

  std::map<std::int32_t, std::string> held;
  for (const param::ReceivedParameter& r : transfer.received()) held[r.entry.number] = *r.value;
  std::string out;
  for (const FileSetting& setting : settings) {
    const std::string& text = held[setting.number];
    const std::optional<std::int32_t> value = numberOf(text[0] == '+' ? text.substr(1) : text);
    if (value == setting.value) continue;
    out += std::to_string(setting.number) + '\t' + setting.name + '\t' + std::to_string(setting.value) + '\t' + text + '\n';
  }
  std::cout << out << std::flush;
  if (!out.empty()) throw CLI::RuntimeError(kExitDiffers);
}

constexpr std::string_view kTransferNotes =
    "Defaults come from Init.Ini and Customer.ini (where zarctl --help says); messages use its "
    "message catalog, the parameter list its data files in the catalog's language.";

void setTransferExitCodes(CLI::App* cmd, const std::string& name) {
  if (name == "receive") {
    setExitCodes(cmd,
                 {{"0", "every checked parameter was received"},
                  {"2", "bad arguments (a number given with --params that the list does not offer too)"},
                  kParamLinkFailed,
                  {"4", "the controller refused a parameter"},
                  {"6", "the list offers no parameters (no data files), or the output file could not be written"},
                  kParamCancelled},
                 "Nothing is written unless every parameter arrived.\n" + std::string(kTransferNotes));
  } else if (name == "send") {
    setExitCodes(cmd,
                 {{"0", "every setting was sent"},
                  {"2", "bad arguments"},
                  {"3", "the link failed (the port would not open, no reply in time, the line hung up, a write "
                        "failed)"},
                  {"4", "the controller refused a setting"},
                  {"5", "the confirmation was declined"},
                  {"6", "the file could not be read, holds no lines, or holds a line that cannot be sent (the "
                        "settings before it have been sent)"},
                  kParamCancelled},
                 kTransferNotes);
  } else {
    setExitCodes(cmd,
                 {{"0", "the controller holds every value the file gives"},
                  {"1", "some differ (listed)"},
                  {"2", "bad arguments"},
                  kParamLinkFailed,
                  {"4", "the controller refused a parameter the file names"},
                  {"6", "the file could not be read, or holds a line that names no parameter"},
                  kParamCancelled},
                 kTransferNotes);
  }
}

void addTransferCommand(CLI::App& param, const std::string& name, const std::string& description) {
  auto o = std::make_shared<TransferOptions>();
  o->command = name;
  CLI::App* cmd = param.add_subcommand(name, description);
  o->app = cmd;
  setTransferExitCodes(cmd, name);
  cmd->allow_extras();
  if (name == "receive") {
    cmd->add_flag("--all", o->all, "Check every entry of the list");
    cmd->add_option("--params", o->params, "Check the entries of these parameter numbers")->type_name("N[,N...]");
    cmd->add_option("--model", o->model, "Controller model: 102, 202, 302, 101, 200 or 300 (default 102)")
        ->type_name("MODEL");
    cmd->add_option("--version", o->version, "Firmware version SD, K or M (default as the model's button sets it)")
        ->type_name("SD|K|M");
    cmd->add_option("-o,--output", o->output,
                    "Save into this parameter file (default: the file's content on standard output; "
                    "messages go to standard error either way)")
        ->type_name("FILE");
  } else {
    cmd->add_option("FILE", o->file, "Parameter file (.par): lines name(number)=value")->type_name("FILE");
  }
  addLinkOptions(*cmd, o->link);
  cmd->callback([o, name] {
    if (name == "receive") runReceive(*o);
    else if (name == "send") runSend(*o);
    else runDiff(*o);
  });
}

}  // namespace

void addParamCommands(CLI::App& app) {
  CLI::App* param = app.add_subcommand("param", "Controller parameters: lists, receive, send, compare");
  param->require_subcommand(1);
  addListCommand(*param);
  addTransferCommand(*param, "receive", "Receive the checked parameters from the controller into a parameter file");
  addTransferCommand(*param, "send", "Send the settings of a parameter file to the controller");
  addTransferCommand(*param, "diff", "List the parameters whose controller value differs from a parameter file's");
  setExitCodes(param, {{"2", "no command, or an unknown one"}},
               "Each command lists its own: zarctl param COMMAND --help.");
}

}  // namespace zar::cli
