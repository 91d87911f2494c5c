// The shipped parameter lists in data/: what every model and version offers
// in both languages, and that the virtual controller answers for exactly
// those numbers.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "controller/FactoryParameters.h"
#include "param/ParameterLine.h"
#include "param/ParameterTables.h"

namespace zar::param {
namespace {

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

std::vector<std::int32_t> numbersOf(const ParameterList& list) {
  std::vector<std::int32_t> numbers;
  for (const ParameterEntry& e : list.entries) numbers.push_back(e.number);
  return numbers;
}

controller::FirmwareVersion firmware(int version) {
  return version == 0 ? controller::FirmwareVersion::SD
                      : version == 1 ? controller::FirmwareVersion::K : controller::FirmwareVersion::M;
}

class ShippedLists : public ::testing::Test {
 protected:
  ShippedLists() : chinese(FileLocator(ZAR_DATA_DIR), kChinese), english(FileLocator(ZAR_DATA_DIR), kEnglish) {
    chinese.LoadAddressTables();
    english.LoadAddressTables();
  }
  ParameterTables chinese, english;
};

TEST_F(ShippedLists, EveryModelAndVersionHasItsOwnFileInBothLanguages) {
  for (int model = 0; model < kModelCount; ++model) {
    for (int version = 0; version < kVersionCount; ++version) {
      const ParameterList c = chinese.buildList(model, version);
      const ParameterList e = english.buildList(model, version);
      const DefinitionFileNames names = definitionFileNames(model, version, kEnglish);
      SCOPED_TRACE(names.primary);
      ASSERT_NE(e.definitionPath.find(names.primary), std::string::npos);  // not the fallback
      EXPECT_GE(e.count(), 40u);
      EXPECT_LE(e.count(), 150u);
      EXPECT_EQ(numbersOf(c), numbersOf(e));
      EXPECT_EQ(e.count() - e.definitionCount, english.addressTable(model).size());
      const std::vector<std::int32_t> numbers = numbersOf(e);
      EXPECT_EQ(std::set<std::int32_t>(numbers.begin(), numbers.end()).size(), e.count())
          << "a number listed twice";
      for (size_t i = 0; i < c.count(); ++i) {
        EXPECT_TRUE(decodesAsBig5(c[i].name)) << c[i].number;
        EXPECT_NE(c[i].name, e[i].name);
        for (const ParameterEntry* entry : {&c[i], &e[i]}) {
          EXPECT_FALSE(entry->name.empty());
          EXPECT_LE(entry->name.size(), kMaxNameLength);
          // Names hold nothing that would confuse the received line
          // "name(number)=value" when it is sent back.
          const ParameterLine back = parseParameterLine(receivedLinePrefix(*entry) + "-15");
          EXPECT_EQ(back.form, LineForm::Setting) << entry->name;
          EXPECT_EQ(back.numberText, std::to_string(entry->number)) << entry->name;
          EXPECT_EQ(back.value, -15);
        }
      }
    }
  }
  // Models without address tables and versions.
  EXPECT_TRUE(english.addressTable(3).empty());
  EXPECT_EQ(numbersOf(english.buildList(5, 0)), numbersOf(english.buildList(5, 2)));
  EXPECT_NE(numbersOf(english.buildList(2, 0)), numbersOf(english.buildList(2, 2)));
}

TEST_F(ShippedLists, TheVirtualControllerKnowsExactlyTheListedNumbers) {
  const controller::ControllerState empty;
  for (int model = 0; model < kModelCount; ++model) {
    for (int version = 0; version < kVersionCount; ++version) {
      const controller::FactoryParameters factory(modelNumber(model), firmware(version));
      std::vector<std::int32_t> listed = numbersOf(english.buildList(model, version));
      std::sort(listed.begin(), listed.end());
      std::vector<std::int32_t> known;
      for (const auto& [number, value] : factory.defaults()) known.push_back(number);
      EXPECT_EQ(known, listed) << modelNumber(model) << " " << versionName(version);
    }
  }
  // A few factory values the lists' names promise.
  const controller::FactoryParameters m302(302, controller::FirmwareVersion::M);
  EXPECT_EQ(m302.value(empty, 9), 4);      // number of controlled axes
  EXPECT_EQ(m302.value(empty, 4), 0);      // parity none
  EXPECT_EQ(m302.value(empty, 80), 10000); // spindle maximum speed
  EXPECT_FALSE(m302.knows(empty, 555));
}

TEST(ShippedFiles, LinesEndInCrLfAndFitOneRead) {
  for (const std::string name : {"102ParK.txt", "302ParME.txt", "300Par.txt", "Z302AddE.Ini", "Z102Add.Ini"}) {
    std::ifstream in(std::string(ZAR_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    ASSERT_FALSE(text.empty()) << name;
    size_t lines = 0, start = 0;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
      EXPECT_TRUE(lf > start && text[lf - 1] == '\r') << name << " line " << lines + 1;
      EXPECT_LT(lf - start, kDataPieceLength) << name << " line " << lines + 1;
      start = lf + 1;
      ++lines;
    }
    EXPECT_EQ(start, text.size()) << name << ": the last line has no line end";
  }
}

}  // namespace
}  // namespace zar::param
