// zarctl send, receive and delete end to end against `zarctl controller`,
// from a scratch working directory holding the English catalog.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"

namespace zar {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// `zarctl controller ARGS` in the background; its first line names the device.
class ControllerProcess {
 public:
  explicit ControllerProcess(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv{const_cast<char*>("zarctl"), const_cast<char*>("controller")};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(ZARCTL_PATH, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
    ::close(out[0]);
  }
  ~ControllerProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& device() const { return device_; }

 private:
  pid_t pid_ = -1;
  std::string device_;
};

struct CliRun {
  int code;
  std::string out, err;
};

class TransferCliTest : public ::testing::Test {
 protected:
  TransferCliTest() : dir(fs::temp_directory_path() / ("zar-cli-transfer-" + std::to_string(::getpid()))) {
    fs::create_directories(dir);
    fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.E", dir / "Message.E");
    writeFile(dir / "Customer.ini", "Language = 1\r\nBaud = 5\r\n");
    english.loadFile((dir / "Message.E").string());
  }
  ~TransferCliTest() override { fs::remove_all(dir); }

  // Runs zarctl with no terminal on standard input.
  CliRun zarctl(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" ZARCTL_PATH "' " + args +
                            " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"),
            readFile(dir / "stderr.txt")};
  }
  std::string msg(int id) { return toUtf8(english.text(id), 1); }

  fs::path dir;
  MessageCatalog english;
};

TEST_F(TransferCliTest, SendReceiveDeleteRoundTrip) {
  ControllerProcess ctrl({"--samples"});
  ASSERT_FALSE(ctrl.device().empty());
  const std::string port = " --port " + ctrl.device() + " --timeout 300 --transit-mode 1 --yes";
  const std::string program = "7\r\nDEMO\r\nN1 G00 X0 Y0\r\nN3 G01 X10\r\nN4 M30\r\n";
  writeFile(dir / "demo.nc", program);

  CliRun r = zarctl("send demo.nc" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("N2 \n"), std::string::npos);  // the empty line travels as its prefix
  EXPECT_NE(r.out.find(msg(106) + "\n"), std::string::npos);
  EXPECT_EQ(r.err, "");

  // Without -o the program comes out as a file, messages go to stderr.
  r = zarctl("receive 7" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, program);
  EXPECT_NE(r.err.find(msg(109)), std::string::npos);

  r = zarctl("receive 7 -o back.ncd" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(dir / "back.ncd"), program);

  // Send again under another slot and name: question 130 is answered too.
  r = zarctl("send back.ncd --slot 8 --name OTHER" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  r = zarctl("receive 8" + port);
  EXPECT_EQ(r.out, "8\r\nOTHER\r\nN1 G00 X0 Y0\r\nN3 G01 X10\r\nN4 M30\r\n");

  r = zarctl("delete 7" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(msg(128)), std::string::npos);
  r = zarctl("delete 7" + port);  // nothing there any more: refused
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(r.err, "zarctl delete: " + msg(122) + "\n");
}

TEST_F(TransferCliTest, X00ControllerTakesNoNames) {
  ControllerProcess ctrl({"--type", "X00/X01", "--model", "101"});
  const std::string port = " --port " + ctrl.device() + " --type X00 --timeout 300 -y";
  writeFile(dir / "a.nc", "3\nN1 X1\nN2 X2\n");  // bare LF is read too
  ASSERT_EQ(zarctl("send a.nc" + port).code, 0);
  const CliRun r = zarctl("receive 3" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "3\r\nN1 X1\r\nN2 X2\r\n");
}

TEST_F(TransferCliTest, ExitCodesSayWhatWentWrong) {
  ControllerProcess ctrl({"--samples", "--fault", "list.slot:none"});
  const std::string port = " --port " + ctrl.device() + " --timeout 200 --transit-mode 1";

  // The slot query goes unanswered: a link failure, nothing written.
  CliRun r = zarctl("receive 1 -o lost.nc" + port + " -y");
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.err, "zarctl receive: " + msg(103) + "\n");
  EXPECT_FALSE(fs::exists(dir / "lost.nc"));

  // No terminal and no --yes: declined, nothing deleted.
  r = zarctl("delete 1" + port);
  EXPECT_EQ(r.code, 5);
  EXPECT_NE(r.err.find("use --yes"), std::string::npos);
  r = zarctl("receive 1" + port + " -y");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(r.out.empty());

  // Arguments.
  EXPECT_EQ(zarctl("receive 100" + port).code, 2);
  EXPECT_EQ(zarctl("receive" + port).code, 2);
  EXPECT_EQ(zarctl("send x.nc --type X03" + port).code, 2);
  EXPECT_EQ(zarctl("delete 1 --port LPT1").code, 2);
  EXPECT_EQ(zarctl("delete 1 --baud 300" + port).code, 2);
  EXPECT_EQ(zarctl("delete 1 extra" + port).code, 2);

  // Files.
  EXPECT_EQ(zarctl("send missing.nc" + port + " -y").code, 6);
  writeFile(dir / "bad.nc", "0\r\nX\r\n");
  r = zarctl("send bad.nc" + port + " -y");
  EXPECT_EQ(r.code, 6);
  EXPECT_EQ(r.err, "zarctl send: " + msg(112) + "\n");
  writeFile(dir / "empty.nc", "5\r\nEMPTY\r\n");
  EXPECT_EQ(zarctl("send empty.nc" + port + " -y").code, 6);
  EXPECT_EQ(zarctl("receive 1 -o /nonexistent/dir/x.nc" + port + " -y").code, 6);
}

TEST_F(TransferCliTest, ReceivedProgramsAreNeverThrownAway) {
  ControllerProcess ctrl({"--samples", "--fault", "list.end:delay=1500*9"});
  const std::string port = " --port " + ctrl.device() + " --timeout 4000 --transit-mode 1 -y";

  // A link to a file not there yet stays a link; the file appears behind it.
  fs::create_directories(dir / "programs");
  fs::create_symlink("programs/one.nc", dir / "current.nc");
  CliRun r = zarctl("receive 1 -o current.nc" + port);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir / "current.nc"));
  EXPECT_EQ(readFile(dir / "programs" / "one.nc").substr(0, 9), "1\r\nSQUARE");

  // The output directory goes away while the program arrives: the program
  // is kept in a temporary file, and the message says where.
  fs::create_directories(dir / "out");
  const std::string cmd = "cd '" + dir.string() + "' && { '" ZARCTL_PATH "' receive 2 -o out/two.nc" + port +
                          " </dev/null >stdout.txt 2>stderr.txt & sleep 0.7; rm -rf out; wait $!; }";
  const int status = std::system(cmd.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 6);
  const std::string err = readFile(dir / "stderr.txt");
  const std::string marker = "the received program is kept in ";
  const size_t at = err.find(marker);
  ASSERT_NE(at, std::string::npos) << err;
  EXPECT_EQ(err.rfind("zarctl receive: cannot write out/two.nc: No such file or directory;", 0), 0u) << err;
  const std::string kept = err.substr(at + marker.size(), err.find('\n', at) - at - marker.size());
  EXPECT_EQ(readFile(kept).substr(0, 9), "2\r\nCIRCLE");
  fs::remove(kept);
}

TEST_F(TransferCliTest, HelpListsTheExitCodes) {
  const CliRun r = zarctl("--help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("5 a confirmation was declined"), std::string::npos);
}

}  // namespace
}  // namespace zar
