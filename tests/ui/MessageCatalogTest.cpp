#include <gtest/gtest.h>

#include <string>

#include "support/RecordingOperator.h"
#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

namespace zar {
namespace {

std::string numberedLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "M" + std::to_string(i) + " text of " + std::to_string(i) + "\n";
  return text;
}

TEST(MessageCatalog, PositionAloneGivesTheIdentifier) {
  MessageCatalog catalog;
  catalog.loadText(numberedLines(10));
  EXPECT_EQ(catalog.count(), 10);
  EXPECT_EQ(catalog.text(10), "text of 10");
  EXPECT_EQ(catalog.text(11), "");
  EXPECT_EQ(catalog.text(0), "");
  EXPECT_EQ(catalog.text(-5), "");
}

TEST(MessageCatalog, TextKeepsInnerBlanksAndCrLfIsOneLineEnd) {
  MessageCatalog catalog;
  catalog.loadText("L1 Send  the  program\r\nNOBLANK\r\nL3 last line without end");
  EXPECT_EQ(catalog.text(1), "Send  the  program");
  EXPECT_EQ(catalog.text(2), "");
  // The last character of an unterminated last line is cut, as a bounded line read does.
  EXPECT_EQ(catalog.text(3), "last line without en");
}

TEST(MessageCatalog, LongLineFillsTwoEntriesAndShiftsLaterOnes) {
  MessageCatalog catalog;
  catalog.loadText("L1 " + std::string(297, 'x') + "\nL2 second\n");
  ASSERT_EQ(catalog.count(), 3);
  EXPECT_EQ(catalog.text(1), std::string(249, 'x'));  // 253 read, the 253rd cut, label gone
  EXPECT_EQ(catalog.text(3), "second");
}

TEST(MessageCatalog, KeepsAtMostThreeHundredEntries) {
  MessageCatalog catalog;
  catalog.loadText(numberedLines(320));
  EXPECT_EQ(catalog.count(), 300);
  EXPECT_EQ(catalog.text(300), "text of 300");
}

TEST(MessageCatalog, MissingFileLeavesItEmpty) {
  MessageCatalog catalog;
  catalog.loadText(numberedLines(3));
  EXPECT_FALSE(catalog.load("/nonexistent-dir", 1));
  EXPECT_EQ(catalog.count(), 0);
  EXPECT_EQ(catalog.text(1), "");
}

TEST(MessageLog, AppendsToTheCurrentPage) {
  MessageCatalog catalog;
  std::string text = numberedLines(100);
  text += "M101 Port opened: \n";
  catalog.loadText(text);
  test::RecordingOperator op;
  MessageLog log(catalog, op);
  log.add(0, "plain text");
  op.page = Page::Plc;
  log.add(101, "COM2");
  EXPECT_EQ(op.log(Page::Program), std::vector<std::string>{"plain text"});
  EXPECT_EQ(op.log(Page::Plc), std::vector<std::string>{"Port opened: COM2"});
}

TEST(Encoding, Big5RoundTripsThroughUtf8) {
  const std::string big5 = "\xB6\xC7\xB0\x65";  // two Traditional Chinese characters
  const std::string utf8 = toUtf8(big5, 0);
  EXPECT_EQ(utf8, "\xE5\x82\xB3\xE9\x80\x81");
  EXPECT_EQ(fromUtf8(utf8, 0), big5);
  EXPECT_EQ(toUtf8("plain", 0), "plain");
  EXPECT_EQ(toUtf8("\xFF\xFF", 0).find('?') != std::string::npos, true);
}

}  // namespace
}  // namespace zar
