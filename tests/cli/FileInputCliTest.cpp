// Every zarctl command against paths that are not what it expects: a
// directory, a FIFO, a device, an unreadable or oversized file, an output
// onto its own input. Each is refused at once with the system's reason and
// the command's file-error exit code; none waits on a FIFO.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

class FileInputCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_cli_input_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "adir");
    fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.E", dir / "Message.E");
    std::ofstream(dir / "Customer.ini") << "Language = 1\r\nBaud = 5\r\n";
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::ofstream(dir / "prog.nc", std::ios::binary) << "G00 X0 Y0\r\nG01 X10 F100\r\nM30\r\n";
    std::ofstream(dir / "big.nc");
    fs::resize_file(dir / "big.nc", std::uintmax_t{100} << 20);  // sparse: no disk used
    if (::geteuid() != 0) {
      std::ofstream(dir / "secret.nc") << "G00 X0\n";
      ::chmod((dir / "secret.nc").c_str(), 0);
      unreadable = (dir / "secret.nc").string();
    } else if (fs::exists("/proc/sys/vm/drop_caches")) {
      unreadable = "/proc/sys/vm/drop_caches";  // write-only even for root
    }
  }
  void TearDown() override { fs::remove_all(dir); }

  // zarctl ARGS in the scratch directory. A command that waits on a FIFO is
  // ended after a few seconds (exit 124), which fails the test.
  CliRun zarctl(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && timeout 5 '" ZARCTL_PATH "' " + args +
                            " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"),
            readFile(dir / "stderr.txt")};
  }
  // Each path a reader must refuse, with the reason it must give.
  std::vector<std::pair<std::string, std::string>> refusedInputs() const {
    std::vector<std::pair<std::string, std::string>> inputs{
        {"adir", "Is a directory"},
        {"fifo", "Is a FIFO, not a file"},
        {"/dev/null", "Is a device, not a file"},
        {"missing.nc", "No such file or directory"},
        {"big.nc", "Too large: 100 MiB (at most 16 MiB is read)"}};
    if (!unreadable.empty()) inputs.emplace_back(unreadable, "Permission denied");
    return inputs;
  }

  fs::path dir;
  std::string unreadable;
};

TEST_F(FileInputCli, NcCommandsRefuseInputsThatAreNoReadableFile) {
  for (const auto& [path, reason] : refusedInputs()) {
    for (const std::string command : {"nc check ", "nc check --nc-file ", "nc dump ", "nc plot -o p.svg "}) {
      const CliRun r = zarctl(command + path);
      EXPECT_EQ(r.code, 2) << command << path;
      EXPECT_EQ(r.err, path + ": " + reason + "\n") << command;
    }
  }
  EXPECT_FALSE(fs::exists(dir / "p.svg"));
}

TEST_F(FileInputCli, NcOutputsNeverReplaceTheirInputOrWaitOnAFifo) {
  const std::string program = readFile(dir / "prog.nc");
  fs::create_hard_link(dir / "prog.nc", dir / "same.nc");
  for (const std::string args : {"nc dump prog.nc -o prog.nc", "nc dump prog.nc -o ./same.nc",
                                  "nc plot prog.nc -o same.nc"}) {
    const CliRun r = zarctl(args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_NE(r.err.find("would overwrite its own input"), std::string::npos) << r.err;
  }
  EXPECT_EQ(readFile(dir / "prog.nc"), program);

  // Outputs that cannot be written are found out before the work.
  CliRun r = zarctl("nc dump prog.nc -o fifo");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "cannot write fifo: Is a FIFO, not a file\n");
  EXPECT_EQ(fs::status(dir / "fifo").type(), fs::file_type::fifo);
  r = zarctl("nc plot prog.nc -o adir");
  EXPECT_EQ(r.err, "cannot write adir: Is a directory\n");
  r = zarctl("nc plot prog.nc -o no/such/dir.svg");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");  // nothing was simulated
  EXPECT_EQ(r.err, "cannot write no/such/dir.svg: No such file or directory\n");
}

TEST_F(FileInputCli, PlcCommandsRefuseInputsThatAreNoReadableFile) {
  for (const auto& [path, reason] : refusedInputs()) {
    CliRun r = zarctl("plc compile " + path + " -o out.mcn");
    EXPECT_EQ(r.code, 1) << path;
    EXPECT_EQ(r.err, path + ": " + reason + "\n");
    r = zarctl("plc decompile " + path);  // the image cannot be opened: 172
    EXPECT_EQ(r.code, 172) << path;
    EXPECT_NE(r.err.find(path + ": cannot open: " + reason + "\n"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "out.mcn"));
}

TEST_F(FileInputCli, TransfersCheckTheirFilesBeforeTheLine) {
  // The port does not exist: a command that got as far as the line would
  // fail with 3, not with the file error 6.
  const std::string port = " --port /dev/zar-no-such-port -y";
  for (const auto& [path, reason] : refusedInputs()) {
    const CliRun r = zarctl("send " + path + port);
    EXPECT_EQ(r.code, 6) << path;
    EXPECT_EQ(r.err, "zarctl send: cannot read " + path + ": " + reason + "\n");
  }
  CliRun r = zarctl("receive 1 -o no/dir/x.nc" + port);
  EXPECT_EQ(r.code, 6);
  EXPECT_EQ(r.err, "zarctl receive: cannot write no/dir/x.nc: No such file or directory\n");
  r = zarctl("receive 1 -o adir" + port);
  EXPECT_EQ(r.code, 6);
  EXPECT_EQ(r.err, "zarctl receive: cannot write adir: Is a directory\n");
}

TEST_F(FileInputCli, ControllerRefusesStateAndLinkPathsItDoesNotOwn) {
  std::ofstream(dir / "notes.txt") << "precious\n";
  CliRun r = zarctl("controller --link notes.txt");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");  // no device was offered
  EXPECT_EQ(r.err,
            "zarctl controller: will not make the link notes.txt: it exists and is not a link this "
            "command made\n");
  EXPECT_EQ(readFile(dir / "notes.txt"), "precious\n");
  fs::create_symlink("notes.txt", dir / "to-notes");
  EXPECT_EQ(zarctl("controller --link to-notes").code, 1);
  EXPECT_TRUE(fs::is_symlink(dir / "to-notes"));
  EXPECT_EQ(zarctl("controller --link adir").code, 1);
  EXPECT_TRUE(fs::is_directory(dir / "adir"));

  // A state path that is no file is refused at once (SIGINT and SIGTERM
  // would not have ended a wait on the FIFO).
  r = zarctl("controller --state fifo");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "zarctl controller: fifo: Is a FIFO, not a file\n");
  r = zarctl("controller --state adir");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "zarctl controller: adir: Is a directory\n");
}

TEST_F(FileInputCli, MistakesInTheArgumentsExitWithTwo) {
  for (const std::string args : {"", "bogus", "nc check", "nc check --language 7 prog.nc",
                                 "plc compile", "plc decompile a b c", "controller --model",
                                 "controller --model 999", "send --bogus prog.nc", "receive 100"}) {
    EXPECT_EQ(zarctl(args).code, 2) << args;
  }
  EXPECT_EQ(zarctl("--help").code, 0);
  EXPECT_EQ(zarctl("nc plot --help").code, 0);
}

TEST_F(FileInputCli, HelpOfEveryCommandListsItsExitCodes) {
  for (const std::string command : {"controller", "send", "receive", "delete", "nc check", "nc dump",
                                    "nc plot", "plc compile", "plc decompile"}) {
    const CliRun r = zarctl(command + " --help");
    EXPECT_NE(r.out.find("Exit codes"), std::string::npos) << command;
  }
}

}  // namespace
