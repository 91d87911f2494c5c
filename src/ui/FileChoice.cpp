#include "ui/FileChoice.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace zar {
namespace {

size_t pageSlot(Page page) {
  const int p = static_cast<int>(page);
  return p >= 0 && p < 3 ? static_cast<size_t>(p) : 0;
}

// The last path component of a name as typed.
std::string baseName(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool globMatch(const char* name, const char* mask) {
  // Iterative '*' matching with one backtrack point.
  const char* starMask = nullptr;
  const char* starName = nullptr;
  while (*name) {
    if (*mask == '*') {
      starMask = ++mask;
      starName = name;
    } else if (*mask == '?' ||
               std::tolower(static_cast<unsigned char>(*mask)) == std::tolower(static_cast<unsigned char>(*name))) {
      ++mask;
      ++name;
    } else if (starMask) {
      mask = starMask;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  return *mask == '\0';
}

bool isReachable(const std::string& dir) {
  struct stat st {};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(dir.c_str(), R_OK | X_OK) == 0;
}

std::string withoutTrailingSlash(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// Undoes the octal escapes of the mount table (a blank is written as \040).
std::string unescapeMountField(const std::string& field) {
  auto octal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
        octal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

}  // namespace

std::string& FileChoice::lastFileName(Page page) { return LastFileName[pageSlot(page)]; }
const std::string& FileChoice::lastFileName(Page page) const { return LastFileName[pageSlot(page)]; }

std::string fileFilter(Page page, FileDialogKind kind) {
  switch (page) {
    case Page::Parameter: return "PAR files|*.par|All files|*.*";
    case Page::Plc:
      return kind == FileDialogKind::Open ? "PLC files|*.pmc|PLM files|*.plm|BIN files|*.mcn|All files|*.*"
                                          : "PLC files|*.pmc|BIN files|*.mcn|All files|*.*";
    default: return "NC files|*.nc|NCD files|*.ncd|All files|*.*";
  }
}

std::vector<FilterEntry> filterEntries(Page page, FileDialogKind kind) {
  std::vector<FilterEntry> entries;
  std::stringstream parts(fileFilter(page, kind));
  std::string description, mask;
  while (std::getline(parts, description, '|') && std::getline(parts, mask, '|')) entries.push_back({description, mask});
  return entries;
}

std::string defaultExtension(Page page, FileDialogKind kind, int filterIndex) {
  switch (page) {
    case Page::Parameter: return ".par";
    case Page::Plc:
      if (kind == FileDialogKind::Open) {
        if (filterIndex == 1) return ".plm";
        if (filterIndex == 2) return ".mcn";
        return ".pmc";
      }
      return filterIndex == 1 ? ".mcn" : ".pmc";
    default: return filterIndex == 1 ? ".ncd" : ".nc";
  }
}

std::string buildFileName(const std::string& directory, const std::string& name, const std::string& extension) {
  std::string path;
  if (!name.empty() && name.front() == '/') {
    path = name;
  } else {
    path = directory;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
  }
  if (baseName(name).find('.') == std::string::npos) path += extension;
  return path;
}

void confirmOpen(FileChoice& state, Page page, int filterIndex, const std::string& directory,
                 const std::string& name) {
  state.CurrentFileName = buildFileName(directory, name, defaultExtension(page, FileDialogKind::Open, filterIndex));
  const std::string base = baseName(name);
  state.lastFileName(page) = base.substr(0, base.find('.'));
  state.FileDialogConfirmed = true;
}

bool confirmSave(FileChoice& state, Page page, int filterIndex, const std::string& directory,
                 const std::string& name) {
  if (name.empty()) {
    state.FileDialogConfirmed = false;
    return false;
  }
  state.CurrentFileName = buildFileName(directory, name, defaultExtension(page, FileDialogKind::Save, filterIndex));
  state.lastFileName(page) = name;
  state.FileDialogConfirmed = true;
  return true;
}

bool matchesMask(const std::string& fileName, const std::string& mask) {
  if (mask == "*.*" || mask == "*") return true;
  return globMatch(fileName.c_str(), mask.c_str());
}

std::vector<std::string> listFiles(const std::string& directory, const std::string& mask) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(directory.empty() ? "." : directory, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    if (matchesMask(name, mask)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> listDirectories(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(directory.empty() ? "." : directory, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    std::error_code typeError;
    if (it->is_directory(typeError)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> mediaMountPoints(const std::string& mountTable) {
  std::vector<std::string> points;
  std::istringstream lines(mountTable);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint;
    if (!(fields >> device >> mountPoint)) continue;
    mountPoint = unescapeMountField(mountPoint);
    for (const char* prefix : {"/media/", "/mnt/", "/run/media/"}) {
      if (mountPoint.rfind(prefix, 0) == 0 && mountPoint.size() > std::char_traits<char>::length(prefix)) {
        points.push_back(withoutTrailingSlash(mountPoint));
        break;
      }
    }
    if (mountPoint == "/mnt") points.push_back(mountPoint);
  }
  return points;
}

std::vector<std::string> reachableRoots() {
  std::vector<std::string> roots{"/"};
  auto add = [&roots](const std::string& dir) {
    if (dir.empty() || std::find(roots.begin(), roots.end(), dir) != roots.end()) return;
    if (isReachable(dir)) roots.push_back(dir);
  };
  if (const char* home = std::getenv("HOME")) add(withoutTrailingSlash(home));
  std::ifstream mounts("/proc/self/mounts");
  const std::string table((std::istreambuf_iterator<char>(mounts)), std::istreambuf_iterator<char>());
  for (const std::string& point : mediaMountPoints(table)) add(point);
  return roots;
}

int rootIndexFor(const std::vector<std::string>& roots, const std::string& directory) {
  int best = -1;
  size_t bestLength = 0;
  for (size_t i = 0; i < roots.size(); ++i) {
    const std::string& root = roots[i];
    const bool holds = root == "/" || directory == root || directory.rfind(root + "/", 0) == 0;
    if (holds && (best < 0 || root.size() > bestLength)) {
      best = static_cast<int>(i);
      bestLength = root.size();
    }
  }
  return best;
}

std::string absoluteDirectory(const std::string& directory) {
  std::error_code ec;
  fs::path path = directory.empty() ? fs::current_path(ec) : fs::path(directory);
  if (path.is_relative()) path = fs::current_path(ec) / path;
  std::string normal = path.lexically_normal().string();
  return normal.empty() ? "/" : withoutTrailingSlash(normal);
}

std::string parentDirectory(const std::string& directory) {
  const std::string dir = withoutTrailingSlash(directory);
  const size_t slash = dir.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return dir.substr(0, slash);
}

std::vector<std::string> directoryChain(const std::string& directory) {
  std::vector<std::string> chain;
  std::string dir = withoutTrailingSlash(directory);
  if (dir.empty() || dir.front() != '/') return chain;
  while (true) {
    chain.push_back(dir);
    if (dir == "/") break;
    dir = parentDirectory(dir);
  }
  std::reverse(chain.begin(), chain.end());
  return chain;
}

bool makeNewDirectory(const std::string& parent, const std::string& name, std::string& made) {
  if (name.empty()) return false;
  std::string path = parent;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  if (::mkdir(path.c_str(), 0777) != 0) return false;
  made = withoutTrailingSlash(path);
  return true;
}

}  // namespace zar
