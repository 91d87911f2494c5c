#pragma once
// Shared pieces of the PLC tests: a catalog whose message n reads "msg<n>",
// a recording operator and a fresh workspace per test, temporary files.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plc/PlcCompiler.h"
#include "plc/PlcDecompiler.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace zar::plc::test {

inline MessageCatalog numberedCatalog() { return zar::test::numberedCatalog("msg", "", 260); }

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class PlcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("zar_plc_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Compiles `lines` into <dir>/prog.mcn.
  PlcCompileResult compile(const std::vector<std::string>& lines) {
    return CompilePlcProgram(lines, ws, (dir / "prog.mcn").string(), log);
  }
  // Decompiles image text; the editor lines land in op.editors[Page::Plc].
  PlcDecompileResult decompile(const std::string& imageText) {
    op.editors[Page::Plc].clear();
    std::istringstream in(imageText);
    return DecompilePlcImage(in, ws, log);
  }
  const std::vector<std::string>& editor() { return op.editors[Page::Plc]; }
  const std::vector<std::string>& plcLog() { return op.messages[Page::Plc]; }

  std::filesystem::path dir;
  MessageCatalog catalog = numberedCatalog();
  zar::test::RecordingOperator op;
  MessageLog log{catalog, op};
  PlcWorkspace ws;
};

}  // namespace zar::plc::test
