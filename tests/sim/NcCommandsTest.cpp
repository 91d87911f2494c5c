// zarctl nc check/dump/plot on the sample programs, run as a separate
// process from a scratch working directory with its own message catalog.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class NcCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zar_nc_cli_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::string catalog;
    for (int i = 1; i <= 250; ++i) {
      std::string text = "-";
      if (i == 198) text = "Nothing to simulate";
      if (i == 247) text = "Too many blocks";
      if (i == 248) text = "Unrecognised word";
      if (i == 249) text = "Malformed word";
      catalog += "M" + std::to_string(i) + " " + text + "\r\n";
    }
    std::ofstream(dir_ / "Message.E", std::ios::binary) << catalog;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs zarctl with `args` in the scratch directory; returns the exit code.
  int zarctl(const std::string& args) {
    const std::string command = "cd '" + dir_.string() + "' && '" ZARCTL_PATH "' " + args +
                                " > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    out_ = readFile(dir_ / "out.txt");
    err_ = readFile(dir_ / "err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string sample(const std::string& name) {
    return "'" + (fs::path(ZAR_TEST_DIR) / "sim" / "data" / name).string() + "'";
  }
  static std::string golden(const std::string& name) {
    return readFile(fs::path(ZAR_TEST_DIR) / "sim" / "data" / name);
  }

  fs::path dir_;
  std::string out_, err_;
};

TEST_F(NcCommands, CheckReportsSuccessOrTheFirstFailingLine) {
  EXPECT_EQ(zarctl("nc check " + sample("bracket.nc")), 0);
  EXPECT_EQ(out_, "28 blocks from 25 lines\n");
  EXPECT_EQ(err_, "");

  EXPECT_EQ(zarctl("nc check " + sample("unclosed.nc")), 1);
  EXPECT_EQ(err_, "Unrecognised word  On Line:N0003\n");

  EXPECT_EQ(zarctl("nc check " + sample("empty.nc")), 1);
  EXPECT_EQ(err_, "Nothing to simulate\n");

  EXPECT_EQ(zarctl("nc check no-such-file.nc"), 2);
  EXPECT_FALSE(fs::exists(dir_ / "Test.TXT"));  // checking leaves no dump behind
}

TEST_F(NcCommands, DumpMatchesTheGoldenFiles) {
  EXPECT_EQ(zarctl("nc dump " + sample("bracket.nc")), 0);
  EXPECT_EQ(out_, golden("bracket.dump"));

  EXPECT_EQ(zarctl("nc dump " + sample("unclosed.nc") + " -o unclosed.txt"), 1);
  EXPECT_EQ(readFile(dir_ / "unclosed.txt"), golden("unclosed.dump"));
  EXPECT_EQ(out_, "");  // the failure goes to standard error only
  EXPECT_EQ(err_, "Unrecognised word  On Line:N0003\n");
}

TEST_F(NcCommands, ReadsSavedProgramFiles) {
  // Slot, name, and numbered lines with a gap: line 2 is empty.
  EXPECT_EQ(zarctl("nc dump --nc-file " + sample("slot5.ncd")), 0);
  EXPECT_NE(out_.find("N0003 C= 1 AS= 0 MX= 3 X=     5.000"), std::string::npos) << out_;
  EXPECT_EQ(zarctl("nc check --nc-file " + sample("slot5.ncd")), 0);
  EXPECT_EQ(out_, "3 blocks from 4 lines\n");
}

TEST_F(NcCommands, PlotWritesTheWholePath) {
  EXPECT_EQ(zarctl("nc plot " + sample("bracket.nc") + " --unit 1 -o part.svg"), 0) << err_;
  EXPECT_NE(out_.find("extents=(X0.000,Y-1.000) , (X50.000,Y40.000)"), std::string::npos) << out_;
  const std::string svg = readFile(dir_ / "part.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("<polyline"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(NcCommands, PlotOfAnEndlessProgramIsCutOff) {
  // Nested jumps make about 10^9 passes: the run stops at the step limit.
  std::ofstream(dir_ / "endless.nc") << "G1 X1\nG1 X0\nJMP N0\nJMP N0\nJMP N0\n";
  EXPECT_EQ(zarctl("nc plot endless.nc -o endless.svg --max-steps 100000"), 3);
  EXPECT_NE(err_.find("cut off after 100000 steps"), std::string::npos) << err_;
  EXPECT_TRUE(fs::exists(dir_ / "endless.svg"));
}

}  // namespace
