// The shop file: what a good one gives, and every problem of a bad one named
// with its line before anything is sent.
#include <gtest/gtest.h>

#include "shop/ShopFile.h"

namespace zar::shop {
namespace {

TEST(ShopFile, MachinesWithDefaultsRangesAndEveryPortKind) {
  const std::string text = R"(# the shop
[[machine]]
name = "lathe-1"
port = "rfc2217://10.0.0.5:4001"

[[machine]]
name = "mill_2"
port = "COM5"
type = "X00/X01"
model = 101
version = "SD"
take = ["parameters", "programs"]
slots = [3, "10-12", 3]
baud = 9600
timeout = 2500

[[machine]]
name = "press.3"
port = "/dev/ttyUSB0"
slots = "7"
take = ["plc"]
)";
  std::string error;
  const auto shop = parseShopFile(text, "shop.toml", &error);
  ASSERT_TRUE(shop) << error;
  ASSERT_EQ(shop->machines.size(), 3u);
  const Machine& a = shop->machines[0];
  EXPECT_EQ(a.name, "lathe-1");
  EXPECT_EQ(a.port, "rfc2217://10.0.0.5:4001");
  EXPECT_EQ(a.typeIndex, 0);
  EXPECT_EQ(a.modelNumber, 102);
  EXPECT_TRUE(a.programs && a.parameters && a.plc);
  EXPECT_EQ(a.slots.size(), 99u);
  EXPECT_FALSE(a.baud);
  EXPECT_EQ(a.line, 2);
  const Machine& b = shop->machines[1];
  EXPECT_EQ(b.typeIndex, 1);
  EXPECT_EQ(b.modelNumber, 101);
  EXPECT_EQ(b.version, "SD");
  EXPECT_TRUE(b.programs && b.parameters && !b.plc);
  EXPECT_EQ(b.slots, (std::vector<int>{3, 10, 11, 12}));
  EXPECT_EQ(b.baud, 9600);
  EXPECT_EQ(b.timeoutMs, 2500);
  EXPECT_EQ(shop->machines[2].slots, (std::vector<int>{7}));
  EXPECT_TRUE(!shop->machines[2].programs && shop->machines[2].plc);
}

TEST(ShopFile, EveryProblemIsNamedWithItsLine) {
  const std::string text = R"([[machine]]
name = "a"
port = "tcp://host"
prot = "x"

[[machine]]
name = "a"
port = "COM0"
slots = [0, "5-3", 100]
take = ["programs", "everything"]
model = 999
baud = 1234

[[machine]]
port = "COM1"
name = "../etc"

[[machine]]
name = "b"
port = "com1"

[extra]
x = 1
)";
  std::string error;
  EXPECT_FALSE(parseShopFile(text, "shop.toml", &error));
  for (const char* expected : {"shop.toml:3: port 'tcp://host': the port number is missing",
                               "shop.toml:4: unknown key 'prot'",
                               "shop.toml:6: machine 'a' is named twice",
                               "shop.toml:8: port 'COM0' is none of",
                               "shop.toml:9: slot 0 is not from 1 to 99",
                               "shop.toml:9: slots '5-3' is not a range",
                               "shop.toml:9: slot 100 is not from 1 to 99",
                               "shop.toml:10: take knows",
                               "shop.toml:11: model must be",
                               "shop.toml:12: baud must be",
                               "shop.toml:16: name '../etc' must be",
                               "shop.toml:18: machine 'b' has the port of machine '../etc' (com1)",
                               "shop.toml:22: unknown key 'extra'"})
    EXPECT_NE(error.find(expected), std::string::npos) << expected << "\n--- got:\n" << error;
}

TEST(ShopFile, SyntaxErrorsMissingKeysAndEmptyFiles) {
  std::string error;
  EXPECT_FALSE(parseShopFile("[[machine]]\nname = \"a\nport = \"COM1\"\n", "s.toml", &error));
  EXPECT_EQ(error.rfind("s.toml:2: ", 0), 0u) << error;

  EXPECT_FALSE(parseShopFile("[[machine]]\nname = \"a\"\n", "s.toml", &error));
  EXPECT_NE(error.find("s.toml:1: machine without 'port'"), std::string::npos) << error;

  EXPECT_FALSE(parseShopFile("[[machine]]\nname = 5\nport = \"COM1\"\n", "s.toml", &error));
  EXPECT_NE(error.find("s.toml:2: 'name' must be a text"), std::string::npos) << error;

  EXPECT_FALSE(parseShopFile("# nothing yet\n", "s.toml", &error));
  EXPECT_NE(error.find("nothing to back up"), std::string::npos) << error;

  EXPECT_FALSE(readShopFile("/nonexistent/shop.toml", &error));
  EXPECT_NE(error.find("/nonexistent/shop.toml: "), std::string::npos) << error;
}

}  // namespace
}  // namespace zar::shop
