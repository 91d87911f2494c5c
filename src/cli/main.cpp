// zarctl: the command-line face of zarlink, for scripts and shop automation.
#include <CLI/CLI.hpp>

#include "cli/Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"zarctl - talk to a ZAR-series NC controller from the command line"};
  app.require_subcommand(1);
  zar::cli::addControllerCommand(app);
  zar::cli::addTransferCommands(app);
  zar::cli::addPlcCommands(app);
  zar::cli::addNcCommands(app);
  zar::cli::addParamCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& e) {
    return e.get_exit_code();  // a command's own failure, already reported
  } catch (const CLI::ParseError& e) {
    // --help and --version end with 0; every mistake in the arguments with 2.
    return app.exit(e) == 0 ? 0 : 2;
  }
  return 0;
}
