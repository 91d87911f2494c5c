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
      if (i == 112) text = "Slot out of range";
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
  EXPECT_EQ(zarctl("nc check --text " + sample("bracket.nc")), 0);
  EXPECT_EQ(out_, "28 blocks from 25 lines\n");
  EXPECT_EQ(err_, "");

  EXPECT_EQ(zarctl("nc check --text " + sample("unclosed.nc")), 1);
  EXPECT_EQ(err_, "Unrecognised word  On Line:N0003\n");

  EXPECT_EQ(zarctl("nc check --text " + sample("empty.nc")), 1);
  EXPECT_EQ(err_, "Nothing to simulate\n");

  EXPECT_EQ(zarctl("nc check no-such-file.nc"), 2);
  EXPECT_FALSE(fs::exists(dir_ / "Test.TXT"));  // checking leaves no dump behind
}

TEST_F(NcCommands, DumpMatchesTheGoldenFiles) {
  EXPECT_EQ(zarctl("nc dump --text " + sample("bracket.nc")), 0);
  EXPECT_EQ(out_, golden("bracket.dump"));

  EXPECT_EQ(zarctl("nc dump --text " + sample("unclosed.nc") + " -o unclosed.txt"), 1);
  EXPECT_EQ(readFile(dir_ / "unclosed.txt"), golden("unclosed.dump"));
  EXPECT_EQ(out_, "");  // the failure goes to standard error only
  EXPECT_EQ(err_, "Unrecognised word  On Line:N0003\n");
}

TEST_F(NcCommands, ReadsSavedProgramFiles) {
  // Slot, name, and numbered lines with a gap: line 2 is empty. Named .ncd,
  // the file is read as a program file without being told.
  for (const std::string option : {"", "--nc-file "}) {
    EXPECT_EQ(zarctl("nc dump " + option + sample("slot5.ncd")), 0) << err_;
    EXPECT_NE(out_.find("N0003 C= 1 AS= 0 MX= 3 X=     5.000"), std::string::npos) << out_;
    EXPECT_EQ(zarctl("nc check " + option + sample("slot5.ncd")), 0);
    EXPECT_EQ(out_, "3 blocks from 4 lines\n");
  }
}

TEST_F(NcCommands, TheFileNameChoosesTheFormatAndAnEarlyFailureNamesIt) {
  const std::string saved = "5\r\nPART\r\nN1 G00 X0 Y0\r\nN3 G01 X5 F100\r\nN4 M30\r\n";
  const std::string plain = "G00 X0 Y0\r\n\r\nG01 X5 F100\r\nM30\r\n";
  for (const char* name : {"part.nc", "PART.NCD", "part.txt"}) {
    std::ofstream(dir_ / name, std::ios::binary) << (std::string(name) == "part.txt" ? plain : saved);
    EXPECT_EQ(zarctl(std::string("nc check ") + name), 0) << name << ": " << err_;
    EXPECT_EQ(out_, "3 blocks from 4 lines\n") << name;
  }

  // Plain text in a .nc file: its first line is no slot number.
  std::ofstream(dir_ / "plain.nc", std::ios::binary) << plain;
  EXPECT_EQ(zarctl("nc check plain.nc"), 2);
  EXPECT_EQ(err_, "Slot out of range\nplain.nc was read as an NC program file (slot line, name line, numbered "
                  "lines); --text reads it as plain program text\n");
  EXPECT_EQ(zarctl("nc check --text plain.nc"), 0) << err_;

  // A saved program file under another name: its slot and name lines do
  // not convert.
  std::ofstream(dir_ / "saved.txt", std::ios::binary) << saved;
  EXPECT_EQ(zarctl("nc dump saved.txt"), 1);
  EXPECT_EQ(err_, "Malformed word  On Line:N0002\nsaved.txt was read as plain program text (one line a program "
                  "line); --nc-file reads it as an NC program file\n");
  EXPECT_EQ(zarctl("nc plot --nc-file saved.txt -o saved.svg"), 0) << err_;

  // A failure further down is the program's own: no word about the format.
  std::ofstream(dir_ / "late.nc", std::ios::binary) << "5\r\nPART\r\nN1 G00 X0\r\nN2 G00 X1\r\nN3 M3 (spindle on\r\n";
  EXPECT_EQ(zarctl("nc check late.nc"), 1);
  EXPECT_EQ(err_.find("was read as"), std::string::npos) << err_;

  EXPECT_EQ(zarctl("nc check --text --nc-file part.nc"), 2);  // one or the other
}

TEST_F(NcCommands, PlotWritesTheWholePath) {
  EXPECT_EQ(zarctl("nc plot --text " + sample("bracket.nc") + " --unit 1 -o part.svg"), 0) << err_;
  EXPECT_NE(out_.find("extents=(X0.000,Y-1.000) , (X50.000,Y40.000)"), std::string::npos) << out_;
  const std::string svg = readFile(dir_ / "part.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("<polyline"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(NcCommands, PlotOfAnEndlessProgramIsCutOff) {
  // Nested jumps make about 10^9 passes: the run stops at the step limit.
  std::ofstream(dir_ / "endless.txt") << "G1 X1\nG1 X0\nJMP N0\nJMP N0\nJMP N0\n";
  EXPECT_EQ(zarctl("nc plot endless.txt -o endless.svg --max-steps 100000"), 3);
  EXPECT_NE(err_.find("cut off after 100000 steps"), std::string::npos) << err_;
  EXPECT_TRUE(fs::exists(dir_ / "endless.svg"));
}

}  // namespace
