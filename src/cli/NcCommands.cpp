#include <CLI/CLI.hpp>

#include "cli/Commands.h"

namespace zar::cli {

void addNcCommands(CLI::App& app) { (void)app; }

}  // namespace zar::cli
