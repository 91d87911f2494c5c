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
// (the virtual controller's slots, the conversion dump "Test.TXT").
//
// A working directory that holds "Init.Ini" or "Customer.ini" is a portable
// directory (an unpacked copy, a build's run/ directory): every kind is read
// from and written to it alone, as the program always did. Elsewhere a data
// file is still taken from the working directory when it is there, and
// otherwise from the user's data directory and then the installed one;
// config and state files go to the user's config and state directories,
// made on first write.
//
// Which directories those are comes from the environment and the place of
// the executable (FilePlaces::forThisProgram), set once at start-up by each
// program. Until then, and in code that never sets them, every kind lives in
// the working directory alone.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zar {

enum class FileKind { Data, Config, State };

// The directories beyond the working directory.
struct FilePlaces {
  std::vector<std::string> dataDirs;  // searched in order after the working directory
  std::string configDir;              // "" when none could be named (no $HOME)
  std::string stateDir;               // likewise
  bool used = false;                  // false: the working directory alone

  // The places of an installed program: $XDG_DATA_HOME/zarlink (default
  // ~/.local/share/zarlink), then share/zarlink beside the executable's bin/
  // directory (a relocated install) or the run/ directory beside it (a build
  // tree); $XDG_CONFIG_HOME/zarlink (~/.config/zarlink) and
  // $XDG_STATE_HOME/zarlink (~/.local/state/zarlink). Relative XDG values
  // are ignored, as the XDG rules ask. `environment` reads a variable
  // (nullptr when unset); `executable` is the program's own path.
  static FilePlaces fromEnvironment(const std::function<const char*(const char*)>& environment,
                                    const std::string& executable);
  // The same from this process's environment and /proc/self/exe.
  static FilePlaces forThisProgram();
};

class FileLocator {
 public:
  // `workingDirectory` "" means the process's current directory. The
  // places are the process's (see usePlaces).
  explicit FileLocator(std::string workingDirectory = {});
  FileLocator(std::string workingDirectory, FilePlaces places);

  // Sets the places every FileLocator made afterwards uses. Called once by
  // each program's main(), before any other thread runs.
  static void usePlaces(FilePlaces places);
  static const FilePlaces& processPlaces();

  // The path of an existing file of that kind and name, or "" when there is none.
  std::string find(FileKind kind, std::string_view name) const;
  // The path to read a file of that kind from: the found file, or where it
  // would be written (so an open that fails names a sensible place).
  std::string readPath(FileKind kind, std::string_view name) const;
  // The path a file of that kind and name is written to; for the user's
  // config and state directories they are created (mode 0700) as needed.
  // "" when there is nowhere to write it (no $HOME).
  std::string writePath(FileKind kind, std::string_view name) const;
  // Every place a file of that kind is looked for, in order (for messages
  // that say where a missing file was looked for).
  std::vector<std::string> searchedDirectories(FileKind kind) const;

  // Where a missing file of that kind was looked for, for a message:
  // "the working directory" or the directories, comma-separated.
  std::string placesText(FileKind kind) const;

  // Whether the working directory is a portable one (see above).
  bool portable() const;
  // Lines naming the directories in use, for --help.
  std::string describe() const;

  const std::string& workingDirectory() const { return workingDirectory_; }

 private:
  std::string inWorkingDirectory(std::string_view name) const;
  const std::string& userDirectory(FileKind kind) const;
  std::string workingDirectory_;
  FilePlaces places_;
};

}  // namespace zar
