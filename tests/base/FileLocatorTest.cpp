// Where the program's files are: every kind in the working directory, and
// every caller asking the locator instead of building the path itself.
#include "base/FileLocator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <atomic>
#include <iterator>
#include <map>
#include <thread>
#include <vector>
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

// ---- an installed program: the working directory, then the XDG and installed places

// A fake environment and install tree under the test's directory.
class InstalledPlacesTest : public FileLocatorTest {
 protected:
  void SetUp() override {
    FileLocatorTest::SetUp();
    for (const char* d : {"work", "home", "xdg/data/zarlink", "prefix/bin", "prefix/share/zarlink"}) {
      fs::create_directories(dir / d);
    }
    env = {{"HOME", (dir / "home").string()},
           {"XDG_DATA_HOME", (dir / "xdg/data").string()},
           {"XDG_CONFIG_HOME", (dir / "xdg/config").string()},
           {"XDG_STATE_HOME", (dir / "xdg/state").string()}};
  }
  FilePlaces places() const {
    return FilePlaces::fromEnvironment(
        [this](const char* name) -> const char* {
          auto it = env.find(name);
          return it == env.end() ? nullptr : it->second.c_str();
        },
        (dir / "prefix/bin/zarctl").string());
  }
  FileLocator locator() const { return FileLocator((dir / "work").string(), places()); }
  void put(const fs::path& path, const std::string& text = "x\n") const { std::ofstream(dir / path) << text; }
  std::string at(const fs::path& path) const { return (dir / path).string(); }
  std::map<std::string, std::string> env;
};

TEST_F(InstalledPlacesTest, DataComesFromWorkingThenUserThenInstalledDirectory) {
  put("prefix/share/zarlink/Message.E");
  put("prefix/share/zarlink/Message.C");
  put("prefix/share/zarlink/102Par.txt");
  put("xdg/data/zarlink/Message.E");
  put("work/102Par.txt");
  const FileLocator files = locator();
  EXPECT_FALSE(files.portable());
  EXPECT_EQ(files.find(FileKind::Data, "102Par.txt"), at("work/102Par.txt"));
  EXPECT_EQ(files.find(FileKind::Data, "Message.E"), at("xdg/data/zarlink/Message.E"));
  EXPECT_EQ(files.find(FileKind::Data, "Message.C"), at("prefix/share/zarlink/Message.C"));
  EXPECT_EQ(files.find(FileKind::Data, "Message.X"), "");
  // A missing data file is named where the user would put it, and every
  // place it was looked for can be listed.
  EXPECT_EQ(files.readPath(FileKind::Data, "Message.X"), at("work/Message.X"));
  EXPECT_EQ(files.placesText(FileKind::Config), at("xdg/config/zarlink"));
  EXPECT_EQ(files.searchedDirectories(FileKind::Data),
            (std::vector<std::string>{at("work"), at("xdg/data/zarlink"), at("prefix/share/zarlink"),
                                      at("prefix/bin/run")}));
  // The catalog loader goes the same way.
  std::ofstream(dir / "prefix/share/zarlink/Message.E") << "M1 installed\n";
  fs::remove(dir / "xdg/data/zarlink/Message.E");
  FileLocator::usePlaces(places());
  MessageCatalog catalog;
  const bool loaded = catalog.load(at("work"), 1);
  FileLocator::usePlaces(FilePlaces{});
  ASSERT_TRUE(loaded);
  EXPECT_EQ(catalog.text(1), "installed");
}

TEST_F(InstalledPlacesTest, SettingsAndStateGoToTheUsersDirectoriesMadeOnFirstWrite) {
  const FileLocator files = locator();
  // Reading makes nothing.
  EXPECT_EQ(files.readPath(FileKind::Config, kInitIniName), at("xdg/config/zarlink/Init.Ini"));
  EXPECT_EQ(files.find(FileKind::Config, kInitIniName), "");
  EXPECT_FALSE(fs::exists(dir / "xdg/config"));
  // Writing makes the directory, for the user alone.
  EXPECT_EQ(files.writePath(FileKind::Config, kInitIniName), at("xdg/config/zarlink/Init.Ini"));
  EXPECT_TRUE(fs::is_directory(dir / "xdg/config/zarlink"));
  EXPECT_EQ(fs::status(dir / "xdg/config/zarlink").permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(files.writePath(FileKind::State, "VirtualController.state"),
            at("xdg/state/zarlink/VirtualController.state"));
  // The working directory gets nothing.
  EXPECT_TRUE(fs::is_empty(dir / "work"));
  EXPECT_EQ(files.searchedDirectories(FileKind::Config), std::vector<std::string>{at("xdg/config/zarlink")});
}

TEST_F(InstalledPlacesTest, APortableDirectoryKeepsEveryKindAsBefore) {
  for (const char* marker : {"Init.Ini", "Customer.ini"}) {
    SCOPED_TRACE(marker);
    fs::remove_all(dir / "work");
    fs::create_directories(dir / "work");
    put(fs::path("work") / marker);
    put("xdg/data/zarlink/Message.E");
    const FileLocator files = locator();
    EXPECT_TRUE(files.portable());
    EXPECT_EQ(files.writePath(FileKind::Config, kInitIniName), at("work/Init.Ini"));
    EXPECT_EQ(files.writePath(FileKind::State, "Test.TXT"), at("work/Test.TXT"));
    EXPECT_EQ(files.readPath(FileKind::Config, PortDirectory::kMapFileName), at("work/Ports.ini"));
    // Data too: one it lacks is missing, not taken from elsewhere.
    EXPECT_EQ(files.find(FileKind::Data, "Message.E"), "");
    EXPECT_EQ(files.placesText(FileKind::Data), "the working directory");
    put("work/Message.E");
    EXPECT_EQ(files.find(FileKind::Data, "Message.E"), at("work/Message.E"));
  }
  EXPECT_FALSE(fs::exists(dir / "xdg/config"));
}

TEST_F(InstalledPlacesTest, EnvironmentRules) {
  // Relative XDG values are ignored: $HOME's defaults stand.
  env["XDG_CONFIG_HOME"] = "relative/config";
  env.erase("XDG_DATA_HOME");
  env.erase("XDG_STATE_HOME");
  FilePlaces p = places();
  EXPECT_EQ(p.configDir, at("home/.config/zarlink"));
  EXPECT_EQ(p.stateDir, at("home/.local/state/zarlink"));
  ASSERT_FALSE(p.dataDirs.empty());
  EXPECT_EQ(p.dataDirs.front(), at("home/.local/share/zarlink"));
  // No $HOME and no XDG values: nowhere to keep settings, data still found.
  env.clear();
  p = places();
  EXPECT_EQ(p.configDir, "");
  EXPECT_EQ(p.dataDirs, (std::vector<std::string>{at("prefix/share/zarlink"), at("prefix/bin/run")}));
  const FileLocator files((dir / "work").string(), p);
  EXPECT_EQ(files.writePath(FileKind::Config, kInitIniName), "");
  EXPECT_NE(files.describe().find("no $HOME"), std::string::npos);
  // Saving then fails with a reason; loading gives the defaults.
  FileLocator::usePlaces(p);
  std::string why;
  EXPECT_FALSE(saveInitIni(Settings{}, 1, at("work"), &why));
  EXPECT_NE(why.find("$HOME"), std::string::npos) << why;
  EXPECT_EQ(loadSettings(at("work")).timeOut, Settings{}.timeOut);
  FileLocator::usePlaces(FilePlaces{});
}

TEST_F(InstalledPlacesTest, AConfigDirectoryThatIsAFileIsReportedNotFollowed) {
  fs::create_directories(dir / "xdg/config");
  put("xdg/config/zarlink", "not a directory\n");
  FileLocator::usePlaces(places());
  std::string why;
  EXPECT_FALSE(saveInitIni(Settings{}, 1, at("work"), &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(loadSettings(at("work")).timeOut, Settings{}.timeOut);
  FileLocator::usePlaces(FilePlaces{});
  EXPECT_TRUE(fs::is_regular_file(dir / "xdg/config/zarlink"));  // left as it was
}

TEST_F(InstalledPlacesTest, SettingsSavedAndReadBackThroughTheUsersDirectory) {
  FileLocator::usePlaces(places());
  Settings s;
  s.timeOut = 4321;
  ASSERT_TRUE(saveInitIni(s, 1, at("work")));
  EXPECT_TRUE(fs::exists(dir / "xdg/config/zarlink/Init.Ini"));
  EXPECT_EQ(loadSettings(at("work")).timeOut, 4321);
  EXPECT_EQ(controller::defaultStateFile(at("work")), at("xdg/state/zarlink/VirtualController.state"));
  FileLocator::usePlaces(FilePlaces{});
  EXPECT_TRUE(fs::is_empty(dir / "work"));
}

TEST_F(InstalledPlacesTest, TwoProgramsClosingAtOnceLeaveOneWholeInitIni) {
  FileLocator::usePlaces(places());
  const std::string path = locator().writePath(FileKind::Config, kInitIniName);
  Settings a, b;
  a.timeOut = 1111;
  b.timeOut = 2222;
  const std::string wholeA = formatInitIni(a, 1), wholeB = formatInitIni(b, 1);
  std::atomic<bool> done{false};
  std::atomic<int> torn{0}, failed{0};
  auto writer = [&](const Settings& s) {
    for (int i = 0; i < 100; ++i) failed += saveInitIni(s, 1, at("work")) ? 0 : 1;
  };
  std::thread reader([&] {
    while (!done) {
      std::ifstream in(path, std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (!text.empty() && text != wholeA && text != wholeB) ++torn;
    }
  });
  std::thread first(writer, a), second(writer, b);
  first.join();
  second.join();
  done = true;
  reader.join();
  FileLocator::usePlaces(FilePlaces{});
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(torn, 0);
  std::ifstream in(path, std::ios::binary);
  const std::string last((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(last == wholeA || last == wholeB);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "xdg/config/zarlink"), fs::directory_iterator{}), 1);
}

}  // namespace
}  // namespace zar
