#include "cli/ExitCodes.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace zar::cli {

std::string exitCodeTable(std::initializer_list<ExitCode> rows) {
  size_t width = 0;
  for (const ExitCode& row : rows) width = std::max(width, row.codes.size());
  std::string table = "Exit codes:";
  for (const ExitCode& row : rows) {
    table += "\n  ";
    table += row.codes;
    table.append(width - row.codes.size() + 2, ' ');
    table += row.meaning;
  }
  return table;
}

void setExitCodes(CLI::App* cmd, std::initializer_list<ExitCode> rows, std::string_view notes) {
  std::string footer = exitCodeTable(rows);
  if (!notes.empty()) {
    footer += '\n';
    footer += notes;
  }
  cmd->footer(footer);
}

}  // namespace zar::cli
