// Parameter files: 79-character pieces, CR LF on saving, the page's
// messages, and failures that say why and change nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "param/ParameterFile.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"

namespace zar::param {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;

std::string msg(int id, const std::string& extra = {}) { return "#" + std::to_string(id) + ":" + extra; }

V parse(const std::string& text) {
  std::istringstream in(text);
  return parseParameterFile(in);
}

TEST(ParameterFileFormat, PiecesOfAtMost79Characters) {
  const std::string l79(79, 'a'), l100(100, 'b');
  EXPECT_EQ(parse(l100 + "\r\n"), (V{std::string(79, 'b'), std::string(21, 'b')}));
  // Exactly 79: one line, the line end after it is not a line of its own.
  EXPECT_EQ(parse(l79 + "\r\n" + "x\r\n"), (V{l79, "x"}));
  EXPECT_EQ(parse(l79 + "\n\n"), (V{l79, ""}));
  EXPECT_EQ(parse(std::string(158, 'c') + "\r\nd"), (V{std::string(79, 'c'), std::string(79, 'c'), "d"}));
  // Bare LF and CR LF both end lines; a lone CR is text, also right after a full piece.
  EXPECT_EQ(parse("A(1)=2\nB(3)=4\r\n\r\n"), (V{"A(1)=2", "B(3)=4", ""}));
  EXPECT_EQ(parse(l79 + "\rz\n"), (V{l79, "\rz"}));
  EXPECT_EQ(parse(l79 + "\r"), (V{l79, "\r"}));
  EXPECT_EQ(parse(l79 + "\r" + std::string(78, 'y') + "z\r\n"), (V{l79, "\r" + std::string(78, 'y'), "z"}));
  EXPECT_EQ(parse(""), V{});
}

TEST(ParameterFileFormat, SavingWritesEveryLineWholeWithCrLf) {
  EXPECT_EQ(formatParameterFile({"A(1)=2", "", std::string(100, 'x')}),
            "A(1)=2\r\n\r\n" + std::string(100, 'x') + "\r\n");
  EXPECT_EQ(formatParameterFile({}), "");
}

class ParameterFilesTest : public ::testing::Test {
 protected:
  ParameterFilesTest() : dir(fs::temp_directory_path() / ("zar-parfile-" + std::to_string(::getpid()))) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~ParameterFilesTest() override { fs::remove_all(dir); }
  V& messages() { return op.messages[Page::Parameter]; }
  V& editor() { return op.editors[Page::Parameter]; }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir;
  test::RecordingOperator op;
  MessageCatalog catalog = test::numberedCatalog("#", ":", 250);
  MessageLog log{catalog, op};
  ParameterFiles files{log};
};

TEST_F(ParameterFilesTest, SaveAndLoadGiveBackTheEditorLines) {
  op.page = Page::Program;  // messages go to the parameter page whatever is shown
  editor() = {"Feed(12)=3000", "", "/ remark", std::string(79, 'n')};
  ASSERT_TRUE(files.save(path("a.par")));
  EXPECT_EQ(read("a.par"), "Feed(12)=3000\r\n\r\n/ remark\r\n" + std::string(79, 'n') + "\r\n");
  EXPECT_EQ(messages(), (V{msg(116), msg(117)}));

  messages().clear();
  const V saved = editor();
  editor() = {"something else"};
  ASSERT_TRUE(files.load(path("a.par")));
  EXPECT_EQ(editor(), saved);
  EXPECT_EQ(files.linesLoaded(), 4u);
  EXPECT_EQ(messages(), (V{msg(111), msg(114, ":4"), msg(115)}));
  EXPECT_TRUE(op.messages[Page::Program].empty());
  EXPECT_EQ(files.fileNameLabel("/x/a.par"), "#35:/x/a.par");
}

TEST_F(ParameterFilesTest, EmptyFileEmptiesTheEditor) {
  std::ofstream(dir / "empty.par").close();
  editor() = {"old"};
  ASSERT_TRUE(files.load(path("empty.par")));
  EXPECT_TRUE(editor().empty());
  EXPECT_EQ(messages(), (V{msg(111), msg(114, ":0"), msg(115)}));

  messages().clear();
  ASSERT_TRUE(files.save(path("out.par")));
  EXPECT_EQ(read("out.par"), "");
}

TEST_F(ParameterFilesTest, AFailedLoadSaysWhyAndKeepsTheEditor) {
  editor() = {"kept"};
  fs::create_directory(dir / "folder.par");
  for (const std::string name : {"missing.par", "folder.par"}) {
    messages().clear();
    EXPECT_FALSE(files.load(path(name))) << name;
    EXPECT_EQ(editor(), V{"kept"});
    ASSERT_EQ(messages().size(), 2u) << name;
    EXPECT_EQ(messages()[0], msg(111));
    EXPECT_NE(messages()[1].find(path(name)), std::string::npos);
    EXPECT_FALSE(files.lastError().empty());
  }
  EXPECT_EQ(files.lastError(), "Is a directory");
}

TEST_F(ParameterFilesTest, AFailedSaveSaysWhyAndKeepsTheOldFile) {
  std::ofstream(dir / "old.par", std::ios::binary) << "Old(1)=1\r\n";
  editor() = {"New(1)=2"};
  fs::create_directory(dir / "folder.par");
  EXPECT_FALSE(files.save(path("folder.par")));
  EXPECT_FALSE(files.save(path("no/such/dir/x.par")));
  EXPECT_EQ(messages().size(), 4u);
  EXPECT_EQ(messages()[0], msg(116));
  EXPECT_NE(messages()[1].find("folder.par"), std::string::npos);
  EXPECT_EQ(read("old.par"), "Old(1)=1\r\n");
  if (::geteuid() != 0) {  // root writes anywhere
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(files.save(path("old.par")));
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(read("old.par"), "Old(1)=1\r\n");
  }
}

}  // namespace
}  // namespace zar::param
