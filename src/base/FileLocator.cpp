#include "base/FileLocator.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace zar {

namespace {

constexpr const char* kProgramDirectory = "zarlink";
// A working directory with one of these is a portable directory.
constexpr const char* kPortableMarkers[] = {"Init.Ini", "Customer.ini"};

FilePlaces& globalPlaces() {
  static FilePlaces places;
  return places;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string join(std::string directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  if (directory.back() != '/') directory += '/';
  directory += name;
  return directory;
}

std::string parentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// $VARIABLE/zarlink when it is an absolute path, else $HOME/fallback/zarlink,
// else "".
std::string xdgDirectory(const std::function<const char*(const char*)>& environment, const char* variable,
                         const char* fallback) {
  const char* value = environment(variable);
  if (value && value[0] == '/') return join(value, kProgramDirectory);
  const char* home = environment("HOME");
  if (home && home[0] == '/') return join(join(home, fallback), kProgramDirectory);
  return {};
}

// mkdir -p with mode 0700 for the directories it makes. False when a part
// is no directory or cannot be made.
bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (isDirectory(path)) return true;
  const std::string parent = parentOf(path);
  if (parent != path && !makeDirectories(parent)) return false;
  return ::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && isDirectory(path));
}

}  // namespace

FilePlaces FilePlaces::fromEnvironment(const std::function<const char*(const char*)>& environment,
                                       const std::string& executable) {
  FilePlaces places;
  places.used = true;
  if (std::string user = xdgDirectory(environment, "XDG_DATA_HOME", ".local/share"); !user.empty()) {
    places.dataDirs.push_back(std::move(user));
  }
  if (!executable.empty()) {
    const std::string bin = parentOf(executable);
    // Installed: <prefix>/bin/zarctl beside <prefix>/share/zarlink. A build
    // tree: build/zarctl beside build/run.
    places.dataDirs.push_back(join(join(parentOf(bin), "share"), kProgramDirectory));
    places.dataDirs.push_back(join(bin, "run"));
  }
  places.configDir = xdgDirectory(environment, "XDG_CONFIG_HOME", ".config");
  places.stateDir = xdgDirectory(environment, "XDG_STATE_HOME", ".local/state");
  return places;
}

FilePlaces FilePlaces::forThisProgram() {
  std::string executable;
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) executable.assign(buffer, static_cast<size_t>(n));
  return fromEnvironment([](const char* name) { return std::getenv(name); }, executable);
}

FileLocator::FileLocator(std::string workingDirectory)
    : workingDirectory_(std::move(workingDirectory)), places_(globalPlaces()) {}

FileLocator::FileLocator(std::string workingDirectory, FilePlaces places)
    : workingDirectory_(std::move(workingDirectory)), places_(std::move(places)) {}

void FileLocator::usePlaces(FilePlaces places) { globalPlaces() = std::move(places); }

const FilePlaces& FileLocator::processPlaces() { return globalPlaces(); }

std::string FileLocator::inWorkingDirectory(std::string_view name) const { return join(workingDirectory_, name); }

bool FileLocator::portable() const {
  if (!places_.used) return true;
  for (const char* marker : kPortableMarkers) {
    if (exists(inWorkingDirectory(marker))) return true;
  }
  return false;
}

const std::string& FileLocator::userDirectory(FileKind kind) const {
  return kind == FileKind::State ? places_.stateDir : places_.configDir;
}

std::vector<std::string> FileLocator::searchedDirectories(FileKind kind) const {
  const std::string here = workingDirectory_.empty() ? "." : workingDirectory_;
  if (portable()) return {here};
  if (kind != FileKind::Data) {
    const std::string& user = userDirectory(kind);
    return user.empty() ? std::vector<std::string>{} : std::vector<std::string>{user};
  }
  std::vector<std::string> directories{here};
  for (const std::string& d : places_.dataDirs) directories.push_back(d);
  return directories;
}

std::string FileLocator::find(FileKind kind, std::string_view name) const {
  for (const std::string& directory : searchedDirectories(kind)) {
    std::string path = directory == "." && workingDirectory_.empty() ? std::string(name) : join(directory, name);
    if (exists(path)) return path;
  }
  return {};
}

std::string FileLocator::readPath(FileKind kind, std::string_view name) const {
  std::string found = find(kind, name);
  if (!found.empty()) return found;
  // Data is never written: a missing one is named where the user would put it.
  if (kind == FileKind::Data || portable()) return inWorkingDirectory(name);
  const std::string& directory = userDirectory(kind);
  return directory.empty() ? std::string() : join(directory, name);
}

std::string FileLocator::writePath(FileKind kind, std::string_view name) const {
  if (kind == FileKind::Data || portable()) return inWorkingDirectory(name);
  const std::string& directory = userDirectory(kind);
  if (directory.empty()) return {};
  // A directory that cannot be made is left to the writer to report (it
  // says why, in the system's words).
  makeDirectories(directory);
  return join(directory, name);
}

std::string FileLocator::placesText(FileKind kind) const {
  if (portable()) return "the working directory";
  std::string text;
  for (const std::string& d : searchedDirectories(kind)) text += (text.empty() ? "" : ", ") + d;
  return text.empty() ? std::string("no directory (no $HOME)") : text;
}

std::string FileLocator::describe() const {
  const std::string here = workingDirectory_.empty() ? "." : workingDirectory_;
  std::string text;
  if (!places_.used) return "  every file: " + here + "\n";
  if (portable()) return "  every file: " + here + " (a portable directory: it holds Init.Ini or Customer.ini)\n";
  text += "  data files: " + (here == "." ? std::string("the current directory") : here);
  for (size_t i = 0; i < places_.dataDirs.size(); ++i) {
    // The user's directory is named even before it exists (that is where
    // one's own copies go); the installed candidates only when present.
    if (i == 0 || isDirectory(places_.dataDirs[i])) text += ", " + places_.dataDirs[i];
  }
  text += "\n  settings:   " + (places_.configDir.empty() ? std::string("none (no $HOME)") : places_.configDir);
  text += "\n  state:      " + (places_.stateDir.empty() ? std::string("none (no $HOME)") : places_.stateDir);
  text += "\n";
  return text;
}

}  // namespace zar
