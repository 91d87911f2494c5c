// Where the program's files are: every kind in the working directory, and
// every caller asking the locator instead of building the path itself.
#include "base/FileLocator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/Settings.h"
#include "controller/ControllerState.h"
#include "link/PortNames.h"
#include "sim/Converter.h"
#include "ui/MessageCatalog.h"

namespace zar {
namespace {

namespace fs = std::filesystem;

class FileLocatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_locator_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(FileLocatorTest, EveryKindLivesInTheWorkingDirectory) {
  const FileLocator files(dir.string() + "/");
  const std::string expected = (dir / "Message.E").string();
  for (FileKind kind : {FileKind::Data, FileKind::Config, FileKind::State}) {
    EXPECT_EQ(files.writePath(kind, "Message.E"), expected);
    EXPECT_EQ(files.find(kind, "Message.E"), "");        // not there yet
    EXPECT_EQ(files.readPath(kind, "Message.E"), expected);  // where it would be
  }
  std::ofstream(dir / "Message.E") << "M1 x\n";
  EXPECT_EQ(files.find(FileKind::Data, "Message.E"), expected);
  // No working directory given: the process's current directory.
  EXPECT_EQ(FileLocator().writePath(FileKind::Config, "Init.Ini"), "Init.Ini");
}

TEST_F(FileLocatorTest, CallersFindTheirFilesThroughIt) {
  const FileLocator files(dir.string());
  std::ofstream(files.writePath(FileKind::Data, "Message.E")) << "M1 first\nM2 second\n";
  std::ofstream(files.writePath(FileKind::Data, kCustomerIniName)) << "Language = 1\nBaud = 2\n";
  std::ofstream(files.writePath(FileKind::Config, kInitIniName)) << "Time Out Timer    = 777\n";

  MessageCatalog catalog;
  ASSERT_TRUE(catalog.load(dir.string(), 1));
  EXPECT_EQ(catalog.text(2), "second");
  const Settings settings = loadSettings(dir.string());
  EXPECT_EQ(settings.timeOut, 777);
  EXPECT_EQ(settings.baudSelector, 2);

  ASSERT_TRUE(saveInitIni(settings, 1, dir.string()));
  EXPECT_TRUE(fs::exists(files.writePath(FileKind::Config, kInitIniName)));
  EXPECT_EQ(PortDirectory(dir.string(), (dir / "dev").string(), (dir / "sys").string()).mappingFile(),
            files.writePath(FileKind::Config, PortDirectory::kMapFileName));
  EXPECT_EQ(controller::defaultStateFile(dir.string()),
            files.writePath(FileKind::State, controller::kDefaultStateFileName));
  sim::BlockList list;
  ASSERT_TRUE(sim::WriteDump(dir.string(), list, sim::ConversionResult{}));
  EXPECT_TRUE(fs::exists(files.writePath(FileKind::State, sim::kDumpFileName)));
}

TEST_F(FileLocatorTest, CommandsWithoutCustomerIniSpeakEnglish) {
  EXPECT_EQ(customerLanguageOrEnglish(dir.string()), 1);
  std::ofstream(dir / kCustomerIniName) << "Language = 0\nBaud = 4\n";
  EXPECT_EQ(customerLanguageOrEnglish(dir.string()), 0);
}

}  // namespace
}  // namespace zar
