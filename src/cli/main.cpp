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
  CLI11_PARSE(app, argc, argv);
  return 0;
}
