#include "shop/ShopFile.h"

#include <toml++/toml.h>

#include <algorithm>
#include <map>
#include <set>

#include "base/InputFile.h"
#include "controller/ControllerConfig.h"
#include "link/NetworkSerialDevice.h"
#include "link/PortNames.h"
#include "param/ParameterModels.h"

namespace zar::shop {
namespace {

constexpr const char* kKnownKeys[] = {"name", "port", "type", "model", "version", "take",
                                      "slots", "baud", "timeout"};

// Collects problems, each with the line it is on.
class Problems {
 public:
  explicit Problems(std::string source) : source_(std::move(source)) {}
  void add(const toml::source_region& where, const std::string& text) {
    lines_.push_back(source_ + ":" + std::to_string(where.begin.line) + ": " + text);
  }
  void add(int line, const std::string& text) { lines_.push_back(source_ + ":" + std::to_string(line) + ": " + text); }
  void addWhole(const std::string& text) { lines_.push_back(source_ + ": " + text); }
  bool empty() const { return lines_.empty(); }
  std::string joined() const {
    std::string all;
    for (const std::string& l : lines_) all += (all.empty() ? "" : "\n") + l;
    return all;
  }

 private:
  std::string source_;
  std::vector<std::string> lines_;
};

bool validName(const std::string& name) {
  if (name.empty() || name.size() > 64 || name == "." || name == ".." || name.front() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
  });
}

// "COM5", "/dev/ttyUSB0", "tcp://h:1", "rfc2217://h:1"; empty when good.
std::string portProblem(const std::string& port) {
  if (port.empty()) return "the port is empty";
  if (port.front() == '/') return {};
  if (isNetworkPortName(port)) {
    std::string why;
    return parseNetworkPort(port, &why) ? std::string() : "port '" + port + "': " + why;
  }
  if (PortDirectory::comNumberOf(port) != 0) return {};
  return "port '" + port + "' is none of COM1..COM99, /dev/..., tcp://HOST:PORT, rfc2217://HOST:PORT";
}

// One slot or a range "A-B" into `slots`; false when it is not one.
bool addSlots(const toml::node& node, std::set<int>& slots, std::string& why) {
  if (const auto n = node.value<int64_t>(); n && node.is_integer()) {
    if (*n < 1 || *n > 99) {
      why = "slot " + std::to_string(*n) + " is not from 1 to 99";
      return false;
    }
    slots.insert(static_cast<int>(*n));
    return true;
  }
  if (const auto text = node.value<std::string>()) {
    int a = 0, b = 0;
    char dash = 0, rest = 0;
    const int got = std::sscanf(text->c_str(), "%d %c %d %c", &a, &dash, &b, &rest);
    if (got == 1 && text->find('-') == std::string::npos) b = a, dash = '-';
    else if (got != 3 || dash != '-') {
      why = "slots '" + *text + "' is no slot number or range like \"1-99\"";
      return false;
    }
    if (a < 1 || b > 99 || a > b) {
      why = "slots '" + *text + "' is not a range within 1-99";
      return false;
    }
    for (int s = a; s <= b; ++s) slots.insert(s);
    return true;
  }
  why = "slots are numbers 1-99 or ranges like \"10-20\"";
  return false;
}

void readMachine(const toml::table& t, Machine& m, Problems& problems) {
  m.line = static_cast<int>(t.source().begin.line);
  for (const auto& [key, value] : t) {
    const std::string k(key.str());
    if (std::find(std::begin(kKnownKeys), std::end(kKnownKeys), k) == std::end(kKnownKeys))
      problems.add(value.source(), "unknown key '" + k + "' (known: name, port, type, model, version, take, slots, "
                                   "baud, timeout)");
  }
  auto text = [&](const char* key, bool required) -> std::optional<std::string> {
    const toml::node* n = t.get(key);
    if (!n) {
      if (required) problems.add(t.source(), std::string("machine without '") + key + "'");
      return std::nullopt;
    }
    if (!n->is_string()) {
      problems.add(n->source(), std::string("'") + key + "' must be a text in quotes");
      return std::nullopt;
    }
    return n->value<std::string>();
  };
  auto number = [&](const char* key, int64_t low, int64_t high) -> std::optional<int> {
    const toml::node* n = t.get(key);
    if (!n) return std::nullopt;
    if (!n->is_integer() || *n->value<int64_t>() < low || *n->value<int64_t>() > high) {
      problems.add(n->source(), std::string("'") + key + "' must be a whole number from " + std::to_string(low) +
                                    " to " + std::to_string(high));
      return std::nullopt;
    }
    return static_cast<int>(*n->value<int64_t>());
  };

  if (auto name = text("name", true)) {
    m.name = *name;
    if (!validName(m.name))
      problems.add(t.get("name")->source(), "name '" + m.name + "' must be letters, digits, '-', '_' or '.' "
                                            "(it names the machine's folder)");
  }
  if (auto port = text("port", true)) {
    m.port = *port;
    if (const std::string why = portProblem(m.port); !why.empty()) problems.add(t.get("port")->source(), why);
  }
  if (auto type = text("type", false)) {
    const auto parsed = controller::parseControllerType(*type);
    if (!parsed) problems.add(t.get("type")->source(), "type must be \"X02\" or \"X00/X01\", not '" + *type + "'");
    else m.typeIndex = *parsed == controller::ControllerType::X02 ? 0 : 1;
  }
  if (const toml::node* n = t.get("model")) {
    const auto model = n->value<int64_t>();
    if (!n->is_integer() || !param::modelIndexOf(static_cast<int>(*model)))
      problems.add(n->source(), "model must be 102, 202, 302, 101, 200 or 300");
    else m.modelNumber = static_cast<int>(*model);
  }
  if (auto version = text("version", false)) {
    if (!param::versionIndexOf(*version)) problems.add(t.get("version")->source(), "version must be SD, K or M");
    else m.version = *version;
  }
  if (const toml::node* n = t.get("take")) {
    m.programs = m.parameters = m.plc = false;
    const toml::array* list = n->as_array();
    if (!list || list->empty()) problems.add(n->source(), "take is a list of \"programs\", \"parameters\", \"plc\"");
    if (list) {
      for (const toml::node& item : *list) {
        const auto what = item.value<std::string>();
        if (what && *what == "programs") m.programs = true;
        else if (what && *what == "parameters") m.parameters = true;
        else if (what && *what == "plc") m.plc = true;
        else problems.add(item.source(), "take knows \"programs\", \"parameters\" and \"plc\" only");
      }
    }
  }
  std::set<int> slots;
  if (const toml::node* n = t.get("slots")) {
    std::string why;
    if (const toml::array* list = n->as_array()) {
      if (list->empty()) problems.add(n->source(), "slots is empty");
      for (const toml::node& item : *list)
        if (!addSlots(item, slots, why)) problems.add(item.source(), why);
    } else if (!addSlots(*n, slots, why)) {
      problems.add(n->source(), why);
    }
  } else {
    for (int s = 1; s <= 99; ++s) slots.insert(s);
  }
  m.slots.assign(slots.begin(), slots.end());
  if (const auto baud = number("baud", 1200, 19200)) {
    if (*baud != 1200 && *baud != 2400 && *baud != 4800 && *baud != 9600 && *baud != 19200)
      problems.add(t.get("baud")->source(), "baud must be 1200, 2400, 4800, 9600 or 19200");
    else m.baud = baud;
  }
  m.timeoutMs = number("timeout", 50, 600000);
}

}  // namespace

std::optional<ShopFile> parseShopFile(const std::string& text, const std::string& source, std::string* error) {
  Problems problems(source);
  toml::table root;
  try {
    root = toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    problems.add(e.source(), std::string(e.description()));
    if (error) *error = problems.joined();
    return std::nullopt;
  }
  ShopFile shop;
  for (const auto& [key, value] : root) {
    if (key.str() != "machine")
      problems.add(value.source(), "unknown key '" + std::string(key.str()) + "' (machines are [[machine]] tables)");
  }
  const toml::node* machines = root.get("machine");
  if (machines && !machines->is_array_of_tables()) {
    problems.add(machines->source(), "'machine' must be [[machine]] tables");
    machines = nullptr;
  }
  std::set<std::string> names;
  std::map<std::string, std::string> ports;  // port -> the machine that has it
  if (machines) {
    for (const toml::node& node : *machines->as_array()) {
      Machine m;
      readMachine(*node.as_table(), m, problems);
      if (!m.name.empty() && !names.insert(m.name).second)
        problems.add(m.line, "machine '" + m.name + "' is named twice");
      // Two machines on one port would fight over it, and one would fail at random.
      const int com = PortDirectory::comNumberOf(m.port);
      const std::string port = com ? "COM" + std::to_string(com) : m.port;
      if (!m.port.empty() && !ports.emplace(port, m.name).second)
        problems.add(m.line, "machine '" + m.name + "' has the port of machine '" + ports[port] + "' (" + m.port + ")");
      shop.machines.push_back(std::move(m));
    }
  }
  if (shop.machines.empty() && problems.empty()) problems.addWhole("no [[machine]] tables: nothing to back up");
  if (!problems.empty()) {
    if (error) *error = problems.joined();
    return std::nullopt;
  }
  return shop;
}

std::optional<ShopFile> readShopFile(const std::string& path, std::string* error) {
  std::string text, why;
  if (!readInputFile(path, text, &why)) {
    if (error) *error = path + ": " + why;
    return std::nullopt;
  }
  return parseShopFile(text, path, error);
}

}  // namespace zar::shop
