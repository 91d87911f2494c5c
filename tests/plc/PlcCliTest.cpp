// Golden tests of `zarctl plc` on the sample files in tests/plc/data, run
// from a scratch working directory holding the English catalog.
#include <sys/wait.h>

#include <cstdlib>

#include "PlcTestSupport.h"
#include "ui/Encoding.h"

namespace zar::plc::test {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int code;
  std::string out, err;
};

class PlcCliTest : public PlcTest {
 protected:
  void SetUp() override {
    PlcTest::SetUp();
    for (const auto& e : fs::directory_iterator(fs::path(ZAR_TEST_DIR) / "plc" / "data"))
      fs::copy_file(e.path(), dir / e.path().filename());
    const fs::path shipped = fs::path(ZAR_DATA_DIR) / "Message.E";
    if (fs::exists(shipped)) {
      fs::copy_file(shipped, dir / "Message.E");
    } else {
      std::string text;
      for (int n = 1; n <= 260; ++n) text += "M" + std::to_string(n) + " text " + std::to_string(n) + "\n";
      writeFile(dir / "Message.E", text);
    }
    english.loadFile((dir / "Message.E").string());
  }

  CliRun zarctl(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" ZARCTL_PATH "' plc " + args +
                            " >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"),
            readFile(dir / "stderr.txt")};
  }
  // A catalog message as the terminal shows it.
  std::string msg(int id) { return toUtf8(english.text(id), 1); }
  std::string data(const std::string& name) { return readFile(fs::path(ZAR_TEST_DIR) / "plc" / "data" / name); }

  MessageCatalog english;
};

TEST_F(PlcCliTest, CompileWritesTheGoldenImageAndDecompileGivesTheCanonicalSource) {
  CliRun r = zarctl("compile all_classes.pmc");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "all_classes.mcn: 80 instructions, 640 image bytes\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readFile(dir / "all_classes.mcn"), data("all_classes.mcn"));

  r = zarctl("decompile all_classes.mcn -o back.pmc");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, msg(232) + "\n");
  EXPECT_EQ(readFile(dir / "back.pmc"), data("all_classes.canon.pmc"));

  // To standard output: plain LF lines, the closing message on stderr.
  r = zarctl("decompile all_classes.mcn");
  std::string canon = data("all_classes.canon.pmc");
  std::erase(canon, '\r');
  EXPECT_EQ(r.out, canon);
  EXPECT_EQ(r.err, msg(232) + "\n");

  r = zarctl("check all_classes.pmc -o x");
  EXPECT_NE(r.code, 0);  // check takes no output
}

TEST_F(PlcCliTest, CompileErrorsNameTheLineAndWriteNothing) {
  CliRun r = zarctl("compile bad_range.pmc");
  EXPECT_EQ(r.code, 207);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, msg(207) + "\nline 3: OUT 0499\n");
  EXPECT_FALSE(fs::exists(dir / "bad_range.mcn"));

  r = zarctl("check binary_line.pmc");
  EXPECT_EQ(r.code, 202);
  EXPECT_EQ(r.err, msg(202) + "\nline 2: \\x1B[2J\\x00\\x07 boom\n");

  r = zarctl("check empty.pmc");
  EXPECT_EQ(r.code, 161);
  EXPECT_EQ(r.err, msg(161) + "\nempty.pmc: no lines\n");

  r = zarctl("compile missing.pmc");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "missing.pmc: No such file or directory\n");

  r = zarctl("compile all_classes.pmc -o ./all_classes.pmc");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(readFile(dir / "all_classes.pmc"), data("all_classes.pmc"));
}

TEST_F(PlcCliTest, CustomerIniChoosesTheCatalog) {
  const fs::path chinese = fs::path(ZAR_DATA_DIR) / "Message.C";
  if (!fs::exists(chinese)) GTEST_SKIP() << "no Chinese catalog shipped";
  fs::copy_file(chinese, dir / "Message.C");
  writeFile(dir / "Customer.ini", "Language=0\r\nBaud=4\r\n");
  MessageCatalog big5;
  big5.loadFile(chinese.string());
  CliRun r = zarctl("check bad_range.pmc");
  EXPECT_EQ(r.err, toUtf8(big5.text(207), 0) + "\nline 3: OUT 0499\n");
  r = zarctl("check bad_range.pmc --language 1");
  EXPECT_EQ(r.err, msg(207) + "\nline 3: OUT 0499\n");
}

TEST_F(PlcCliTest, ImageTextIsLeftAsItIs) {
  const CliRun r = zarctl("compile image_text.pmc");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "image_text.pmc: already a PLC image (hexadecimal text); nothing to compile\n");
  EXPECT_FALSE(fs::exists(dir / "image_text.mcn"));
}

TEST_F(PlcCliTest, DecompileErrorsKeepTheLinesBeforeThem) {
  CliRun r = zarctl("decompile cut_short.mcn");
  EXPECT_EQ(r.code, 231);
  EXPECT_EQ(r.out, "LD 0000\n");
  EXPECT_EQ(r.err, msg(231) + "Command No.=2  \n");

  r = zarctl("decompile bad_opcode.mcn -o out.pmc");
  EXPECT_EQ(r.code, 208);
  EXPECT_EQ(r.err, msg(208) + "Command No.=3  \n");
  EXPECT_EQ(readFile(dir / "out.pmc"), "LD 0000\r\nNOP\r\n");

  // An unreadable image leaves an existing output file alone.
  writeFile(dir / "keep.pmc", "precious\n");
  r = zarctl("decompile none.mcn -o keep.pmc");
  EXPECT_EQ(r.code, 172);
  EXPECT_EQ(r.err, msg(172) + "\nnone.mcn: cannot open: No such file or directory\n");
  EXPECT_EQ(readFile(dir / "keep.pmc"), "precious\n");
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();  // no temporary left
}

}  // namespace
}  // namespace zar::plc::test
