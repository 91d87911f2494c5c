#include "base/FileLocator.h"

#include <sys/stat.h>

#include <utility>

namespace zar {

FileLocator::FileLocator(std::string workingDirectory) : workingDirectory_(std::move(workingDirectory)) {}

std::string FileLocator::inWorkingDirectory(std::string_view name) const {
  if (workingDirectory_.empty()) return std::string(name);
  std::string path = workingDirectory_;
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

std::string FileLocator::find(FileKind, std::string_view name) const {
  const std::string path = inWorkingDirectory(name);
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? path : std::string();
}

std::string FileLocator::readPath(FileKind kind, std::string_view name) const {
  std::string found = find(kind, name);
  return found.empty() ? writePath(kind, name) : found;
}

std::string FileLocator::writePath(FileKind, std::string_view name) const { return inWorkingDirectory(name); }

}  // namespace zar
