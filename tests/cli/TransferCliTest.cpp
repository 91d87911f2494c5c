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

#include "cli/ControllerProcess.h"
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

using test::ControllerProcess;

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

TEST_F(TransferCliTest, HelpListsTheExitCodes) {
  const CliRun r = zarctl("--help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("5 a confirmation was declined"), std::string::npos);
}

}  // namespace
}  // namespace zar
