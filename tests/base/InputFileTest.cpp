#include "base/InputFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace zar {
namespace {

namespace fs = std::filesystem;

class InputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_input_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  // Why `path` is refused ("" when it is read), with a small bound if given.
  std::string refusal(const fs::path& path, std::uint64_t bound = kMaxInputFileBytes) {
    std::string content, why;
    return readInputFile(path.string(), content, &why, bound) ? "" : why;
  }

  fs::path dir;
};

// A path no one may read, also when the tests run as root.
std::string unreadablePath(const fs::path& dir) {
  if (::geteuid() != 0) {
    const fs::path p = dir / "secret";
    std::ofstream(p) << "x";
    ::chmod(p.c_str(), 0);
    return p.string();
  }
  return "/proc/sys/vm/drop_caches";  // write-only even for root
}

TEST_F(InputFileTest, ReadsARegularFileAsAStreamInBlocks) {
  std::string text;
  for (int i = 0; i < 30000; ++i) text += "N" + std::to_string(i) + " G01 X1\r\n";
  std::ofstream(dir / "p.nc", std::ios::binary) << text;
  fs::create_symlink("p.nc", dir / "link.nc");

  InputFile file;
  std::string why;
  ASSERT_TRUE(file.open((dir / "link.nc").string(), &why)) << why;
  EXPECT_EQ(file.size(), text.size());
  std::string line;
  std::getline(file.stream(), line);
  EXPECT_EQ(line, "N0 G01 X1\r");
  std::string content;
  EXPECT_TRUE(readInputFile((dir / "p.nc").string(), content, &why));
  EXPECT_EQ(content, text);
  EXPECT_FALSE(file.failed());
}

TEST_F(InputFileTest, RefusesWhatIsNotARegularFileWithoutWaitingOnIt) {
  EXPECT_EQ(refusal(dir / "none"), std::strerror(ENOENT));
  EXPECT_EQ(refusal(dir), std::strerror(EISDIR));
  // Opening a FIFO for reading would wait for a writer: it is not opened.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(refusal(dir / "fifo"), "Is a FIFO, not a file");
  fs::create_symlink("fifo", dir / "to-fifo");
  EXPECT_EQ(refusal(dir / "to-fifo"), "Is a FIFO, not a file");
  EXPECT_EQ(refusal("/dev/null"), "Is a device, not a file");
  const std::string secret = unreadablePath(dir);
  if (fs::exists(secret)) {
    EXPECT_EQ(refusal(secret), std::strerror(EACCES));
  }

  // A refused open leaves an empty, failed stream.
  InputFile file;
  EXPECT_FALSE(file.open(dir.string(), nullptr));
  std::string line;
  EXPECT_FALSE(std::getline(file.stream(), line));
}

TEST_F(InputFileTest, AFileOverTheBoundIsRefusedBeforeItIsRead) {
  std::ofstream(dir / "f", std::ios::binary) << std::string(1000, 'x');
  EXPECT_EQ(refusal(dir / "f", 1000), "");
  EXPECT_EQ(refusal(dir / "f", 999), "Too large: 1000 bytes (at most 999 bytes is read)");
  // The real bound, on a sparse file that costs no disk.
  fs::resize_file(dir / "f", kMaxInputFileBytes);
  EXPECT_EQ(refusal(dir / "f", kMaxInputFileBytes - 1).substr(0, 10), "Too large:");
  fs::resize_file(dir / "f", std::uint64_t{100} << 20);
  EXPECT_EQ(refusal(dir / "f"), "Too large: 100 MiB (at most 16 MiB is read)");
}

TEST(SizeText, ReadsAsPeopleSayIt) {
  EXPECT_EQ(sizeText(1), "1 byte");
  EXPECT_EQ(sizeText(1023), "1023 bytes");
  EXPECT_EQ(sizeText(1536), "1.5 KiB");
  EXPECT_EQ(sizeText(std::uint64_t{100} << 20), "100 MiB");
}

}  // namespace
}  // namespace zar
