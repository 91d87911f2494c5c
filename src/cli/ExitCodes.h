#pragma once
// The exit codes of a zarctl command as one table: its --help prints it as
// the footer, and the README repeats each table as it stands (a test keeps
// the two alike).
//
//   setExitCodes(cmd, {{"0", "done"}, {"2", "bad arguments"}}, "More notes.");
//
// prints
//
//   Exit codes:
//     0  done
//     2  bad arguments
//   More notes.

#include <initializer_list>
#include <string>
#include <string_view>

namespace CLI { class App; }

namespace zar::cli {

// Mistakes in the arguments (no command, an unknown one, a wrong option or
// value) end every command with this code.
inline constexpr int kExitBadArguments = 2;

struct ExitCode {
  std::string_view codes;    // "0", "202-207, 230"
  std::string_view meaning;
};

// The table as --help and the README show it.
std::string exitCodeTable(std::initializer_list<ExitCode> rows);
// Makes the table (then `notes`, if any) the footer of `cmd`'s --help.
void setExitCodes(CLI::App* cmd, std::initializer_list<ExitCode> rows, std::string_view notes = {});

}  // namespace zar::cli
