// Which received text counts as garbled, per catalog language, and how the
// warning names the places.
#include <gtest/gtest.h>

#include "link/GarbledText.h"

namespace zar {
namespace {

constexpr int kChinese = 0;
constexpr int kEnglish = 1;
constexpr size_t npos = std::string_view::npos;

TEST(GarbledText, ControlBytesAreGarbledInEveryLanguageButATabIsText) {
  for (int language : {kChinese, kEnglish, 2}) {
    SCOPED_TRACE(language);
    EXPECT_EQ(firstGarbledByte("", language), npos);
    EXPECT_EQ(firstGarbledByte("G01 X-10.5 Y2 F100 (ROUGH; 'CUT')", language), npos);
    EXPECT_EQ(firstGarbledByte("G00\tX0", language), npos);
    EXPECT_EQ(firstGarbledByte("G00 \x1B[2J", language), 4u);
    EXPECT_EQ(firstGarbledByte("X1\x07", language), 2u);
    EXPECT_EQ(firstGarbledByte(std::string_view("A\0B", 3), language), 1u);
    EXPECT_EQ(firstGarbledByte("X\rY", language), 1u);
    EXPECT_EQ(firstGarbledByte("X\x7F", language), 1u);
  }
}

TEST(GarbledText, BytesAboveAsciiAreTextOnlyAsBig5PairsInTheChineseCatalog) {
  const std::string chinese = "(\xA4\xA4\xA4\xE5)";  // two Big5 characters
  const std::string backslashTrail = "\xA5\x5C";     // a trail byte in the ASCII range
  EXPECT_EQ(firstGarbledByte(chinese, kChinese), npos);
  EXPECT_EQ(firstGarbledByte(backslashTrail, kChinese), npos);
  EXPECT_EQ(firstGarbledByte(chinese, kEnglish), 1u);
  EXPECT_EQ(firstGarbledByte("M30 \xB0", kEnglish), 4u);

  EXPECT_EQ(firstGarbledByte("X\xA4", kChinese), 1u);        // a lead byte with no trail
  EXPECT_EQ(firstGarbledByte("X\xA4\x30", kChinese), 1u);    // a trail outside Big5
  EXPECT_EQ(firstGarbledByte("\x80X", kChinese), 0u);        // no lead byte
  EXPECT_EQ(firstGarbledByte("\xFF", kChinese), 0u);
  EXPECT_EQ(firstGarbledByte("\xA4\xA4\x07", kChinese), 2u);  // found after a pair
  EXPECT_EQ(firstGarbledByte("\xA4\x7F", kChinese), 0u);      // DEL is no trail byte
}

TEST(GarbledReplies, TheWarningNamesThePlacesAndCountsBeyondTheList) {
  GarbledReplies garbled(kGarbledProgramLines);
  garbled.start(kEnglish);
  EXPECT_FALSE(garbled.check(1, "G00 X0"));
  EXPECT_EQ(garbled.warning(), "");

  EXPECT_TRUE(garbled.check(12, "G0\x01"));
  EXPECT_EQ(garbled.warning(),
            "Warning: line 12 arrived garbled (control characters, or bytes the catalog's language does not use); "
            "it is kept as it arrived: check the program before running it.");
  garbled.check(40, "\xE9");
  garbled.check(41, "\x1B");
  EXPECT_TRUE(garbled.warning().starts_with("Warning: lines 12, 40 and 41 arrived garbled")) << garbled.warning();
  EXPECT_NE(garbled.warning().find("they are kept as they arrived"), std::string::npos);

  for (size_t n = 100; n < 120; ++n) garbled.check(n, "\x07");
  EXPECT_EQ(garbled.count(), 23u);
  EXPECT_EQ(garbled.listed().size(), GarbledReplies::kListed);
  EXPECT_TRUE(garbled.warning().starts_with(
      "Warning: lines 12, 40, 41, 100, 101, 102, 103, 104, 105, 106 and 13 more arrived garbled"))
      << garbled.warning();

  // A new run forgets, and checks in its own language.
  garbled.start(kChinese);
  EXPECT_FALSE(garbled.any());
  EXPECT_FALSE(garbled.check(1, "\xA4\xA4"));

  GarbledReplies records({"record", "records", "check the PLC program before running it"});
  records.start(kEnglish);
  records.check(3, "\x02");
  EXPECT_TRUE(records.warning().starts_with("Warning: record 3 arrived garbled")) << records.warning();
  EXPECT_TRUE(records.warning().ends_with("check the PLC program before running it."));
}

}  // namespace
}  // namespace zar
