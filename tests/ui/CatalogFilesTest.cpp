// The shipped catalogs data/Message.E and data/Message.C.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/Encoding.h"
#include "ui/MessageCatalog.h"

namespace zar {
namespace {

// Every identifier the program shows.
std::vector<int> usedIdentifiers() {
  std::vector<int> ids;
  auto range = [&ids](int first, int last) {
    for (int n = first; n <= last; ++n) ids.push_back(n);
  };
  range(11, 18);
  range(21, 36);
  range(41, 47);
  range(50, 55);
  range(61, 65);
  range(68, 81);
  range(96, 98);
  range(100, 109);
  range(111, 117);
  range(121, 135);
  range(141, 148);
  range(161, 164);
  range(171, 174);
  range(176, 176);
  range(181, 184);
  range(186, 198);
  range(202, 208);
  range(230, 232);
  range(234, 234);
  range(247, 249);
  return ids;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Physical lines without their CR LF; fails the test on any other line end.
std::vector<std::string> crlfLines(const std::string& content) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < content.size()) {
    const size_t lf = content.find('\n', pos);
    EXPECT_NE(lf, std::string::npos) << "last line has no line end";
    if (lf == std::string::npos) break;
    EXPECT_TRUE(lf > pos && content[lf - 1] == '\r') << "line " << lines.size() + 1 << " lacks CR LF";
    lines.push_back(content.substr(pos, lf - pos - 1));
    pos = lf + 1;
  }
  return lines;
}

// Strict Big5 decoding: false on any byte sequence Big5 does not define.
bool decodesAsBig5(const std::string& bytes) {
  iconv_t cd = iconv_open("UTF-8", "BIG5");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  std::string out(bytes.size() * 2 + 16, '\0');
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  return rc != static_cast<size_t>(-1) && inLeft == 0;
}

class ShippedCatalog : public ::testing::TestWithParam<int> {
 protected:
  std::string path() const { return std::string(ZAR_DATA_DIR) + "/" + MessageCatalog::fileNameFor(GetParam()); }
};

TEST_P(ShippedCatalog, EveryUsedIdentifierHasText) {
  MessageCatalog catalog;
  ASSERT_TRUE(catalog.load(ZAR_DATA_DIR, GetParam()));
  EXPECT_GE(catalog.count(), 250);
  for (int id : usedIdentifiers()) {
    const std::string text = catalog.text(id);
    EXPECT_FALSE(text.empty()) << "message " << id;
    EXPECT_NE(text, "-") << "message " << id << " is still a placeholder";
  }
}

TEST_P(ShippedCatalog, LinesAreLabelledCrLfAndFitOneRead) {
  const std::vector<std::string> lines = crlfLines(readFile(path()));
  ASSERT_GE(lines.size(), 250u);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string label = std::to_string(i + 1);
    label = "M" + std::string(3 - std::min<size_t>(3, label.size()), '0') + label + " ";
    EXPECT_EQ(lines[i].compare(0, label.size(), label), 0) << "line " << i + 1 << ": " << lines[i];
    // One bounded read takes the text and its line end; anything longer would
    // spill into the next entry and shift every later identifier.
    EXPECT_LE(lines[i].size() + 1, static_cast<size_t>(MessageCatalog::kPieceLength)) << "line " << i + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedCatalog, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Chinese" : "English"; });

TEST(ShippedCatalogs, PositionsLineUpBetweenLanguages) {
  MessageCatalog chinese, english;
  ASSERT_TRUE(chinese.load(ZAR_DATA_DIR, 0));
  ASSERT_TRUE(english.load(ZAR_DATA_DIR, 1));
  ASSERT_EQ(chinese.count(), english.count());
  for (int id = 1; id <= english.count(); ++id)
    EXPECT_EQ(chinese.text(id) == "-", english.text(id) == "-") << "message " << id;
  // A few anchors whose meaning is fixed by where they are shown.
  EXPECT_EQ(english.text(21), "Send");
  EXPECT_EQ(toUtf8(chinese.text(21), 0), "傳送程式");
  EXPECT_EQ(english.text(73), "OK");
  EXPECT_EQ(toUtf8(chinese.text(74), 0), "取消");
  EXPECT_EQ(english.text(14), "Program No");
  EXPECT_EQ(toUtf8(chinese.text(15), 0), "程式名稱");
}

TEST(ShippedCatalogs, ChineseCatalogIsBig5) {
  const std::string bytes = readFile(std::string(ZAR_DATA_DIR) + "/Message.C");
  ASSERT_FALSE(bytes.empty());
  EXPECT_TRUE(decodesAsBig5(bytes));
  bool hasDoubleByte = false;
  for (unsigned char c : bytes) hasDoubleByte = hasDoubleByte || c >= 0xA1;
  EXPECT_TRUE(hasDoubleByte) << "Message.C holds no Chinese text";
}

TEST(ShippedCatalogs, JoinedTextsAndQuestionsReadRight) {
  for (int language : {0, 1}) {
    MessageCatalog catalog;
    ASSERT_TRUE(catalog.load(ZAR_DATA_DIR, language));
    // Followed directly by a device name, a path, an instruction number or a
    // Z range: need a separator at the end.
    for (int id : {35, 101, 102, 107, 191, 208, 231}) {
      const std::string text = catalog.text(id);
      ASSERT_FALSE(text.empty());
      EXPECT_EQ(text.back(), ' ') << "message " << id << " language " << language;
    }
    // Confirmation questions.
    for (int id : {123, 124, 125, 130, 143}) {
      const std::string text = toUtf8(catalog.text(id), language);
      const std::string mark = language == 0 ? "？" : "?";
      ASSERT_GE(text.size(), mark.size());
      EXPECT_EQ(text.substr(text.size() - mark.size()), mark) << "message " << id;
    }
    // The line count reads "Lines loaded:3", with no blank in front; a prefix
    // shown before it brings its own separator.
    EXPECT_NE(catalog.text(114).front(), ' ');
  }
}

}  // namespace
}  // namespace zar
