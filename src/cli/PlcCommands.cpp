#include <CLI/CLI.hpp>

#include "cli/Commands.h"

namespace zar::cli {

void addPlcCommands(CLI::App& app) { (void)app; }

}  // namespace zar::cli
