// Every zarctl command's exit codes: the table its --help prints is the one
// the README shows, and mistakes in naming a command exit with 2 and say so.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct CliRun {
  int code;
  std::string out, err;
};

class ExitCodesCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_cli_exit_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  CliRun zarctl(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" ZARCTL_PATH "' " + args +
                            " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"),
            readFile(dir / "stderr.txt")};
  }

  fs::path dir;
};

// The "Exit codes:" table of a help text: that line and the indented rows.
std::string exitCodeTable(const std::string& help) {
  const size_t start = help.find("Exit codes:\n");
  if (start == std::string::npos) return {};
  size_t end = help.find('\n', start);
  while (end != std::string::npos && help.compare(end + 1, 2, "  ") == 0) end = help.find('\n', end + 1);
  return help.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// As a README code block shows it: every line indented by four blanks.
std::string indented(const std::string& text) {
  std::string out = "    ";
  for (const char c : text) {
    out += c;
    if (c == '\n') out += "    ";
  }
  return out;
}

TEST_F(ExitCodesCli, EveryCommandsHelpTableIsTheReadmesAndNamesTheBadArgumentsCode) {
  const std::string readme = readFile(fs::path(ZAR_SOURCE_DIR) / "README.md");
  for (const std::string command : {"", "controller", "send", "receive", "delete", "nc", "nc check", "nc dump",
                                    "nc plot", "plc", "plc compile", "plc check", "plc decompile", "plc send",
                                    "plc receive", "plc verify", "param", "param list", "param receive",
                                    "param send", "param diff", "detect", "ports", "multi", "multi read",
                                    "multi write", "backup"}) {
    const CliRun r = zarctl(command + " --help");
    ASSERT_EQ(r.code, 0) << command;
    const std::string table = exitCodeTable(r.out);
    ASSERT_FALSE(table.empty()) << "zarctl " << command << " --help has no exit codes";
    EXPECT_NE(readme.find(indented(table) + "\n"), std::string::npos)
        << "the README lacks the table of zarctl " << command << ":\n" << table;
    EXPECT_NE(table.find("\n  2  "), std::string::npos) << command;
  }
}

TEST_F(ExitCodesCli, AMissingOrUnknownCommandExitsWithTwoAndSaysWhich) {
  CliRun r = zarctl("");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("A subcommand is required"), std::string::npos) << r.err;

  r = zarctl("bogus");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "zarctl: unknown command 'bogus' (see zarctl --help)\n");

  r = zarctl("nc bogus file.nc");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "zarctl nc: unknown command 'bogus' (see zarctl nc --help)\n");

  for (const std::string args : {"nc", "plc", "param", "plc --language 1", "send --bogus x.nc"})
    EXPECT_EQ(zarctl(args).code, 2) << args;
  // A command's own words are its arguments, not commands.
  r = zarctl("nc check bogus");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err.find("unknown command"), std::string::npos) << r.err;
}

}  // namespace
