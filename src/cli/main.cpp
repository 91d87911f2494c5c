// zarctl: the command-line face of zarlink, for scripts and shop automation.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "base/FileLocator.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"

namespace {

// The command path up to `depth` words of argv ("zarctl nc").
std::string commandPath(char** argv, int depth) {
  std::string path = "zarctl";
  for (int i = 1; i <= depth; ++i) path += std::string(" ") + argv[i];
  return path;
}

// Where a command is expected and the word names none, says so (CLI11 would
// only say that a command is required) and gives true.
bool reportUnknownCommand(CLI::App& app, int argc, char** argv) {
  CLI::App* at = &app;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.empty() || word[0] == '-') return false;  // an option: CLI11 judges it
    if (at->get_subcommands({}).empty()) return false;  // the command's own arguments
    try {
      at = at->get_subcommand(word);
    } catch (const CLI::OptionNotFound&) {
      std::cerr << commandPath(argv, i - 1) << ": unknown command '" << word << "' (see "
                << commandPath(argv, i - 1) << " --help)\n";
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Installed or run from a portable directory: decided before any file is read.
  zar::FileLocator::usePlaces(zar::FilePlaces::forThisProgram());
  CLI::App app{"zarctl - talk to a ZAR-series NC controller from the command line\n\nFiles in use:\n" +
               zar::FileLocator(".").describe()};
  app.require_subcommand(1);
  zar::cli::addControllerCommand(app);
  zar::cli::addTransferCommands(app);
  zar::cli::addPlcCommands(app);
  zar::cli::addNcCommands(app);
  zar::cli::addParamCommands(app);
  zar::cli::addPortCommands(app);
  zar::cli::addMultiCommands(app);
  zar::cli::addBackupCommand(app);
  // Set last: a command made after it would take it as its own footer.
  zar::cli::setExitCodes(&app,
                         {{"0", "done"}, {"2", "no command, an unknown one, or a mistake in the arguments"}},
                         "Each command lists its own: zarctl COMMAND --help.");
  if (reportUnknownCommand(app, argc, argv)) return zar::cli::kExitBadArguments;
  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();  // a command's own failure, already reported
  } catch (const CLI::ParseError& e) {
    // --help and --version end with 0; every mistake in the arguments with 2.
    return app.exit(e) == 0 ? 0 : zar::cli::kExitBadArguments;
  }
  return 0;
}
