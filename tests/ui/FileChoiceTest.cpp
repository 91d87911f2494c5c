#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ui/FileChoice.h"

namespace zar {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// A fresh directory under the system's temporary directory.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zar-filechoice-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  void touch(const std::string& name) const { std::ofstream(path_ + "/" + name) << "x\n"; }

 private:
  std::string path_;
};

TEST(FileChoice, OpenBuildsThePathFromNameFilterAndPage) {
  FileChoice state;
  EXPECT_EQ(state.LastFileName, (std::array<std::string, 3>{"TMP", "TMP", "TMP"}));

  confirmOpen(state, Page::Program, 1, "/jobs", "PROG");  // NCD files
  EXPECT_EQ(state.CurrentFileName, "/jobs/PROG.ncd");
  EXPECT_TRUE(state.FileDialogConfirmed);
  confirmOpen(state, Page::Program, 2, "/jobs/", "PROG");  // All files
  EXPECT_EQ(state.CurrentFileName, "/jobs/PROG.nc");
  EXPECT_EQ(state.lastFileName(Page::Program), "PROG");

  // A name with a full stop is taken as it stands; the proposal keeps the part before it.
  confirmOpen(state, Page::Plc, 0, "/jobs", "A.B.C");
  EXPECT_EQ(state.CurrentFileName, "/jobs/A.B.C");
  EXPECT_EQ(state.lastFileName(Page::Plc), "A");
  confirmOpen(state, Page::Plc, 1, "/jobs", "LADDER");
  EXPECT_EQ(state.CurrentFileName, "/jobs/LADDER.plm");

  // The mask left in the name box, and an empty name, are passed on for the caller to fail.
  confirmOpen(state, Page::Program, 0, "/jobs", "*.*");
  EXPECT_EQ(state.CurrentFileName, "/jobs/*.*");
  confirmOpen(state, Page::Parameter, 0, "/jobs", "");
  EXPECT_EQ(state.CurrentFileName, "/jobs/.par");
  EXPECT_TRUE(state.FileDialogConfirmed);

  // An absolute name is not glued to the shown directory.
  confirmOpen(state, Page::Program, 0, "/jobs", "/other/PART");
  EXPECT_EQ(state.CurrentFileName, "/other/PART.nc");
  // A full stop in a directory part does not count as an extension.
  confirmOpen(state, Page::Program, 0, "/jobs", "v1.2/PART");
  EXPECT_EQ(state.CurrentFileName, "/jobs/v1.2/PART.nc");
  EXPECT_EQ(state.lastFileName(Page::Program), "PART");
}

TEST(FileChoice, SaveKeepsTheNameAsTypedAndTreatsEmptyAsClose) {
  FileChoice state;
  ASSERT_TRUE(confirmSave(state, Page::Parameter, 0, "/data", "SET1"));
  EXPECT_EQ(state.CurrentFileName, "/data/SET1.par");
  ASSERT_TRUE(confirmSave(state, Page::Parameter, 1, "/data", "SET1.TXT"));
  EXPECT_EQ(state.CurrentFileName, "/data/SET1.TXT");
  EXPECT_EQ(state.lastFileName(Page::Parameter), "SET1.TXT");

  ASSERT_TRUE(confirmSave(state, Page::Plc, 0, "/data", "B.PMC"));
  EXPECT_EQ(state.lastFileName(Page::Plc), "B.PMC");
  ASSERT_TRUE(confirmSave(state, Page::Plc, 2, "/data", "IMAGE"));
  EXPECT_EQ(state.CurrentFileName, "/data/IMAGE.pmc");  // third entry of the PLC save filter
  ASSERT_TRUE(confirmSave(state, Page::Plc, 1, "/data", "IMAGE"));
  EXPECT_EQ(state.CurrentFileName, "/data/IMAGE.mcn");
  EXPECT_EQ(state.lastFileName(Page::Program), "TMP");  // other pages untouched

  EXPECT_FALSE(confirmSave(state, Page::Plc, 0, "/data", ""));
  EXPECT_FALSE(state.FileDialogConfirmed);
  EXPECT_EQ(state.CurrentFileName, "/data/IMAGE.mcn");
  EXPECT_EQ(state.lastFileName(Page::Plc), "IMAGE");
}

TEST(FileChoice, FiltersPerPageAndDialog) {
  EXPECT_EQ(fileFilter(Page::Plc, FileDialogKind::Open),
            "PLC files|*.pmc|PLM files|*.plm|BIN files|*.mcn|All files|*.*");
  const auto save = filterEntries(Page::Plc, FileDialogKind::Save);
  ASSERT_EQ(save.size(), 3u);
  EXPECT_EQ(save[1].description, "BIN files");
  EXPECT_EQ(save[1].mask, "*.mcn");
  EXPECT_EQ(filterEntries(Page::Program, FileDialogKind::Save).size(), 3u);
  EXPECT_EQ(filterEntries(Page::Parameter, FileDialogKind::Open).size(), 2u);
}

TEST(FileChoice, MasksIgnoreCaseAndStarDotStarTakesEverything) {
  EXPECT_TRUE(matchesMask("JOBL05.NC", "*.nc"));
  EXPECT_TRUE(matchesMask("prog.nc", "*.NC"));
  EXPECT_FALSE(matchesMask("prog.ncd", "*.nc"));
  EXPECT_FALSE(matchesMask("prognc", "*.nc"));
  EXPECT_TRUE(matchesMask("README", "*.*"));
  EXPECT_TRUE(matchesMask("P7.nc", "P?.nc"));
  EXPECT_FALSE(matchesMask("P77.nc", "P?.nc"));
  EXPECT_TRUE(matchesMask("a.b.nc", "*.nc"));
}

TEST(FileChoice, ListsMatchingFilesAndVisibleSubdirectories) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  for (const char* name : {"B.nc", "a.NC", "c.ncd", ".hidden.nc", "notes"}) dir.touch(name);
  fs::create_directory(dir.path() + "/sub.nc");
  fs::create_directory(dir.path() + "/.cache");
  EXPECT_EQ(listFiles(dir.path(), "*.nc"), (Strings{"B.nc", "a.NC"}));
  EXPECT_EQ(listFiles(dir.path(), "*.*"), (Strings{"B.nc", "a.NC", "c.ncd", "notes"}));
  EXPECT_EQ(listDirectories(dir.path()), (Strings{"sub.nc"}));
  EXPECT_TRUE(listFiles(dir.path() + "/missing", "*.*").empty());
}

TEST(FileChoice, MakesOneDirectoryOnly) {
  TempDir dir;
  std::string made = "unchanged";
  ASSERT_TRUE(makeNewDirectory(dir.path(), "JOBS", made));
  EXPECT_EQ(made, dir.path() + "/JOBS");
  EXPECT_TRUE(fs::is_directory(made));

  std::string again = "unchanged";
  EXPECT_FALSE(makeNewDirectory(dir.path(), "JOBS", again));           // exists already
  EXPECT_FALSE(makeNewDirectory(dir.path(), "missing/INNER", again));  // no intermediate directories
  EXPECT_FALSE(makeNewDirectory(dir.path(), "", again));
  EXPECT_EQ(again, "unchanged");
}

TEST(FileChoice, DrivesAndDirectoryChain) {
  const std::string table =
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sdb1 /media/op/USB\\040STICK vfat rw 0 0\n"
      "/dev/sdc1 /mnt/backup ext4 rw 0 0\n"
      "tmpfs /run/user/1000 tmpfs rw 0 0\n"
      "/dev/sdd1 /run/media/op/CARD exfat rw 0 0\n";
  EXPECT_EQ(mediaMountPoints(table), (Strings{"/media/op/USB STICK", "/mnt/backup", "/run/media/op/CARD"}));

  const Strings roots{"/", "/home/op", "/media/op/USB STICK"};
  EXPECT_EQ(rootIndexFor(roots, "/home/op/jobs"), 1);
  EXPECT_EQ(rootIndexFor(roots, "/home/op"), 1);
  EXPECT_EQ(rootIndexFor(roots, "/home/operator"), 0);  // a prefix that is not a parent
  EXPECT_EQ(rootIndexFor(roots, "/media/op/USB STICK/x"), 2);

  const Strings found = reachableRoots();
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found.front(), "/");

  EXPECT_EQ(directoryChain("/home/op/jobs/"), (Strings{"/", "/home", "/home/op", "/home/op/jobs"}));
  EXPECT_EQ(directoryChain("/"), (Strings{"/"}));
  EXPECT_EQ(parentDirectory("/home"), "/");
  EXPECT_EQ(absoluteDirectory("/a/b/../c/"), "/a/c");
  EXPECT_EQ(absoluteDirectory("").front(), '/');
}

}  // namespace
}  // namespace zar
