#pragma once
// Where the program's files are: one place decides, callers ask by kind.
//
//   FileLocator files(workingDirectory);
//   std::string catalog = files.find(FileKind::Data, "Message.E");  // "" when absent
//   std::string init = files.writePath(FileKind::Config, "Init.Ini");
//
// Data files are read-only and shipped with the program (message catalogs,
// "Customer.ini", parameter definition and address tables, the manual);
// config files are read at start and written back ("Init.Ini", "Ports.ini");
// state files are what a run leaves behind for the next one or for the user
// (the virtual controller's slots, the conversion dump "Test.TXT"). Today
// every kind lives in the working directory, the directory of "Init.Ini";
// other places (the user's and the installed directories) are decided here
// and nowhere else, so callers never build such a path themselves.

#include <string>
#include <string_view>

namespace zar {

enum class FileKind { Data, Config, State };

class FileLocator {
 public:
  // `workingDirectory` "" means the process's current directory.
  explicit FileLocator(std::string workingDirectory = {});

  // The path of an existing file of that kind and name, or "" when there is none.
  std::string find(FileKind kind, std::string_view name) const;
  // The path to read a file of that kind from: the found file, or where it
  // would be written (so an open that fails names a sensible place).
  std::string readPath(FileKind kind, std::string_view name) const;
  // The path a file of that kind and name is written to.
  std::string writePath(FileKind kind, std::string_view name) const;

  const std::string& workingDirectory() const { return workingDirectory_; }

 private:
  std::string inWorkingDirectory(std::string_view name) const;
  std::string workingDirectory_;
};

}  // namespace zar
