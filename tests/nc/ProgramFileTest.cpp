// NC program files: format, editor rules on loading, bad files, and a save
// that keeps the old file when writing fails.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "nc/ProgramFile.h"
#include "nc/TransferRig.h"
#include "support/WriteFailures.h"

namespace zar::nc {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::msg;
using V = std::vector<std::string>;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void spit(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

class ProgramFileTest : public ::testing::Test {
 protected:
  ProgramFileTest() : dir(fs::temp_directory_path() / ("zar-ncfile-" + std::to_string(::getpid()))) {
    fs::create_directories(dir);
  }
  ~ProgramFileTest() override { fs::remove_all(dir); }
  std::vector<std::string>& lines() { return op.messages[Page::Program]; }
  std::vector<std::string>& editor() { return op.editors[Page::Program]; }
  std::string path(const std::string& name) const { return (dir / name).string(); }

  fs::path dir;
  zar::test::RecordingOperator op;
  MessageCatalog catalog = test::numberedCatalog();
  MessageLog log{catalog, op};
  ProgramFiles files{log};
  ProgramPage page;
};

TEST_F(ProgramFileTest, SaveAndLoadRoundTripWithGapsAndBlankLines) {
  editor() = {"G00 X0", "", "   ", "M30", "", ""};
  page.slot = 5;
  page.progName = "OLD";
  ASSERT_TRUE(files.save(path("p.nc"), page));
  // Empty lines cost nothing; trailing ones are gone; a blank-only line stays.
  EXPECT_EQ(slurp(dir / "p.nc"), "5\r\nOLD\r\nN1 G00 X0\r\nN3    \r\nN4 M30\r\n");
  EXPECT_EQ(lines(), (V{msg(116), msg(117)}));

  lines().clear();
  editor() = {"something else"};
  ProgramPage loaded;
  EXPECT_EQ(files.load(path("p.nc"), loaded), LoadStatus::Loaded);
  EXPECT_EQ(editor(), (V{"G00 X0", "", "   ", "M30"}));
  EXPECT_EQ(loaded.slot, 5);
  EXPECT_EQ(loaded.progName, "OLD");
  EXPECT_EQ(lines(), (V{msg(111), msg(114, ":4"), msg(115)}));
  EXPECT_EQ(files.fileNameLabel("/x/p.nc"), "#35:/x/p.nc");
}

TEST_F(ProgramFileTest, TypeDecidesTheNameLine) {
  editor() = {"X1"};
  page.slot = 12;
  page.progName = "IGNORED";
  page.typeIndex = kTypeX00;
  ASSERT_TRUE(files.save(path("x00.ncd"), page));
  EXPECT_EQ(slurp(dir / "x00.ncd"), "12\r\nN1 X1\r\n");

  ProgramPage loaded;
  loaded.typeIndex = kTypeX00;
  loaded.progName = "STALE";
  EXPECT_EQ(files.load(path("x00.ncd"), loaded), LoadStatus::Loaded);
  EXPECT_EQ(loaded.progName, "");
  EXPECT_EQ(editor(), (V{"X1"}));

  // Read as "ZAR X02", the first program line is taken for the name.
  ProgramPage asX02;
  EXPECT_EQ(files.load(path("x00.ncd"), asX02), LoadStatus::Loaded);
  EXPECT_EQ(asX02.progName, "N1 X1");
  EXPECT_TRUE(editor().empty());
}

TEST(ProgramFileParse, LineNumbersBlanksAndLineEnds) {
  // A first program line N4 gives three empty lines before it.
  auto d = parseProgramText("5\nOLD\nN4 X1\n", kTypeX02);
  EXPECT_EQ(d.lines, (V{"", "", "", "X1"}));
  // Two blanks: the second one belongs to the text. Bare LF and CR LF mix.
  d = parseProgramText("5\r\nOLD\nN7  X1\r\nN8 Y2", kTypeX02);
  EXPECT_EQ(d.lines, (V{"", "", "", "", "", "", " X1", "Y2"}));
  // Numbers going down or repeating add nothing; lines keep file order. A
  // line without a blank is skipped; the first character is not examined.
  d = parseProgramText("5\n\nN5 A\nN3 B\nN3 C\nNOBLANK\nQ4 D\n", kTypeX02);
  EXPECT_EQ(d.lines, (V{"", "", "", "", "A", "B", "C", "D"}));
  EXPECT_EQ(d.name, "");
  // A bare CR is text, not a line end.
  d = parseProgramText("1\nN1 A\rB\n", kTypeX00);
  EXPECT_EQ(d.lines, (V{"A\rB"}));
  // A gap before a line with no text: the empty line itself still counts.
  d = parseProgramText("1\nN1 A\nN4 \nN5 B\n", kTypeX00);
  EXPECT_EQ(d.lines, (V{"A", "", "", "", "B"}));
}

TEST(ProgramFileParse, SlotAndNameChecks) {
  EXPECT_EQ(parseProgramText("", kTypeX02).status, LoadStatus::NoSlot);
  EXPECT_EQ(parseProgramText("0\nA\n", kTypeX02).status, LoadStatus::BadSlot);
  EXPECT_EQ(parseProgramText("100\nA\n", kTypeX02).status, LoadStatus::BadSlot);
  EXPECT_EQ(parseProgramText("junk\n", kTypeX02).status, LoadStatus::BadSlot);
  EXPECT_EQ(parseProgramText("99999999999999999999\n", kTypeX02).status, LoadStatus::BadSlot);
  auto d = parseProgramText("  +7xyz\n", kTypeX02);
  EXPECT_EQ(d.status, LoadStatus::NoName);
  EXPECT_EQ(d.slot, 7);
  d = parseProgramText("7\nNINECHARS\nN1 X\n", kTypeX02);
  EXPECT_EQ(d.status, LoadStatus::NameTooLong);
  EXPECT_EQ(d.slot, 7);
  EXPECT_TRUE(d.lines.empty());
  d = parseProgramText("7\nEIGHTCHR\n", kTypeX02);
  EXPECT_EQ(d.status, LoadStatus::Loaded);
  EXPECT_EQ(d.name, "EIGHTCHR");
}

TEST(ProgramFileParse, OverlongLinesAndBinaryBytesNeverBreakLoading) {
  // 119 characters fill one piece; the line end then gives an empty piece
  // (no blank: skipped). A longer line becomes several pieces.
  const std::string exact = "N1 " + std::string(116, 'A');
  const std::string longer = "N2 " + std::string(130, 'B') + " C";
  auto d = parseProgramText("5\nP\n" + exact + "\n" + longer + "\n", kTypeX02);
  // The rest of the longer line, "BBBBBBBBBBBBBB C", is a line of its own:
  // its head "BBB...B" reads as number 0 (no gap), its text is "C".
  EXPECT_EQ(d.lines, (V{std::string(116, 'A'), std::string(116, 'B'), "C"}));
  d = parseProgramText("5\nP\n" + longer + "\n", kTypeX02);
  EXPECT_EQ(d.lines, (V{"", std::string(116, 'B'), "C"}));

  // NUL ends a piece's text; other bytes pass unchanged.
  d = parseProgramText("5\nP\xA4\nN1 A\0B\nN2 \xFF\x01\n"s, kTypeX02);
  EXPECT_EQ(d.name, "P\xA4");
  EXPECT_EQ(d.lines, (V{"A", "\xFF\x01"}));

  // Huge line numbers fill a bounded number of lines.
  d = parseProgramText("5\nP\nN2000000000 A\nN1 B\nN2147483647 C\nN-5 D\n", kTypeX02);
  EXPECT_EQ(d.lines.size(), kMaxFilledLines + 4);
  EXPECT_EQ(d.lines.back(), "D");
}

TEST_F(ProgramFileTest, BadFilesStopWithTheirMessages) {
  editor() = {"kept"};
  page.slot = 3;
  page.progName = "NAME";
  EXPECT_EQ(files.load(path("missing.nc"), page), LoadStatus::CannotOpen);
  EXPECT_EQ(files.load(dir.string(), page), LoadStatus::CannotOpen);
  EXPECT_EQ(files.lastError(), "Is a directory");
  ASSERT_EQ(::mkfifo(path("fifo.nc").c_str(), 0600), 0);  // never waited on
  EXPECT_EQ(files.load(path("fifo.nc"), page), LoadStatus::CannotOpen);
  EXPECT_EQ(files.lastError(), "Is a FIFO, not a file");
  fs::remove(path("fifo.nc"));
  EXPECT_EQ(editor(), (V{"kept"}));
  EXPECT_EQ(lines(), (V{msg(111), msg(111), msg(111)}));

  spit(dir / "slot.nc", "100\r\nA\r\nN1 X\r\n");
  lines().clear();
  EXPECT_EQ(files.load(path("slot.nc"), page), LoadStatus::BadSlot);
  EXPECT_TRUE(editor().empty());
  EXPECT_EQ(page.slot, 3);
  EXPECT_EQ(lines(), (V{msg(111), msg(112)}));

  spit(dir / "name.nc", "7\r\nNINECHARS\r\nN1 X\r\n");
  lines().clear();
  EXPECT_EQ(files.load(path("name.nc"), page), LoadStatus::NameTooLong);
  EXPECT_EQ(page.slot, 7);
  EXPECT_EQ(page.progName, "NAME");
  EXPECT_EQ(lines(), (V{msg(111), msg(113)}));

  spit(dir / "empty.nc", "");
  lines().clear();
  editor() = {"kept"};
  EXPECT_EQ(files.load(path("empty.nc"), page), LoadStatus::NoSlot);
  EXPECT_TRUE(editor().empty());
  EXPECT_EQ(lines(), (V{msg(111)}));
}

TEST_F(ProgramFileTest, FailedSaveKeepsTheOldFileWhole) {
  const fs::path target = dir / "keep.nc";
  spit(target, "5\r\nOLD\r\nN1 X1\r\n");
  ::chmod(target.c_str(), 0640);
  editor().assign(5000, "G01 X100.000 Y200.000 F1500");
  page.slot = 5;

  // Writing fails part-way: the file size limit stops the new file early.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved_ok = files.save(target.string(), page);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(saved_ok);
  EXPECT_FALSE(files.lastError().empty());
  EXPECT_EQ(slurp(target), "5\r\nOLD\r\nN1 X1\r\n");
  EXPECT_EQ(lines().front(), msg(116));
  EXPECT_NE(lines().back(), msg(117));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no leftovers

  // A successful save replaces it, keeping its mode; a link stays a link.
  editor() = {"X2"};
  ASSERT_TRUE(files.save(target.string(), page));
  EXPECT_EQ(slurp(target), "5\r\n\r\nN1 X2\r\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(target, dir / "link.nc");
  editor() = {"X3"};
  ASSERT_TRUE(files.save((dir / "link.nc").string(), page));
  EXPECT_TRUE(fs::is_symlink(dir / "link.nc"));
  EXPECT_EQ(slurp(target), "5\r\n\r\nN1 X3\r\n");

  // A directory that refuses new files: nothing is written, and it is said.
  EXPECT_FALSE(files.save((dir / "no" / "such.nc").string(), page));
  EXPECT_FALSE(files.save(dir.string(), page));

  // A full or failing disk at any step of the replace.
  fs::remove(dir / "link.nc");
  editor() = {"X4"};
  zar::test::expectOldFileSurvivesWriteFailures(target, [&](std::string& why) {
    const bool ok = files.save(target.string(), page);
    why = files.lastError();
    return ok;
  });
}

}  // namespace
}  // namespace zar::nc
