// PLC records both ways, and PLC files: the record's count and checksum
// (the lone-last-digit rule), the checks a received record must pass, the
// progress marks; loading refuses over-long lines, saving keeps the old file
// on failure.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "plc/PlcFile.h"
#include "plc/PlcRecords.h"
#include "plc/PlcTestSupport.h"

namespace zar::plc {
namespace {

const std::string S = "\x02", E = "\x03";

TEST(PlcRecords, FormedAsTheRecordTableSays) {
  // 12 bytes: 0x0C + 01 + 09 + F4 + 01 = 0x10B, one's complement F4.
  EXPECT_EQ(dataRecord("0100000000000900F4010000"), S + "0C00" + "0100000000000900F4010000" + "F4" + E);
  // The header line of 32 zeros: 0x10 alone, complement EF.
  EXPECT_EQ(dataRecord(std::string(32, '0')), S + "1000" + std::string(32, '0') + "EF" + E);
  // A lone last digit counts its own value and a whole byte: count 2,
  // sum 2 + 0x12 + 0x3 = 0x17, complement E8.
  EXPECT_EQ(dataRecord("123"), S + "0200123E8" + E);
  // Everything from the first other character on is left out.
  EXPECT_EQ(dataRecord("0A0B ; note"), dataRecord("0A0B"));
  EXPECT_EQ(dataRecord("0a0b"), dataRecord("0"));
  EXPECT_EQ(recordDigits("12G3"), "12");
  // The biggest record the count allows.
  const std::string full(kMaxRecordDataDigits, 'F');
  EXPECT_EQ(dataRecord(full).substr(1, 4), "FF00");
  EXPECT_EQ(dataRecord(full).size(), kMaxRecordBytes);
}

TEST(PlcRecords, ReceivedRecordsAreCheckedBeforeUse) {
  const std::string good = dataRecord("0100000000000900F4010000");
  EXPECT_TRUE(checkDataRecord(good).ok());
  EXPECT_EQ(checkDataRecord(good).data, "0100000000000900F4010000");
  EXPECT_EQ(checkDataRecord(dataRecord("123")).data, "123");  // odd digits, counted right

  auto problem = [](std::string record) { return checkDataRecord(record).problem; };
  std::string bad = good;
  bad[10] = '1';  // one data digit damaged
  EXPECT_EQ(problem(bad), RecordProblem::Checksum);
  bad = good;
  bad[2] = 'D';  // count 0D for 12 bytes
  EXPECT_EQ(problem(bad), RecordProblem::Count);
  EXPECT_EQ(problem(S + "0300123" + "E8" + E), RecordProblem::Count);  // 3 digits, 3 bytes counted
  bad = good;
  bad[4] = '1';  // type 01
  EXPECT_EQ(problem(bad), RecordProblem::Type);
  EXPECT_EQ(problem(S + "0001FE" + E), RecordProblem::Type);  // the end record is no data
  bad = good;
  bad[8] = 'a';
  EXPECT_EQ(problem(bad), RecordProblem::NotHex);
  bad[8] = '\xA5';
  EXPECT_EQ(problem(bad), RecordProblem::NotHex);
  EXPECT_EQ(problem(good.substr(0, good.size() - 1)), RecordProblem::Frame);  // ETX lost
  EXPECT_EQ(problem(good.substr(1)), RecordProblem::Frame);                   // STX lost
  EXPECT_EQ(problem(S + "0000" + E), RecordProblem::Frame);                   // no checksum
  EXPECT_EQ(problem(""), RecordProblem::Frame);
  EXPECT_EQ(problem(std::string("\x06") + good), RecordProblem::Frame);       // a byte ahead of it
}

TEST(PlcRecords, EveryRecordOfARandomImageSurvivesItsCheck) {
  unsigned seed = 7;
  for (int i = 0; i < 2000; ++i) {
    std::string line;
    const int digits = static_cast<int>((seed = seed * 1103515245 + 12345) >> 16) % 65;
    for (int d = 0; d < digits; ++d) line += "0123456789ABCDEF"[(seed = seed * 1103515245 + 12345) >> 28];
    const RecordCheck check = checkDataRecord(dataRecord(line));
    ASSERT_TRUE(check.ok()) << line;
    EXPECT_EQ(check.data, line);
  }
}

TEST(PlcRecords, ProgressMarksCycleFromOneToEleven) {
  EXPECT_EQ(progressMarks(0, '>'), "");
  EXPECT_EQ(progressMarks(1, '>'), ">");
  EXPECT_EQ(progressMarks(11, '<'), std::string(11, '<'));
  EXPECT_EQ(progressMarks(12, '>'), ">");
  EXPECT_EQ(progressMarks(23, '>'), ">");
}

// ---------------------------------------------------------------- files

using PlcFileTest = test::PlcTest;

TEST_F(PlcFileTest, LoadFillsTheEditorAndCountsTheLines) {
  test::writeFile(dir / "a.pmc", "LD 0000\r\nOUT 0500\r\n\r\nEND");
  PlcFiles files(log);
  ASSERT_TRUE(files.load((dir / "a.pmc").string()));
  EXPECT_EQ(editor(), (std::vector<std::string>{"LD 0000", "OUT 0500", "", "END"}));
  EXPECT_EQ(plcLog(), (std::vector<std::string>{"msg111", "PLM msg114:4", "msg115"}));
  // A catalog text that begins with its blank gets no second one.
  MessageCatalog spaced = zar::test::numberedCatalog(" msg", "", 260);
  EXPECT_EQ(PlcFiles(MessageLog(spaced, op)).countLine(3), "PLM msg114:3");
}

TEST_F(PlcFileTest, ALineLongerThanAPieceRefusesTheFileAndNamesIt) {
  // Cut into pieces, the tail of this comment would be compiled as code.
  const std::string longComment = "LD 0000 ;" + std::string(250, 'x') + "OUT 0500";
  test::writeFile(dir / "long.pmc", "END\n" + std::string(255, 'y') + "\n" + longComment + "\n");
  op.editors[Page::Plc] = {"kept"};
  PlcFiles files(log);
  EXPECT_FALSE(files.load((dir / "long.pmc").string()));
  EXPECT_EQ(editor(), (std::vector<std::string>{"kept"}));
  EXPECT_NE(files.lastError().find("line 3 "), std::string::npos) << files.lastError();
  ASSERT_EQ(plcLog().size(), 2u);
  EXPECT_NE(plcLog()[1].find("line 3 is longer than 255"), std::string::npos);
  // Exactly 255 characters is a line like any other.
  test::writeFile(dir / "edge.pmc", std::string(255, 'y') + "\r\n");
  EXPECT_TRUE(files.load((dir / "edge.pmc").string()));
  EXPECT_EQ(editor().size(), 1u);
}

TEST_F(PlcFileTest, SaveWritesCrLfLinesAndKeepsTheOldFileOnFailure) {
  op.editors[Page::Plc] = {"LD 0000", "", "END"};
  PlcFiles files(log);
  const auto path = dir / "out.pmc";
  ASSERT_TRUE(files.save(path.string()));
  EXPECT_EQ(test::readFile(path), "LD 0000\r\n\r\nEND\r\n");
  EXPECT_EQ(plcLog().back(), "msg117");

  // A directory that cannot be written to: the old file stays.
  ::chmod(dir.c_str(), 0555);
  op.editors[Page::Plc] = {"OTHER"};
  const bool saved = files.save(path.string());
  ::chmod(dir.c_str(), 0755);
  if (::geteuid() != 0) {
    EXPECT_FALSE(saved);
    EXPECT_EQ(test::readFile(path), "LD 0000\r\n\r\nEND\r\n");
    EXPECT_NE(plcLog().back().find("unchanged"), std::string::npos);
  }
  // Missing file: the reason, the editor unchanged.
  EXPECT_FALSE(files.load((dir / "none.pmc").string()));
  EXPECT_EQ(editor(), (std::vector<std::string>{"OTHER"}));
}

}  // namespace
}  // namespace zar::plc
