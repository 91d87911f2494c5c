#pragma once
// The rules behind the file choosers, free of widgets: per-page filters and
// default extensions, how the chosen name becomes a path, the remembered
// names, file masks, reachable file systems and making a new directory.
//
// Paths and file names here are file-system strings (UTF-8 on Linux), not
// catalog texts: they are handed to the file functions unchanged.

#include <array>
#include <string>
#include <vector>

#include "ui/Operator.h"

namespace zar {

enum class FileDialogKind { Open, Save };

// State shared by the main window's pages and the choosers; lives for the run.
struct FileChoice {
  // Full path chosen by the last confirmed open or save dialog.
  std::string CurrentFileName;
  // Cleared by the caller before a dialog; true only after a confirmed choice.
  bool FileDialogConfirmed = false;
  // Name the save dialog proposes, one per page (program, parameter, PLC).
  std::array<std::string, 3> LastFileName{"TMP", "TMP", "TMP"};
  // Directory handed to and returned by the new-directory dialog.
  std::string NewDirPath;
  // Directory the choosers show first: where the last one was left (empty:
  // the process's current directory).
  std::string Directory;

  std::string& lastFileName(Page page);
  const std::string& lastFileName(Page page) const;
};

struct FilterEntry {
  std::string description;  // "NC files"
  std::string mask;         // "*.nc"
};

// The filter of a page's dialog as "description|mask|..." and as entries.
std::string fileFilter(Page page, FileDialogKind kind);
std::vector<FilterEntry> filterEntries(Page page, FileDialogKind kind);

// Default extension (with its full stop) for a page and filter entry (0-based).
std::string defaultExtension(Page page, FileDialogKind kind, int filterIndex);

// `directory` (with or without a trailing '/') joined with `name`, adding
// `extension` when the name has no full stop. An absolute name stands alone.
std::string buildFileName(const std::string& directory, const std::string& name, const std::string& extension);

// OK in the open dialog: sets CurrentFileName, the page's LastFileName (the
// name up to its first full stop) and FileDialogConfirmed.
void confirmOpen(FileChoice& state, Page page, int filterIndex, const std::string& directory,
                 const std::string& name);
// OK in the save dialog: an empty name acts as Close (returns false).
// Otherwise sets CurrentFileName, LastFileName (the name as typed) and
// FileDialogConfirmed.
bool confirmSave(FileChoice& state, Page page, int filterIndex, const std::string& directory,
                 const std::string& name);

// Whether `fileName` matches a mask such as "*.nc", "*.*" or "PROG?.NC",
// ignoring case ("*.*" matches every name, with a full stop or without).
bool matchesMask(const std::string& fileName, const std::string& mask);

// Files (not directories) of `directory` that match `mask`, sorted by name.
std::vector<std::string> listFiles(const std::string& directory, const std::string& mask);
// Subdirectories of `directory`, without hidden ones, sorted by name.
std::vector<std::string> listDirectories(const std::string& directory);

// File systems a user can reach: "/", the home directory, and mounted media
// under /media, /mnt and /run/media, each readable and searchable.
std::vector<std::string> reachableRoots();
// Parses mount-table text (as in /proc/self/mounts) for media mount points.
std::vector<std::string> mediaMountPoints(const std::string& mountTable);
// The entry of `roots` that holds `directory` (the longest prefix).
int rootIndexFor(const std::vector<std::string>& roots, const std::string& directory);

// An absolute, normalised form of `directory` ("" gives the current directory).
std::string absoluteDirectory(const std::string& directory);
// The parent of an absolute directory ("/" stays "/").
std::string parentDirectory(const std::string& directory);
// The chain of directories from "/" down to `directory`, inclusive.
std::vector<std::string> directoryChain(const std::string& directory);

// Makes the one directory `parent`/`name` (no intermediate ones). On success
// `made` is its path.
bool makeNewDirectory(const std::string& parent, const std::string& name, std::string& made);

}  // namespace zar
