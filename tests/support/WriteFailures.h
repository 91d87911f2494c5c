#pragma once
// Checks a writer of the program against a disk that fills up or fails: at
// every step of the safe replace, ENOSPC and EIO must leave the old file as
// it was, nothing beside it, and (where the writer passes one on) a reason
// that names the failure.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "base/SafeFile.h"

namespace zar::test {

inline std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::set<std::string> namesIn(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

// `write` replaces the file at `path` and returns whether it succeeded,
// putting the reason it gives (if any) into `why`.
inline void expectOldFileSurvivesWriteFailures(const std::filesystem::path& path,
                                               const std::function<bool(std::string& why)>& write) {
  const std::string before = fileText(path);
  const std::set<std::string> names = namesIn(path.parent_path());
  for (const SafeFileStep step :
       {SafeFileStep::Create, SafeFileStep::Write, SafeFileStep::Sync, SafeFileStep::Rename}) {
    for (const int code : {ENOSPC, EIO}) {
      SCOPED_TRACE("step " + std::to_string(static_cast<int>(step)) + ", " + std::strerror(code));
      std::string why;
      {
        InjectedWriteFailure failure(step, code);
        EXPECT_FALSE(write(why));
      }
      if (!why.empty()) {
        EXPECT_NE(why.find(std::strerror(code)), std::string::npos) << why;
      }
      EXPECT_EQ(fileText(path), before);
      EXPECT_EQ(namesIn(path.parent_path()), names);
    }
  }
  std::string why;
  EXPECT_TRUE(write(why)) << why;  // and once the disk is well again, it works
}

}  // namespace zar::test
