// zarctl param list end to end, from scratch working directories.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace zar
