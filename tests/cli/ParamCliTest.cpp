// zarctl param list, receive, send and diff end to end, from scratch working
// directories (the transfers against `zarctl controller`, model 102 version K).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/ControllerProcess.h"

namespace zar {
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

class ParamCliTest : public ::testing::Test {
 protected:
  ParamCliTest() : dir(fs::temp_directory_path() / ("zar-cli-param-" + std::to_string(::getpid()))) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~ParamCliTest() override { fs::remove_all(dir); }

  void copyShipped() {
    for (const auto& e : fs::directory_iterator(ZAR_DATA_DIR)) {
      const std::string name = e.path().filename().string();
      if (name.find("Par") != std::string::npos || name.find("Add") != std::string::npos)
        fs::copy_file(e.path(), dir / name);
    }
  }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  CliRun zarctl(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" ZARCTL_PATH "' param " + args +
                            " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"),
            readFile(dir / "stderr.txt")};
  }
  static std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
  static bool lists(const std::string& out, int number) {
    return ("\n" + out).find("\n" + std::to_string(number) + "\t") != std::string::npos;
  }

  fs::path dir;
};

TEST_F(ParamCliTest, ListsNumberTabNameInListOrder) {
  copyShipped();
  write("Customer.ini", "Language = 1\r\nBaud = 5\r\n");
  CliRun r = zarctl("list");  // start-up choice: 102, version K, English from Customer.ini
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> k = lines(r.out);
  ASSERT_GE(k.size(), 40u);
  EXPECT_EQ(k[0], "1\tRS-232 baud rate code 1-5");
  EXPECT_EQ(k[11], "12\tZ rapid traverse rate mm/min");
  EXPECT_EQ(k.back(), "1206\tZ pitch comp point 6 um");  // the address table comes last
  EXPECT_TRUE(lists(r.out, 140));
  EXPECT_FALSE(lists(r.out, 150));
  EXPECT_EQ(zarctl("list --model 102 --version k").out, r.out);

  // 202 switches to version SD as its button does; --version overrides.
  r = zarctl("list --model 202");
  EXPECT_FALSE(lists(r.out, 140));
  EXPECT_TRUE(lists(r.out, 100));  // tool change position
  r = zarctl("list --model 202 --version M");
  EXPECT_TRUE(lists(r.out, 150));

  // Chinese names come out as the file writes them, in Big5.
  const CliRun chinese = zarctl("list --model 302 --version M --language 0");
  ASSERT_EQ(chinese.code, 0) << chinese.err;
  const std::vector<std::string> c = lines(chinese.out), e = lines(zarctl("list --model 302 --version M").out);
  ASSERT_EQ(c.size(), e.size());
  EXPECT_EQ(c[0], "1\tRS-232 \xC0\x6A\xB2\x76\xA5\x4E\xBD\x58 1-5");
  for (size_t i = 0; i < c.size(); ++i) EXPECT_EQ(c[i].substr(0, c[i].find('\t')), e[i].substr(0, e[i].find('\t')));
}

TEST_F(ParamCliTest, LanguageFromCustomerIniAndMissingFiles) {
  // The directory of "Init.Ini" is the program's own: nothing is taken
  // from the installed data, not even the missing "Customer.ini".
  write("Init.Ini", "");
  write("102ParK.txt", "Chinese file = 7\r\n");
  write("102ParKE.txt", "English file = 8\r\n");
  EXPECT_EQ(zarctl("list").out, "7\tChinese file\n");  // no Customer.ini: Chinese, as the window
  write("Customer.ini", "Language = 1\r\nBaud = 4\r\n");
  EXPECT_EQ(zarctl("list").out, "8\tEnglish file\n");
  EXPECT_EQ(zarctl("list --language 0").out, "7\tChinese file\n");

  // No definition file: exit 1, naming both names looked for; the address
  // entries are still listed.
  write("Z202AddE.Ini", "Servo=900\r\n");
  CliRun r = zarctl("list --model 202");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "900\tServo\n");
  EXPECT_EQ(r.err, "zarctl param list: no definition file 202ParSDE.txt or 202ParE.txt in the working directory\n");
  r = zarctl("list --model 300");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("300ParE.txt in"), std::string::npos);
}

TEST_F(ParamCliTest, BadArgumentsExitWithTwoAndHelpListsTheExitCodes) {
  for (const std::string args : {"list --model 103", "list --model 10x", "list --version X",
                                 "list --language 2", "list extra"}) {
    const CliRun r = zarctl(args);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find("zarctl param list: "), std::string::npos) << args;
  }
  const CliRun help = zarctl("list --help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("Exit codes:\n  0  the list was printed\n  1  "), std::string::npos);
  EXPECT_NE(help.out.find("\n  2  bad arguments\n"), std::string::npos);
}

// ---------------------------------------------------------------- transfers

class ParamTransferCliTest : public ParamCliTest {
 protected:
  ParamTransferCliTest() {
    copyShipped();
    fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.E", dir / "Message.E");
    write("Customer.ini", "Language = 1\r\nBaud = 5\r\n");
  }
  std::string port(const test::ControllerProcess& ctrl) const {
    return " --port " + ctrl.device() + " --timeout 300 --transit-mode 1";
  }
  static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(ParamTransferCliTest, ReceiveCompareSendCompare) {
  write("state.txt", "[parameters]\n12 = 3000\n");
  test::ControllerProcess ctrl({"--state", (dir / "state.txt").string()});
  ASSERT_FALSE(ctrl.device().empty());
  const std::string p = port(ctrl);

  CliRun r = zarctl("receive --params 12,1 -o back.par" + p);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(dir / "back.par"), "RS-232 baud rate code 1-5(1)=4\r\nZ rapid traverse rate mm/min(12)=3000\r\n");
  EXPECT_EQ(r.out, "");  // the messages go to stderr with -o too
  EXPECT_TRUE(has(r.err, "Parameter receiving ended."));

  // Without -o the file comes out on stdout, the messages on stderr.
  r = zarctl("receive --params 12" + p);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Z rapid traverse rate mm/min(12)=3000\r\n");
  EXPECT_TRUE(has(r.err, "Receiving parameters..."));

  r = zarctl("receive --all" + p);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(lines(r.out).size(), lines(zarctl("list").out).size());

  write("changed.par", "/ axes\r\nZ rapid(12)=2500\r\n\r\nBaud( 1 )=+4\r\n");
  r = zarctl("diff changed.par" + p);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out, "12\tZ rapid\t2500\t3000\n");

  // The blank line stops the send after the first setting.
  r = zarctl("send changed.par --yes" + p);
  EXPECT_EQ(r.code, 6);
  EXPECT_TRUE(has(r.out, "/ axes...Skip...\nZ rapid(12)=2500\n"));
  EXPECT_TRUE(has(r.err, "changed.par line 3: no parameter number in parentheses; settings sent before it: 1"));
  r = zarctl("diff changed.par" + p);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");

  write("changed.par", "Z rapid(12)=2400\r\nBaud(1)=3\r\n");
  r = zarctl("send changed.par --yes" + p);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(has(r.out, "Parameter sending ended."));
  EXPECT_EQ(zarctl("diff changed.par" + p).code, 0);
  ctrl.stop();
  EXPECT_TRUE(has(readFile(dir / "state.txt"), "12 = 2400"));
}

TEST_F(ParamTransferCliTest, FailuresWriteNothingAndSayWhy) {
  test::ControllerProcess ctrl({"--fault", "param.value:2:none"});
  const std::string p = port(ctrl);

  // The second value goes missing: the port closes, the third request times out.
  write("out.par", "old\r\n");
  CliRun r = zarctl("receive --params 1,2,3 -o out.par" + p);
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(readFile(dir / "out.par"), "old\r\n");
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(has(r.err, "RS-232 data bits(2)=XXXXXX\n"));
  EXPECT_TRUE(has(r.err, "RS-232 stop bits(3)=XXXXXX\n"));
  EXPECT_TRUE(has(r.err, "1 of 3 parameters had arrived; nothing was written"));
  EXPECT_TRUE(has(r.err, "zarctl param receive: No reply from the controller in time."));

  // Refusals: an unknown number, in a send and in a comparison.
  write("unknown.par", "Nowhere(999999)=1\r\n");
  r = zarctl("send unknown.par -y" + p);
  EXPECT_EQ(r.code, 4);
  EXPECT_EQ(r.err, "zarctl param send: The controller refused the parameter command.\n");
  EXPECT_EQ(zarctl("diff unknown.par" + p).code, 4);

  // Not confirmed (no terminal, no --yes): nothing goes out.
  r = zarctl("send unknown.par" + p);
  EXPECT_EQ(r.code, 5);
  EXPECT_TRUE(has(r.err, "use --yes"));

  // Files.
  write("empty.par", "");
  EXPECT_EQ(zarctl("send empty.par -y" + p).code, 6);
  EXPECT_EQ(zarctl("send missing.par -y" + p).code, 6);
  EXPECT_EQ(zarctl("diff empty.par" + p).code, 6);
  write("rpm.par", "Speed (rpm)(12)=100\r\n");
  r = zarctl("diff rpm.par" + p);
  EXPECT_EQ(r.code, 6);
  EXPECT_TRUE(has(r.err, "rpm.par line 1: 'rpm' is not a parameter number"));
  fs::create_directory(dir / "folder.par");
  r = zarctl("send folder.par -y" + p);
  EXPECT_EQ(r.code, 6);
  EXPECT_EQ(r.err, "zarctl param send: cannot read folder.par: Is a directory\n");
  // An output that cannot be written is found out before anything goes on the line.
  ctrl.stop();
  r = zarctl("receive --params 1 -o folder.par" + p);
  EXPECT_EQ(r.code, 6);
  EXPECT_TRUE(has(r.err, "cannot write folder.par: ")) << r.err;
  EXPECT_TRUE(fs::is_directory(dir / "folder.par"));

  // Arguments.
  for (const std::string args : {"receive", "receive --all --params 1", "receive --params 1,x",
                                 "receive --params 999999", "receive --all --model 103", "send", "diff",
                                 "send a.par b.par", "receive --all --port LPT1"}) {
    r = zarctl(args + (args.find("--port") == std::string::npos ? p : ""));
    EXPECT_EQ(r.code, 2) << args << "\n" << r.err;
    EXPECT_TRUE(has(r.err, "zarctl param ")) << args;
  }
}

TEST_F(ParamTransferCliTest, CtrlCCancelsAndWritesNothing) {
  test::ControllerProcess ctrl({"--fault", "param.value:2:delay=5000"});
  write("out.par", "old\r\n");
  // SIGINT in the wait for the second value.
  const int code = test::interruptOnceShown(
      dir, "param receive --params 1,2,3 -o out.par --port " + ctrl.device() + " --timeout 8000 --transit-mode 1",
      "Receiving parameters");
  EXPECT_EQ(code, 130);
  EXPECT_EQ(readFile(dir / "out.par"), "old\r\n");
  EXPECT_TRUE(has(readFile(dir / "stderr.txt"),
                  "zarctl param receive: cancelled; the port is closed, nothing was written (1 of 3 parameters "
                  "had arrived)"));
}

TEST_F(ParamTransferCliTest, HelpListsTheExitCodes) {
  for (const std::string command : {"receive", "send", "diff"}) {
    const CliRun r = zarctl(command + " --help");
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(has(r.out, "Exit codes:\n  0    ")) << command;
    EXPECT_TRUE(has(r.out, "\n  2    bad")) << command;
    EXPECT_TRUE(has(r.out, "\n  3    the link failed")) << command;
    EXPECT_TRUE(has(r.out, "\n  130  cancelled")) << command;
  }
  EXPECT_TRUE(has(zarctl("diff --help").out, "\n  1    some differ"));
}

}  // namespace
}  // namespace zar
