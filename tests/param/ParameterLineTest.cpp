// Editor lines as the parameter sender reads them, and the lines the
// receiver writes.
#include <gtest/gtest.h>

#include "param/ParameterLine.h"

namespace zar::param {
namespace {

// The frame a line sends, "skip" for a remark, "145 <problem>" for a refused line.
std::string sent(std::string_view line) {
  const ParameterLine p = parseParameterLine(line);
  switch (p.form) {
    case LineForm::Remark: return "skip";
    case LineForm::Malformed: return "145 " + std::string(problemText(p.problem));
    case LineForm::Setting: return settingFrame(p.numberText, p.value);
  }
  return "?";
}

TEST(ParameterLineSend, EditorLinesGiveTheseFrames) {
  EXPECT_EQ(sent("Feed(12)=3000"), "12=3000\r\n");
  EXPECT_EQ(sent("Gain(7)= -15"), "7=-15\r\n");
  EXPECT_EQ(sent("X(3)=2.75"), "3=2\r\n");
  EXPECT_EQ(sent("X(3)=abc"), "3=0\r\n");
  EXPECT_EQ(sent("A(4)=1=2"), "4=2\r\n");
  EXPECT_EQ(sent("Speed (rpm)(12)=100"), "rpm=100\r\n");
  EXPECT_EQ(sent("/ spindle group"), "skip");
  EXPECT_EQ(sent("/"), "skip");
  EXPECT_EQ(sent(""), "145 no parameter number in parentheses");
  // Blanks inside the parentheses travel as they stand.
  EXPECT_EQ(sent("Feed( 12 )=3000"), " 12 =3000\r\n");
  EXPECT_EQ(sent("(12)=+8"), "12=8\r\n");
  EXPECT_EQ(sent("Empty()=5"), "=5\r\n");
  EXPECT_EQ(sent("Lead(9)=\t-"), "9=0\r\n");
}

TEST(ParameterLineSend, MissingPartsAreMalformed) {
  EXPECT_EQ(sent("Feed 12=3000"), "145 no parameter number in parentheses");
  EXPECT_EQ(sent("Feed)12(=3000"), "145 no parameter number in parentheses");  // "(" after the first ")"
  EXPECT_EQ(sent("Feed(12=3000"), "145 no parameter number in parentheses");
  EXPECT_EQ(sent("Feed(12)3000"), "145 no '=' before the value");
  EXPECT_EQ(sent(" /Feed(12)3000"), "145 no '=' before the value");  // "/" only counts first
  // The "=" may stand anywhere, even before the parentheses.
  EXPECT_EQ(sent("=Feed(12)"), "12=0\r\n");
}

TEST(ParameterLineSend, ValuesBeyondThirtyTwoBitsAreRefusedNotSaturated) {
  EXPECT_EQ(sent("Max(1)=2147483647"), "1=2147483647\r\n");
  EXPECT_EQ(sent("Min(1)=-2147483648"), "1=-2147483648\r\n");
  EXPECT_EQ(sent("Max(1)=2147483648"), "145 the value is beyond the 32-bit range");
  EXPECT_EQ(sent("Min(1)=-2147483649"), "145 the value is beyond the 32-bit range");
  EXPECT_EQ(sent("Big(1)=99999999999999999999999"), "145 the value is beyond the 32-bit range");
  EXPECT_EQ(sent("Lead(1)=000000000000000000042"), "1=42\r\n");
}

TEST(ParameterLineSend, ControlCharactersInTheNumberNeverReachTheWire) {
  const std::vector<std::string> numbers = {"1\r", "1\n2", std::string("1\0", 2), "\x03", "\x02",
                                            "1\x15", "\t1", "1\x7F"};
  for (const std::string& bad : numbers) {
    const ParameterLine p = parseParameterLine("P(" + bad + ")=5");
    EXPECT_EQ(p.form, LineForm::Malformed) << bad;
    EXPECT_EQ(p.problem, LineProblem::ControlCharacter);
  }
  // Elsewhere in the line they do not travel, so they do no harm.
  EXPECT_EQ(sent("P\x03\r(12)=5\r"), "12=5\r\n");
  // Big5 bytes are not control characters.
  EXPECT_EQ(sent("P(\xB6\x62)=5"), "\xB6\x62=5\r\n");
}

TEST(ParameterLineSend, HugeLinesGiveOneShortFrameOrNone) {
  // The longest frame that still goes: 241 number characters, "=", 11 value
  // characters, CR LF.
  const std::string frame = sent("P(" + std::string(241, '1') + ")=-2147483648");
  EXPECT_EQ(frame.size(), kMaxSettingFrame);
  EXPECT_EQ(sent("P(" + std::string(242, '1') + ")=5"), "145 the parameter number is too long for one frame");
  // Ten megabytes around a short setting: only the setting travels.
  const std::string padding(10 << 20, 'x');
  EXPECT_EQ(sent(padding + "(7)=" + std::string(10 << 20, ' ') + "12"), "7=12\r\n");
  EXPECT_EQ(sent("Feed(7)" + padding + "=12"), "7=12\r\n");
  EXPECT_EQ(sent("P(" + padding + ")=1"), "145 the parameter number is too long for one frame");
  EXPECT_EQ(sent("P(1)=" + std::string(10 << 20, '9')), "145 the value is beyond the 32-bit range");
}

TEST(ParameterLineReceive, PrefixValueAndRoundTrip) {
  const ParameterEntry feed{"Max feed", 12};
  EXPECT_EQ(receivedLinePrefix(feed), "Max feed(12)=");
  EXPECT_EQ(replyValueText("3000\r\n"), "3000");
  EXPECT_EQ(replyValueText("-15\r"), "-15");
  EXPECT_EQ(replyValueText("7\n"), "7");        // no LF inside an editor line
  EXPECT_EQ(replyValueText("8\x03"), "8");
  EXPECT_EQ(replyValueText(""), "");
  EXPECT_EQ(skippedLine("/ remark"), "/ remark...Skip...");
  // A received line sends the same setting back.
  EXPECT_EQ(sent(receivedLinePrefix(feed) + std::string(replyValueText("3000\r\n"))), "12=3000\r\n");
  EXPECT_EQ(sent(receivedLinePrefix({"Min", -2147483647 - 1}) + "1"), "-2147483648=1\r\n");
}

TEST(ParameterLineShown, LongLinesAreCutForTheMessageArea) {
  const std::string exact(kMaxShownLine, 'a');
  EXPECT_EQ(shownLine(exact), exact);
  EXPECT_EQ(shownLine(exact + "b"), exact + "...");
  EXPECT_EQ(skippedLine("/" + std::string(10 << 20, 'x')), "/" + std::string(kMaxShownLine - 1, 'x') + "......Skip...");
  // A Big5 character across the cut is dropped whole.
  std::string big5(kMaxShownLine - 1, 'a');
  big5 += "\xB6\x62\xB6\x62";
  EXPECT_EQ(shownLine(big5), std::string(kMaxShownLine - 1, 'a') + "...");
}

TEST(ParameterLineReceive, OnlyDecimalThirtyTwoBitValuesAreKept) {
  for (const char* good : {"0", "3000", "-15", "+8", " 42 ", "\t-2147483648", "2147483647"})
    EXPECT_TRUE(isParameterValue(good)) << good;
  for (const char* bad : {"", " ", "-", "+", "2.75", "12a", "?~\xA5Z#", "2147483648", "-2147483649",
                          "1 2", "\x06\x07\x01", "0x10"})
    EXPECT_FALSE(isParameterValue(bad)) << bad;
}

}  // namespace
}  // namespace zar::param
