#include "base/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/WriteFailures.h"

namespace zar {
namespace {

namespace fs = std::filesystem;
using test::fileText;
using test::namesIn;

class SafeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_safefile_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  void put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  std::string replace(const fs::path& path, std::string_view text) {
    std::string why;
    return replaceFileContent(path.string(), text, &why) ? "" : why;
  }

  fs::path dir;
};

TEST_F(SafeFileTest, ReplacesTheWholeFileAndKeepsItsMode) {
  const fs::path file = dir / "a.txt";
  EXPECT_EQ(replace(file, "new file"), "");
  EXPECT_EQ(fileText(file), "new file");

  ::chmod(file.c_str(), 0640);
  EXPECT_EQ(replace(file, "second"), "");
  EXPECT_EQ(fileText(file), "second");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(namesIn(dir), std::set<std::string>{"a.txt"});
}

TEST_F(SafeFileTest, FailuresAtEveryStepLeaveTheOldFileAndSayWhy) {
  const fs::path file = dir / "old.txt";
  put(file, "the old content\r\n");
  test::expectOldFileSurvivesWriteFailures(
      file, [&](std::string& why) { return replaceFileContent(file.string(), "replacement", &why); });
  EXPECT_EQ(fileText(file), "replacement");

  // A file that did not exist is not created by a failed write.
  const fs::path fresh = dir / "fresh.txt";
  InjectedWriteFailure full(SafeFileStep::Write, ENOSPC);
  EXPECT_EQ(replace(fresh, "x"), std::strerror(ENOSPC));
  EXPECT_FALSE(fs::exists(fresh));
}

TEST_F(SafeFileTest, LinksStayLinksAndADanglingLinkGetsItsFile) {
  fs::create_directories(dir / "real");
  put(dir / "real" / "target.txt", "old");
  fs::create_symlink("real/target.txt", dir / "link.txt");
  EXPECT_EQ(replace(dir / "link.txt", "through the link"), "");
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(fileText(dir / "real" / "target.txt"), "through the link");

  // A link to a file that is not there yet: the file is created where the
  // link points (relative to the link), through a chain of links too.
  fs::create_symlink("real/later.txt", dir / "dangling");
  fs::create_symlink("dangling", dir / "chain");
  EXPECT_EQ(replace(dir / "chain", "created"), "");
  EXPECT_TRUE(fs::is_symlink(dir / "chain"));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(fileText(dir / "real" / "later.txt"), "created");

  fs::create_symlink("loop-b", dir / "loop-a");
  fs::create_symlink("loop-a", dir / "loop-b");
  EXPECT_EQ(replace(dir / "loop-a", "x"), std::strerror(ELOOP));
}

TEST_F(SafeFileTest, RefusesWhatIsNotAFileAndPlacesThatDoNotExist) {
  fs::create_directories(dir / "sub");
  EXPECT_EQ(replace(dir / "sub", "x"), std::strerror(EISDIR));
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(replace(dir / "fifo", "x"), "Is a FIFO, not a file");
  EXPECT_EQ(fs::status(dir / "fifo").type(), fs::file_type::fifo);
  EXPECT_EQ(replace(dir / "missing" / "x.txt", "x"), std::strerror(ENOENT));
  EXPECT_EQ(replace("/dev/null", "x"), "Is a device, not a file");
  EXPECT_EQ(namesIn(dir), (std::set<std::string>{"fifo", "sub"}));
}

TEST_F(SafeFileTest, StreamedContentReachesTheFileOnlyAtCommit) {
  const fs::path file = dir / "big.txt";
  put(file, "old");
  std::string expected;
  {
    SafeFileWriter out(file.string());
    std::string why;
    ASSERT_TRUE(out.open(&why)) << why;
    for (int i = 0; i < 20000; ++i) {  // several of the writer's blocks
      const std::string line = "line " + std::to_string(i) + "\r\n";
      out.stream() << line;
      expected += line;
    }
    EXPECT_EQ(fileText(file), "old");
    ASSERT_TRUE(out.commit(&why)) << why;
  }
  EXPECT_EQ(fileText(file), expected);

  // Abandoned: the old file stays and the temporary file goes.
  {
    SafeFileWriter out(file.string());
    ASSERT_TRUE(out.open(nullptr));
    out.stream() << "never committed";
  }
  EXPECT_EQ(fileText(file), expected);
  EXPECT_EQ(namesIn(dir), std::set<std::string>{"big.txt"});

  // A write that fails part-way is remembered and reported at commit.
  {
    SafeFileWriter out(file.string());
    ASSERT_TRUE(out.open(nullptr));
    InjectedWriteFailure failing(SafeFileStep::Write, EIO);
    out.stream() << std::string(200000, 'x');
    std::string why;
    EXPECT_FALSE(out.commit(&why));
    EXPECT_EQ(why, std::strerror(EIO));
  }
  EXPECT_EQ(fileText(file), expected);
  EXPECT_EQ(namesIn(dir), std::set<std::string>{"big.txt"});
}

TEST_F(SafeFileTest, WritersRacingForOneFileLeaveOneWholeVersion) {
  const fs::path file = dir / "shared.txt";
  const std::string a(50000, 'a'), b(70000, 'b');
  put(file, a);
  const pid_t child = ::fork();
  if (child == 0) {
    for (int i = 0; i < 100; ++i) replaceFileContent(file.string(), i % 2 ? a : b, nullptr);
    ::_exit(0);
  }
  for (int i = 0; i < 100; ++i) {
    replaceFileContent(file.string(), i % 2 ? b : a, nullptr);
    const std::string seen = fileText(file);
    ASSERT_TRUE(seen == a || seen == b) << "a torn file of " << seen.size() << " bytes";
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  const std::string last = fileText(file);
  EXPECT_TRUE(last == a || last == b);
  EXPECT_EQ(namesIn(dir), std::set<std::string>{"shared.txt"});
}

TEST_F(SafeFileTest, ChecksBeforeLongWorkAndKeepsWhatCouldNotBeWritten) {
  std::string why;
  EXPECT_TRUE(checkReplaceable((dir / "out.nc").string(), &why)) << why;
  EXPECT_FALSE(fs::exists(dir / "out.nc"));
  EXPECT_TRUE(namesIn(dir).empty());  // the probe is gone
  EXPECT_FALSE(checkReplaceable((dir / "no" / "out.nc").string(), &why));
  EXPECT_EQ(why, std::strerror(ENOENT));

  const std::string kept = keepInTemporaryFile("1\r\nPROG\r\nN1 X1\r\n", "zar-test-", ".nc");
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(fs::path(kept).extension(), ".nc");
  EXPECT_EQ(fileText(kept), "1\r\nPROG\r\nN1 X1\r\n");
  fs::remove(kept);
}

TEST_F(SafeFileTest, SameFileSeesThroughLinks) {
  put(dir / "a", "x");
  put(dir / "b", "x");
  fs::create_hard_link(dir / "a", dir / "hard");
  fs::create_symlink("a", dir / "soft");
  EXPECT_TRUE(sameFile((dir / "a").string(), (dir / "hard").string()));
  EXPECT_TRUE(sameFile((dir / "soft").string(), (dir / "." / "a").string()));
  EXPECT_FALSE(sameFile((dir / "a").string(), (dir / "b").string()));
  EXPECT_FALSE(sameFile((dir / "a").string(), (dir / "none").string()));
}

}  // namespace
}  // namespace zar
