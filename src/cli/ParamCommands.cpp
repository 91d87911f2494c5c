// zarctl param: the parameter page without the window.
//
//   zarctl param list [--model N] [--version V] [--language L]
//     The check list as the page builds it from the data files of the
//     working directory, one entry per line in list order: the parameter
//     number, a tab, the name as its data file writes it (8-bit text, Big5
//     for the Chinese files, not converted).
#include <CLI/CLI.hpp>

#include <charconv>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "base/FileLocator.h"
#include "base/Settings.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "param/ParameterModels.h"
#include "param/ParameterTables.h"

namespace zar::cli {

namespace {

constexpr int kExitNoDefinitions = 1;
constexpr int kExitUsage = 2;

struct ListOptions {
  std::string model, version, language;
  CLI::App* app = nullptr;
};

[[noreturn]] void fail(const std::string& command, const std::string& text, int code) {
  std::cerr << "zarctl param " << command << ": " << text << "\n";
  throw CLI::RuntimeError(code);
}

// The display language: --language, else Customer.ini's (Chinese without it,
// as the window does).
int languageOf(const std::string& command, const std::string& option, const FileLocator& files) {
  if (!option.empty()) {
    if (option != "0" && option != "1") fail(command, "--language must be 0 or 1, not '" + option + "'", kExitUsage);
    return option == "0" ? param::kChinese : param::kEnglish;
  }
  const std::string path = files.find(FileKind::Data, kCustomerIniName);
  if (path.empty()) return CustomerSettings{}.language;
  std::ifstream in(path, std::ios::binary);
  const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return readCustomerIni(content).language;
}

// Model and version as the page's buttons set them: start-up state (102,
// K), then the model button (which may change the version), then the
// version button.
param::ModelVersion selectionOf(const std::string& command, const ListOptions& o) {
  param::ModelVersion selection;
  if (!o.model.empty()) {
    int number = 0;
    const char* end = o.model.data() + o.model.size();
    const auto [ptr, ec] = std::from_chars(o.model.data(), end, number);
    const std::optional<int> index =
        ec == std::errc() && ptr == end ? param::modelIndexOf(number) : std::nullopt;
    if (!index) fail(command, "--model must be 102, 202, 302, 101, 200 or 300, not '" + o.model + "'", kExitUsage);
    selection = param::enterSelector(param::modelButton(*index), selection);
  }
  if (!o.version.empty()) {
    const std::optional<int> index = param::versionIndexOf(o.version);
    if (!index) fail(command, "--version must be SD, K or M, not '" + o.version + "'", kExitUsage);
    selection = param::enterSelector(param::versionButton(*index), selection);
  }
  return selection;
}

void runList(const ListOptions& o) {
  const std::string command = "list";
  if (o.app && !o.app->remaining().empty())
    fail(command, "unexpected argument '" + o.app->remaining().front() + "' (see --help)", kExitUsage);
  const FileLocator files;
  const param::ModelVersion selection = selectionOf(command, o);
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
    fail(command, "no definition file " + looked + " in the working directory", kExitNoDefinitions);
  }
}

void addListCommand(CLI::App& param) {
  auto o = std::make_shared<ListOptions>();
  CLI::App* list = param.add_subcommand("list", "Print the parameter list of a model and version: number, tab, name");
  o->app = list;
  setExitCodes(list,
               {{"0", "the list was printed"},
                {"1", "neither definition file name of that model, version and language is in the working "
                      "directory (the model's address entries, if any, are printed all the same)"},
                {"2", "bad arguments"}},
               "Without --model the list is that of model 102; choosing 102 selects version K, 202 "
               "and 302 version SD, as the parameter page does (--version overrides). Data files "
               "and Customer.ini are read from the working directory.");
  list->allow_extras();
  list->add_option("--model", o->model, "Controller model: 102, 202, 302, 101, 200 or 300 (default 102)")
      ->type_name("MODEL");
  list->add_option("--version", o->version, "Firmware version SD, K or M (102, 202 and 302 only)")
      ->type_name("SD|K|M");
  list->add_option("--language", o->language, "Data files: 0 Chinese, 1 English (default: Customer.ini)")
      ->type_name("0|1");
  list->callback([o] { runList(*o); });
}

}  // namespace

void addParamCommands(CLI::App& app) {
  CLI::App* param = app.add_subcommand("param", "Controller parameters: the parameter lists of the models");
  param->require_subcommand(1);
  addListCommand(*param);
  setExitCodes(param, {{"2", "no command, or an unknown one"}},
               "Each command lists its own: zarctl param COMMAND --help.");
}

}  // namespace zar::cli
