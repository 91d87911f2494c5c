// Parameter definition and address tables: the line format, file lookup
// against scratch working directories, the bounds, and the model and version
// buttons.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "param/ParameterTables.h"

namespace zar::param {
namespace {

namespace fs = std::filesystem;
using Entries = std::vector<ParameterEntry>;

ParameterEntry entry(std::string name, std::int32_t number) { return {std::move(name), number}; }

std::optional<ParameterEntry> definition(std::string_view line, int language = kEnglish) {
  return parseEntryLine(line, NameRule::Definition, language);
}
std::optional<ParameterEntry> address(std::string_view line, int language = kEnglish) {
  return parseEntryLine(line, NameRule::Address, language);
}

TEST(ParameterLineFormat, LastEqualsSplitsNameAndNumber) {
  EXPECT_EQ(definition("Max feed rate = 12"), entry("Max feed rate", 12));
  EXPECT_EQ(definition("A=B=7"), entry("A=B", 7));
  EXPECT_EQ(definition("Gain="), entry("Gain", 0));
  EXPECT_EQ(definition("=5"), entry("", 5));
  EXPECT_EQ(definition("Lead = -3 mm"), entry("Lead", -3));
  EXPECT_EQ(definition("Lead = x3"), entry("Lead", 0));
  EXPECT_EQ(definition("Huge = 99999999999"), entry("Huge", 2147483647));
  EXPECT_EQ(definition("Title without equals sign"), std::nullopt);
  EXPECT_EQ(definition(""), std::nullopt);
}

TEST(ParameterLineFormat, OnlyDefinitionNamesAreTrimmedAndOnlyAtTheEnd) {
  EXPECT_EQ(definition("Spindle  \t=  1500"), entry("Spindle", 1500));
  EXPECT_EQ(address("Spindle  \t=  1500"), entry("Spindle  \t", 1500));
  EXPECT_EQ(definition("  Indented = 4"), entry("  Indented", 4));
  EXPECT_EQ(definition(" \t = 4"), entry("", 4));
}

TEST(ParameterLineFormat, LongNamesAreCutTo39BytesWithBig5CharactersKeptWhole) {
  const std::string long50(50, 'n');
  EXPECT_EQ(address(long50 + "=1")->name, std::string(39, 'n'));
  // A cut that lands on blanks leaves none at the end of a definition name.
  EXPECT_EQ(definition(std::string(38, 'a') + "  b=1")->name, std::string(38, 'a'));
  // Big5: "X" then two-byte characters; byte 39 would split one, so it goes.
  const std::string axis = "\xB6\x62";  // one Big5 character
  std::string big5 = "X";
  for (int i = 0; i < 25; ++i) big5 += axis;
  EXPECT_EQ(address(big5 + "=1", kChinese)->name.size(), 39u);
  EXPECT_EQ(address("X" + big5 + "=1", kChinese)->name.size(), 38u);
  // The same bytes as English text are cut at 39 regardless.
  EXPECT_EQ(address("X" + big5 + "=1", kEnglish)->name.size(), 39u);
}

TEST(ParameterLineFormat, ReadsInPiecesOf253AndStopsAtTheLimit) {
  // A 300-character line is two lines: the "=" in the second piece gives a
  // name of the piece's text only.
  std::istringstream in(std::string(260, 'a') + "=5\nB=6\r\nno equals\nC=7\n");
  Entries out;
  EXPECT_EQ(readEntries(in, NameRule::Definition, kEnglish, 100, out), 3u);
  EXPECT_EQ(out, (Entries{entry(std::string(7, 'a'), 5), entry("B", 6), entry("C", 7)}));

  std::istringstream more("D=1\nE=2\nF=3\n");
  EXPECT_EQ(readEntries(more, NameRule::Definition, kEnglish, 4, out), 1u);  // 3 were there
  EXPECT_EQ(out.back(), entry("D", 1));
}

// ---------------------------------------------------------------- files

class ParameterFilesDir : public ::testing::Test {
 protected:
  ParameterFilesDir() : dir(fs::temp_directory_path() / ("zar-param-" + std::to_string(::getpid()))) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~ParameterFilesDir() override { fs::remove_all(dir); }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  ParameterTables tables(int language = kEnglish) {
    ParameterTables t(FileLocator(dir.string()), language);
    t.LoadAddressTables();
    return t;
  }
  fs::path dir;
};

TEST(ParameterFileNames, VersionOnlyForX02ModelsLanguageLast) {
  EXPECT_EQ(definitionFileNames(0, 1, kChinese).primary, "102ParK.txt");
  EXPECT_EQ(definitionFileNames(0, 1, kChinese).fallback, "102Par.txt");
  EXPECT_EQ(definitionFileNames(1, 0, kEnglish).primary, "202ParSDE.txt");
  EXPECT_EQ(definitionFileNames(1, 0, kEnglish).fallback, "202ParE.txt");
  EXPECT_EQ(definitionFileNames(2, 2, kChinese).primary, "302ParM.txt");
  EXPECT_EQ(definitionFileNames(5, 2, kEnglish).primary, "300ParE.txt");
  EXPECT_EQ(definitionFileNames(3, 0, kChinese).fallback, "101Par.txt");
  EXPECT_EQ(addressTableFileName(0, kChinese), "Z102Add.Ini");
  EXPECT_EQ(addressTableFileName(2, kEnglish), "Z302AddE.Ini");
  EXPECT_EQ(addressTableFileName(4, kEnglish), "XE.Ini");
}

TEST_F(ParameterFilesDir, PrimaryFileThenFallbackThenAddressEntries) {
  write("102Par.txt", "Feed = 12\nGain = 7\n");
  write("Z102Add.Ini", "Servo =900\n");
  ParameterTables t = tables(kChinese);
  ParameterList list = t.buildList(0, 1);  // 102ParK.txt absent
  EXPECT_EQ(list.entries, (Entries{entry("Feed", 12), entry("Gain", 7), entry("Servo ", 900)}));
  EXPECT_EQ(list.definitionCount, 2u);
  EXPECT_EQ(fs::path(list.definitionPath).filename(), "102Par.txt");

  write("102ParK.txt", "K only = 140\n");
  list = t.buildList(0, 1);  // read afresh: the new file counts at once
  EXPECT_EQ(list.entries, (Entries{entry("K only", 140), entry("Servo ", 900)}));
  // A primary name that is a directory cannot be read: the fallback is used.
  fs::create_directory(dir / "102ParM.txt");
  EXPECT_EQ(t.buildList(0, 2).entries.front(), entry("Feed", 12));
}

TEST_F(ParameterFilesDir, LanguagePicksTheFilesAndX00ModelsIgnoreTheVersion) {
  write("202ParSD.txt", "Chinese = 1\n");
  write("202ParSDE.txt", "English = 2\n");
  write("Z202AddE.Ini", "Addr=3\n");
  EXPECT_EQ(tables(kEnglish).buildList(1, 0).entries, (Entries{entry("English", 2), entry("Addr", 3)}));
  EXPECT_EQ(tables(kChinese).buildList(1, 0).entries, (Entries{entry("Chinese", 1)}));

  write("300ParE.txt", "Axes = 9\n");
  for (int version = 0; version < 3; ++version)
    EXPECT_EQ(tables().buildList(5, version).entries, (Entries{entry("Axes", 9)}));
  write("XE.Ini", "Extra=77\n");  // shared by 101, 200 and 300
  EXPECT_EQ(tables().buildList(5, 0).entries, (Entries{entry("Axes", 9), entry("Extra", 77)}));
  EXPECT_EQ(tables().addressTable(3), (Entries{entry("Extra", 77)}));
  // Nothing at all: an empty list, no definition file named.
  const ParameterList none = tables().buildList(0, 1);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(none.definitionPath, "");
  EXPECT_TRUE(tables().buildList(6, 0).empty());
}

TEST_F(ParameterFilesDir, BoundsHoldForHugeFiles) {
  // 100 000 definition lines, 1 500 address lines: 2 000 definitions, and no
  // room left for address entries; the address table keeps 1 000.
  std::string defs, addrs;
  for (int i = 0; i < 100000; ++i) defs += "P" + std::to_string(i) + " = " + std::to_string(i) + "\n";
  for (int i = 0; i < 1500; ++i) addrs += "A" + std::to_string(i) + "=" + std::to_string(5000 + i) + "\n";
  write("101ParE.txt", defs);
  write("XE.Ini", addrs);
  ParameterTables t = tables();
  EXPECT_EQ(t.addressTable(3).size(), kMaxAddressEntries);
  ParameterList list = t.buildList(3, 0);
  EXPECT_EQ(list.count(), kMaxListEntries);
  EXPECT_EQ(list.entries.back(), entry("P1999", 1999));

  // 1 500 definitions: the address entries fill the list up to 2 000.
  defs.clear();
  for (int i = 0; i < 1500; ++i) defs += "P = " + std::to_string(i) + "\n";
  write("101ParE.txt", defs);
  list = t.buildList(3, 0);
  EXPECT_EQ(list.count(), kMaxListEntries);
  EXPECT_EQ(list.definitionCount, 1500u);
  EXPECT_EQ(list.entries.back(), entry("A499", 5499));
}

TEST_F(ParameterFilesDir, BinaryBytesAndTenMegabyteLinesGiveBoundedNames) {
  std::string text(10 * 1024 * 1024, 'x');
  text += "=1\n";
  text += "\xFF\x81" "=2";
  text += '\0';
  text += "=9 after a NUL byte\n";
  text += "\r\x1B[2J=3\n";
  write("200ParE.txt", text);
  const ParameterList list = tables().buildList(4, 0);
  ASSERT_EQ(list.count(), 3u);
  EXPECT_EQ(list[0], entry(std::string(39, 'x'), 1));  // the last piece of the long line
  EXPECT_EQ(list[1], entry("\xFF\x81", 2));           // a NUL byte ends the line's text
  EXPECT_EQ(list[2], entry("\r\x1B[2J", 3));
}

// ---------------------------------------------------------------- selection

TEST(ParameterSelectors, ModelButtonsSetTheirVersionOthersKeepIt) {
  const ModelVersion m102M{0, 2}, m300K{5, 1};
  EXPECT_EQ(enterSelector(SelectorButton::ZAR102, m102M), (ModelVersion{0, 1}));
  EXPECT_EQ(enterSelector(SelectorButton::ZAR202, m102M), (ModelVersion{1, 0}));
  EXPECT_EQ(enterSelector(SelectorButton::ZAR302, m300K), (ModelVersion{2, 0}));
  EXPECT_EQ(enterSelector(SelectorButton::ZAR101, m102M), (ModelVersion{3, 2}));
  EXPECT_EQ(enterSelector(SelectorButton::ZAR200, m300K), (ModelVersion{4, 1}));
  EXPECT_EQ(enterSelector(SelectorButton::ZAR300, m102M), (ModelVersion{5, 2}));
  EXPECT_EQ(enterSelector(SelectorButton::VerSD, m300K), (ModelVersion{5, 0}));
  EXPECT_EQ(enterSelector(SelectorButton::VerK, m102M), (ModelVersion{0, 1}));
  EXPECT_EQ(enterSelector(SelectorButton::VerM, m300K), (ModelVersion{5, 2}));
}

TEST_F(ParameterFilesDir, ChooserRebuildsForTheSelection) {
  write("102ParKE.txt", "K = 1\n");
  write("102ParME.txt", "M = 2\n");
  write("202ParSDE.txt", "SD = 3\n");
  ParameterTables t = tables();
  ParameterChooser chooser(t);
  chooser.SetParameterList(0);  // start-up: 102, K
  EXPECT_EQ(chooser.list().entries, (Entries{entry("K", 1)}));
  chooser.enter(SelectorButton::VerM);
  EXPECT_EQ(chooser.list().entries, (Entries{entry("M", 2)}));
  chooser.enter(SelectorButton::ZAR102);  // back to K with the model button
  EXPECT_EQ(chooser.selection(), (ModelVersion{0, 1}));
  EXPECT_EQ(chooser.list().entries, (Entries{entry("K", 1)}));
  chooser.enter(SelectorButton::ZAR202);
  EXPECT_EQ(chooser.selection(), (ModelVersion{1, 0}));
  EXPECT_EQ(chooser.list().entries, (Entries{entry("SD", 3)}));
  chooser.SetParameterList(9);  // not a model: the index stays, the list empties
  EXPECT_EQ(chooser.ModelIndex, 1);
  EXPECT_TRUE(chooser.list().empty());
}

}  // namespace
}  // namespace zar::param
