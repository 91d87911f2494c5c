#pragma once
// The one way the program writes a file.

#include <string>
#include <string_view>

namespace zar {

// Replaces the file at `path` with `content`: a new file is written beside
// it, flushed to disk and renamed over the old one (which keeps its mode; a
// symbolic link keeps pointing where it did). On failure the old file is
// untouched, the new one removed, and *error says why.
bool replaceFileContent(const std::string& path, std::string_view content, std::string* error);

}  // namespace zar
