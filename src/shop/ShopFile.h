#pragma once
// The shop file: every machine of the shop, what to back up of it and how to
// reach it, in TOML. One [[machine]] table per machine:
//
//   [[machine]]
//   name = "lathe-1"                    # folder name: letters, digits, - _ .
//   port = "rfc2217://10.0.0.5:4001"    # COMn, /dev/..., tcp:// or rfc2217://
//   type = "X02"                        # or "X00/X01" (default X02)
//   model = 102                         # 102, 202, 302, 101, 200, 300 (default 102)
//   version = "K"                       # SD, K or M (default: as the model sets it)
//   take = ["programs", "parameters", "plc"]   # default: all three
//   slots = "1-99"                      # or [1, 5, "10-20"] (default 1-99)
//   baud = 19200                        # optional: 1200 ... 19200 (default Customer.ini)
//   timeout = 2000                      # optional: reply time-out in ms (default Init.Ini)
//
// The whole file is checked before anything is sent: an unknown key, a
// duplicate name or port, a bad port or slot is refused naming its line.

#include <optional>
#include <string>
#include <vector>

namespace zar::shop {

struct Machine {
  std::string name;
  std::string port;
  int typeIndex = 0;            // 0 "ZAR X02", 1 "ZAR X00/X01"
  int modelNumber = 102;
  std::string version;          // "" = as the model button sets it
  bool programs = true;
  bool parameters = true;
  bool plc = true;
  std::vector<int> slots;       // ascending, no repeats
  std::optional<int> baud;      // bit/s
  std::optional<int> timeoutMs;
  int line = 0;                 // where the machine's table starts
};

struct ShopFile {
  std::vector<Machine> machines;
};

// Parses shop file text; `source` names it in errors ("shop.toml:12: ...").
// nullopt with *error (one line per problem) when anything is wrong.
std::optional<ShopFile> parseShopFile(const std::string& text, const std::string& source, std::string* error);
// Reads the file through the checked input opener, then parses it.
std::optional<ShopFile> readShopFile(const std::string& path, std::string* error);

}  // namespace zar::shop
