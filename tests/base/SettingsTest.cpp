#include "base/Settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/WriteFailures.h"

namespace fs = std::filesystem;

namespace zar {
namespace {

const char* kFullIni =
    "Time Out Timer    = 1500\r\n"
    "Trans Delay time  = 20\r\n"
    "System parameter  = 1,0,7,5\r\n"
    "Transit mode      = 1\r\n"
    "Default COM       = 3\r\n"
    "PLC Transit Delay = 80\r\n"
    "System parameter2 = 4000,600,300,16\r\n";

Settings read(std::string_view content) {
  Settings s;
  readInitIni(s, content);
  return s;
}

class SettingsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zar_settings_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::string slurp(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  fs::path dir_;
};

TEST(ParseDecimal, FollowsTheTextFileNumberRules) {
  EXPECT_EQ(parseDecimal("  42abc"), 42);
  EXPECT_EQ(parseDecimal("\t-17"), -17);
  EXPECT_EQ(parseDecimal("+8"), 8);
  EXPECT_EQ(parseDecimal("abc"), 0);
  EXPECT_EQ(parseDecimal(""), 0);
  EXPECT_EQ(parseDecimal("- 5"), 0);
  EXPECT_EQ(parseDecimal("2.75"), 2);
  EXPECT_EQ(parseDecimal("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(parseDecimal("-99999999999999999999999"), INT_MIN);
  EXPECT_EQ(parseDecimal("-2147483648"), INT_MIN);
  EXPECT_EQ(parseDecimal("2147483648"), INT_MAX);
}

TEST(SplitTextPieces, BoundedReadsWithBothLineEnds) {
  using V = std::vector<std::string>;
  EXPECT_EQ(splitTextPieces("a\r\nb\nc", 79), (V{"a", "b", "c"}));
  EXPECT_EQ(splitTextPieces("\n\n", 79), (V{"", ""}));
  EXPECT_EQ(splitTextPieces("abcdefg\n", 3), (V{"abc", "def", "g"}));
  // A line exactly the bound long leaves its line end to a further, empty piece.
  EXPECT_EQ(splitTextPieces("abc\r\nx\n", 3), (V{"abc", "", "x"}));
  EXPECT_EQ(splitTextPieces("a\rb\n", 79), (V{"a\rb"}));
}

TEST(InitIni, DefaultsWithoutAFile) {
  Settings s;
  EXPECT_FALSE(loadInitIni(s, "/nonexistent/dir"));
  EXPECT_EQ(s.timeOut, 1000);
  EXPECT_EQ(s.byteDelay, 10);
  EXPECT_FALSE(s.receiveTrace);
  EXPECT_FALSE(s.sendTrace);
  EXPECT_TRUE(s.multipleConfirm);
  EXPECT_EQ(s.transitMode, 0);
  EXPECT_EQ(s.defaultPort, 1);
  EXPECT_EQ(s.plcTransitDelay, 50);
  EXPECT_EQ(s.ncGutterLines, 3000);
  EXPECT_EQ(s.plcGutterLines, 1024);
  EXPECT_EQ(s.reconnectDelay, 200);
  EXPECT_EQ(s.portCount, 8);
  EXPECT_EQ(formatInitIni(s, s.defaultPort),
            "Time Out Timer    = 1000\r\n"
            "Trans Delay time  = 10\r\n"
            "System parameter  = 0,0,0,1\r\n"
            "Transit mode      = 0\r\n"
            "Default COM       = 1\r\n"
            "PLC Transit Delay = 50\r\n"
            "System parameter2 = 3000,1024,200,8\r\n");
}

TEST(InitIni, ReadsEveryLineAndWritesItBack) {
  const Settings s = read(kFullIni);
  EXPECT_EQ(s.timeOut, 1500);
  EXPECT_EQ(s.byteDelay, 20);
  EXPECT_TRUE(s.receiveTrace);
  EXPECT_FALSE(s.sendTrace);
  EXPECT_FALSE(s.spareFlag);        // 7 is not 1
  EXPECT_TRUE(s.multipleConfirm);   // only 0 turns it off
  EXPECT_EQ(s.transitMode, 1);
  EXPECT_EQ(s.defaultPort, 3);
  EXPECT_EQ(s.plcTransitDelay, 80);
  EXPECT_EQ(s.ncGutterLines, 4000);
  EXPECT_EQ(s.plcGutterLines, 600);
  EXPECT_EQ(s.reconnectDelay, 300);
  EXPECT_EQ(s.portCount, 16);
  const std::string written = formatInitIni(s, 3);
  EXPECT_NE(written.find("System parameter  = 1,0,0,1\r\n"), std::string::npos);
  // What is written reads back to the same record.
  const Settings again = read(written);
  EXPECT_EQ(formatInitIni(again, 3), written);
}

TEST(InitIni, BareLineFeedsAreAccepted) {
  std::string lf = kFullIni;
  for (size_t p; (p = lf.find('\r')) != std::string::npos;) lf.erase(p, 1);
  EXPECT_EQ(formatInitIni(read(lf), 3), formatInitIni(read(kFullIni), 3));
}

TEST(InitIni, MissingLinesKeepDefaultsAndLineTwoMissingGivesFifty) {
  Settings s = read("Time Out Timer    = 700\r\n");
  EXPECT_EQ(s.timeOut, 700);
  EXPECT_EQ(s.byteDelay, 50);
  EXPECT_EQ(s.portCount, 8);

  s = read("");
  EXPECT_EQ(s.timeOut, 1000);
  EXPECT_EQ(s.byteDelay, 50);

  // Two lines: no exception, the rest default.
  s = read("a = 1\nb = 2\n");
  EXPECT_EQ(s.byteDelay, 2);
  EXPECT_TRUE(s.multipleConfirm);
  EXPECT_EQ(s.ncGutterLines, 3000);
}

TEST(InitIni, AcceptanceRulesOfTheLastLine) {
  Settings s = read("= 1\n= 2\n= 0,0,0,1\n= 0\n= 1\n= 50\nSystem parameter2 = 1000,2000,150,100\n");
  EXPECT_EQ(s.ncGutterLines, 2000);
  EXPECT_EQ(s.plcGutterLines, 512);
  EXPECT_EQ(s.reconnectDelay, 150);
  EXPECT_EQ(s.portCount, 8);

  s = read("1\n2\n0,0,0,0\n0\n0\n0\n= 6000,1024,0,99\n");
  EXPECT_EQ(s.ncGutterLines, 6000);
  EXPECT_EQ(s.plcGutterLines, 1024);
  EXPECT_EQ(s.portCount, 99);
}

TEST(InitIni, DefaultPortAgainstThePortCount) {
  // 9 with eight ports is outside the list: COM2.
  Settings s = read("= 1\n= 2\n= 0,0,0,1\n= 0\n= 9\n= 50\n= 3000,1024,200,8\n");
  EXPECT_EQ(s.defaultPort, 1);
  // With twelve ports, COM12 (index 11) chosen last time stays chosen.
  s = read("= 1\n= 2\n= 0,0,0,1\n= 0\n= 11\n= 50\n= 3000,1024,200,12\n");
  EXPECT_EQ(s.defaultPort, 11);
  EXPECT_NE(formatInitIni(s, 11).find("Default COM       = 11\r\n"), std::string::npos);
  // None selected at close is written as -1 and read back as -1.
  s = read("= 1\n= 2\n= 0,0,0,1\n= 0\n= -1\n");
  EXPECT_EQ(s.defaultPort, -1);
}

TEST(InitIni, LabelsAreIgnoredAndTheLastEqualsSignCounts) {
  const Settings s = read("x=y= 333\nDelay == -0\nA=B = 1 , 1 , 1 , 0\n");
  EXPECT_EQ(s.timeOut, 333);
  EXPECT_EQ(s.byteDelay, 0);
  EXPECT_TRUE(s.receiveTrace);
  EXPECT_TRUE(s.sendTrace);
  EXPECT_TRUE(s.spareFlag);
  EXPECT_FALSE(s.multipleConfirm);
}

TEST(InitIni, FourValueLinesTakenApartFromTheRight) {
  // Extra commas: the last three values are the last three fields, the first
  // value is what follows the equals sign.
  Settings s = read("1\n2\n= 1,5,0,1,1\n");
  EXPECT_TRUE(s.receiveTrace);
  EXPECT_FALSE(s.sendTrace);   // "5" is cut off; 0 is second
  EXPECT_TRUE(s.spareFlag);
  EXPECT_TRUE(s.multipleConfirm);
  // Fewer commas: the values present fill the fields from the left.
  s = read("1\n2\n3\n4\n5\n6\n= 2500,700\n");
  EXPECT_EQ(s.ncGutterLines, 2500);
  EXPECT_EQ(s.plcGutterLines, 700);
  EXPECT_EQ(s.reconnectDelay, 200);
  EXPECT_EQ(s.portCount, 8);
}

TEST(InitIni, BadInputIsDecidedSafely) {
  // Lines without an equals sign count as present but change nothing.
  Settings s = read("Time Out Timer 5\nno value here\nnone\n= 1\n");
  EXPECT_EQ(s.timeOut, 1000);
  EXPECT_EQ(s.byteDelay, 10);
  EXPECT_TRUE(s.multipleConfirm);
  EXPECT_EQ(s.transitMode, 1);

  // Negative times mean no wait; huge ones saturate.
  s = read("= -5\n= -100\n= 0,0,0,1\n= 0\n= 0\n= -9\n= 3000,1024,-1,8\n");
  EXPECT_EQ(s.timeOut, 0);
  EXPECT_EQ(s.byteDelay, 0);
  EXPECT_EQ(s.plcTransitDelay, 0);
  EXPECT_EQ(s.reconnectDelay, 0);
  s = read("= 99999999999999999999\n");
  EXPECT_EQ(s.timeOut, INT_MAX);

  // An over-long first line fills several line pieces, shifting the others.
  s = read(std::string(100, 'x') + "= 5\n= 7\n");
  EXPECT_EQ(s.timeOut, 1000);  // first piece: 79 x, no '='
  EXPECT_EQ(s.byteDelay, 5);   // second piece holds "= 5"
  EXPECT_EQ(s.receiveTrace, false);
}

TEST(InitIni, BinaryGarbageNeverBreaksReading) {
  std::mt19937 rng(7);
  for (int round = 0; round < 500; ++round) {
    std::string junk(static_cast<size_t>(rng() % 600), '\0');
    for (char& c : junk) c = static_cast<char>(rng() % 256);
    if (round % 3 == 0) {
      for (size_t i = 0; i < junk.size(); i += 7) junk[i] = "=,\n"[rng() % 3];
    }
    Settings s = read(junk);
    EXPECT_GE(s.ncGutterLines, 2000);
    EXPECT_LE(s.ncGutterLines, 6000);
    EXPECT_GE(s.plcGutterLines, 512);
    EXPECT_LE(s.plcGutterLines, 1024);
    EXPECT_GE(s.portCount, 1);
    EXPECT_LE(s.portCount, 99);
    EXPECT_LE(s.defaultPort, s.portCount);
    EXPECT_GE(s.timeOut, 0);
  }
}

TEST(CustomerIni, LanguageBaudAndSplash) {
  CustomerSettings c = readCustomerIni("Language = 0\r\nBaud = 5\r\nSplash = 0\r\n");
  EXPECT_EQ(c.language, 0);
  EXPECT_EQ(c.baudSelector, 5);
  EXPECT_EQ(c.splashTime, 0);

  c = readCustomerIni("Language = 7\nBaud = 9\nSplash = 2000\n");
  EXPECT_EQ(c.language, 1);
  EXPECT_EQ(c.baudSelector, 4);
  EXPECT_EQ(c.splashTime, 2000);

  // Only the first line: English whatever it says; splash as without line 3.
  c = readCustomerIni("Language = 0\n");
  EXPECT_EQ(c.language, 1);
  EXPECT_EQ(c.baudSelector, 4);
  EXPECT_EQ(c.splashTime, 1500);

  c = readCustomerIni("");
  EXPECT_EQ(c.language, 1);
}

TEST(CustomerIni, BadInput) {
  // Negative language: English. Line 3 without '=': 1500. Huge splash: capped.
  CustomerSettings c = readCustomerIni("L = -3\nB = 0\nno splash\n");
  EXPECT_EQ(c.language, 1);
  EXPECT_EQ(c.baudSelector, 4);
  EXPECT_EQ(c.splashTime, 1500);
  c = readCustomerIni("L\nB = 2\nS = 999999999999\n");
  EXPECT_EQ(c.language, 1);
  EXPECT_EQ(c.baudSelector, 2);
  EXPECT_EQ(c.splashTime, kMaxSplashTime);
  c = readCustomerIni("L = 0\nB = 1\nS = -20\n");
  EXPECT_EQ(c.language, 0);
  EXPECT_EQ(c.splashTime, 0);
}

TEST_F(SettingsFiles, SaveWritesSevenLinesAndLoadSettingsReadsBothFiles) {
  Settings s;
  s.portCount = 12;
  s.multipleConfirm = false;
  ASSERT_TRUE(saveInitIni(s, 11, dir_.string()));
  const std::string text = slurp(kInitIniName);
  EXPECT_EQ(text, formatInitIni(s, 11));
  EXPECT_EQ(test::namesIn(dir_), std::set<std::string>{kInitIniName});

  write(kCustomerIniName, "Language = 1\r\nBaud = 3\r\nSplash = 10\r\n");
  const Settings loaded = loadSettings(dir_.string());
  EXPECT_EQ(loaded.defaultPort, 11);
  EXPECT_EQ(loaded.portCount, 12);
  EXPECT_FALSE(loaded.multipleConfirm);
  EXPECT_EQ(loaded.language, 1);
  EXPECT_EQ(loaded.baudSelector, 3);
  EXPECT_EQ(loaded.baudRate(), 4800);
  EXPECT_EQ(loaded.splashTime, 10);
}

TEST_F(SettingsFiles, LoadSettingsWithoutFilesGivesChineseAndBaud9600) {
  const Settings s = loadSettings(dir_.string());
  EXPECT_EQ(s.language, 0);
  EXPECT_EQ(s.baudSelector, 4);
  EXPECT_EQ(s.baudRate(), 9600);
  EXPECT_EQ(s.splashTime, 1500);
  EXPECT_EQ(s.byteDelay, 10);
}

TEST(ShippedFiles, CustomerIniReadsAsIntended) {
  const CustomerSettings c = loadCustomerIni(ZAR_DATA_DIR);
  EXPECT_EQ(c.language, 1);
  EXPECT_EQ(c.baudSelector, 4);
  EXPECT_EQ(c.splashTime, 1500);
  EXPECT_FALSE(fs::exists(fs::path(ZAR_DATA_DIR) / kInitIniName));  // would overwrite the user's at each build
}

TEST(InitIni, PlcTransitDelayAboveTheBoxLimitReadsAsTheLimitAndIsWrittenSo) {
  const std::string head = "= 1000\n= 10\n= 0,0,0,1\n= 0\n= 1\n";
  const std::string tail = "\n= 3000,1024,200,8\n";
  EXPECT_EQ(read(head + "= 5000" + tail).plcTransitDelay, 5000);
  const Settings s = read(head + "= 20000" + tail);
  EXPECT_EQ(s.plcTransitDelay, kMaxPlcTransitDelay);
  EXPECT_NE(formatInitIni(s, 1).find("PLC Transit Delay = 5000\r\n"), std::string::npos);
}

TEST_F(SettingsFiles, SaveFailsCleanlyWhereNothingCanBeWritten) {
  std::string why;
  EXPECT_FALSE(saveInitIni(Settings{}, 1, (dir_ / "missing" / "dir").string(), &why));
  EXPECT_EQ(why, "No such file or directory");

  write(kInitIniName, kFullIni);
  Settings other;
  other.timeOut = 42;
  test::expectOldFileSurvivesWriteFailures(
      dir_ / kInitIniName, [&](std::string& reason) { return saveInitIni(other, 2, dir_.string(), &reason); });
  EXPECT_EQ(slurp(kInitIniName), formatInitIni(other, 2));
}

TEST_F(SettingsFiles, TwoProgramsClosingAtOnceLeaveOneWholeFile) {
  Settings first, second;
  first.timeOut = 1111;
  second.timeOut = 2222;
  second.portCount = 40;
  const std::string a = formatInitIni(first, 1), b = formatInitIni(second, 30);
  const pid_t child = ::fork();
  if (child == 0) {
    for (int i = 0; i < 100; ++i) saveInitIni(second, 30, dir_.string());
    ::_exit(0);
  }
  for (int i = 0; i < 100; ++i) {
    saveInitIni(first, 1, dir_.string());
    const std::string seen = slurp(kInitIniName);
    ASSERT_TRUE(seen == a || seen == b) << seen;
  }
  ::waitpid(child, nullptr, 0);
  const Settings loaded = loadSettings(dir_.string());
  EXPECT_TRUE(loaded.timeOut == 1111 || loaded.timeOut == 2222);
  EXPECT_EQ(test::namesIn(dir_), std::set<std::string>{kInitIniName});
}

TEST_F(SettingsFiles, SettingsFilesThatAreNoFilesCountAsMissing) {
  // A FIFO would hold the start-up for ever if it were opened.
  ASSERT_EQ(::mkfifo((dir_ / kInitIniName).c_str(), 0600), 0);
  fs::create_directories(dir_ / kCustomerIniName);
  const Settings s = loadSettings(dir_.string());
  EXPECT_EQ(s.timeOut, 1000);
  EXPECT_EQ(s.language, 0);
  // Closing does not write over the FIFO either.
  EXPECT_FALSE(saveInitIni(s, 1, dir_.string()));
  EXPECT_EQ(fs::status(dir_ / kInitIniName).type(), fs::file_type::fifo);
}

}  // namespace
}  // namespace zar
