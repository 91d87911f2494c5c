#include "link/PortNames.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/FileLocator.h"
#include "base/InputFile.h"
#include "base/SafeFile.h"
#include "link/NetworkSerialDevice.h"

namespace zar {
namespace fs = std::filesystem;

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

// Names in `dir` of the form <prefix><digits>, in numeric order.
std::vector<std::string> numberedNames(const std::string& dir, std::string_view prefix) {
  std::vector<std::pair<long, std::string>> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) continue;
    found.emplace_back(std::stol(digits), name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(std::move(f.second));
  return names;
}

std::string canonical(const std::string& path) {
  if (isNetworkPortName(path)) return path;
  std::error_code ec;
  const fs::path p = fs::canonical(path, ec);
  return ec ? path : p.string();
}

bool exists(const std::string& path) {
  if (isNetworkPortName(path)) return true;  // cannot be told without connecting
  std::error_code ec;
  return fs::exists(path, ec);
}

}  // namespace

PortDirectory::PortDirectory(std::string workingDirectory, std::string devRoot, std::string sysRoot)
    : workingDirectory_(std::move(workingDirectory)),
      devRoot_(std::move(devRoot)),
      sysRoot_(std::move(sysRoot)) {
  mapFile_ = FileLocator(workingDirectory_.empty() ? "." : workingDirectory_)
                 .writePath(FileKind::Config, kMapFileName);
  reload();
}

int PortDirectory::comNumberOf(std::string_view name) {
  if (name.substr(0, 4) == "\\\\.\\") name.remove_prefix(4);
  if (!startsWithNoCase(name, "COM")) return 0;
  name.remove_prefix(3);
  if (name.empty() || name.size() > 2 || name.front() == '0') return 0;
  int n = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n >= 1 && n <= kMaxComNumber ? n : 0;
}

std::map<int, std::string> PortDirectory::parseMap(std::string_view text) {
  std::map<int, std::string> map;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    line = trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const int number = comNumberOf(trim(line.substr(0, eq)));
    const std::string_view path = trim(line.substr(eq + 1));
    if (number == 0 || path.empty() || path.find('\0') != std::string_view::npos) continue;
    if (path.front() != '/' && !parseNetworkPort(path)) continue;
    map[number] = std::string(path);
  }
  return map;
}

std::string PortDirectory::formatMap(const std::map<int, std::string>& map) {
  std::string text =
      "; COM numbers of the serial devices, kept across restarts. Edit freely:\r\n"
      "; one \"COMn = /dev/...\" per line (prefer the stable /dev/serial/by-id/ names),\r\n"
      "; or a serial server on the network: COMn = tcp://HOST:PORT or rfc2217://HOST:PORT.\r\n";
  for (const auto& [number, path] : map) text += "COM" + std::to_string(number) + " = " + path + "\r\n";
  return text;
}

bool PortDirectory::hasUart(const std::string& name) const {
  // sysfs tells the UART type without opening the port; 0 means none.
  std::ifstream type(sysRoot_ + "/class/tty/" + name + "/type");
  if (type) {
    int value = 0;
    type >> value;
    return value != 0;
  }
  const int fd = ::open((devRoot_ + "/" + name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial_struct info{};
  const bool uart = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return uart;
}

std::vector<std::string> PortDirectory::scanDevices() const {
  std::vector<std::string> devices;
  for (const std::string& name : numberedNames(devRoot_, "ttyS"))
    if (hasUart(name)) devices.push_back(devRoot_ + "/" + name);

  std::set<std::string> covered;  // devices already reached through a stable name
  const std::string byId = devRoot_ + "/serial/by-id";
  std::vector<std::string> stable;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(byId, ec)) stable.push_back(entry.path().string());
  std::sort(stable.begin(), stable.end());
  for (const std::string& path : stable) {
    if (!exists(path)) continue;  // dangling link
    covered.insert(canonical(path));
    devices.push_back(path);
  }
  for (std::string_view prefix : {"ttyUSB", "ttyACM"}) {
    for (const std::string& name : numberedNames(devRoot_, prefix)) {
      const std::string path = devRoot_ + "/" + name;
      if (!covered.count(canonical(path))) devices.push_back(path);
    }
  }
  return devices;
}

int PortDirectory::lowestFreeNumber() const {
  for (int n = 1; n <= kMaxComNumber; ++n)
    if (!map_.count(n) && !overrides_.count(n)) return n;
  return 0;
}

void PortDirectory::reload() {
  map_.clear();
  {
    const std::string path = FileLocator(workingDirectory_.empty() ? "." : workingDirectory_)
                                 .readPath(FileKind::Config, kMapFileName);
    std::string text;
    if (readInputFile(path, text, nullptr)) map_ = parseMap(text);
  }
  std::set<std::string> known;
  for (const auto& [number, path] : map_) {
    known.insert(path);
    known.insert(canonical(path));
  }
  bool added = false;
  for (const std::string& device : scanDevices()) {
    if (known.count(device) || known.count(canonical(device))) continue;
    const int number = lowestFreeNumber();
    if (number == 0) break;
    map_[number] = device;
    known.insert(device);
    known.insert(canonical(device));
    addedThisRun_.push_back(number);
    added = true;
  }
  if (added) save();
}

void PortDirectory::save() {
  saveError_.clear();
  std::string why;
  if (!replaceFileContent(mapFile_, formatMap(map_), &why))
    saveError_ = "cannot write " + mapFile_ + ": " + why;
}

void PortDirectory::overrideDevice(int comNumber, std::string path, std::string label) {
  if (comNumber < 1 || comNumber > kMaxComNumber) return;
  overrides_[comNumber] = {std::move(path), std::move(label)};
  // A device numbered in this run only should not be hidden behind the override.
  const auto added = std::find(addedThisRun_.begin(), addedThisRun_.end(), comNumber);
  if (added != addedThisRun_.end() && map_.count(comNumber)) {
    std::string device = map_[comNumber];
    map_.erase(comNumber);
    const int number = lowestFreeNumber();
    *added = number;
    if (number != 0) map_[number] = std::move(device);
    save();
  }
}

std::string PortDirectory::devicePathFor(const std::string& comName) const {
  if (!comName.empty() && comName.front() == '/') return comName;
  if (isNetworkPortName(comName)) return comName;
  const int number = comNumberOf(comName);
  if (number == 0) return {};
  if (auto o = overrides_.find(number); o != overrides_.end()) return o->second.path;
  if (auto m = map_.find(number); m != map_.end()) return m->second;
  return {};
}

std::string PortDirectory::describePath(const std::string& path) const {
  if (isNetworkPortName(path)) return path;
  if (!exists(path)) return path + " (not present)";
  const std::string target = canonical(path);
  if (target == path) return path;
  return fs::path(target).filename().string() + " (" + fs::path(path).filename().string() + ")";
}

std::string PortDirectory::describe(int comNumber) const {
  if (auto o = overrides_.find(comNumber); o != overrides_.end())
    return o->second.label.empty() ? o->second.path : o->second.label + " (" + o->second.path + ")";
  if (auto m = map_.find(comNumber); m != map_.end()) return describePath(m->second);
  return {};
}

std::vector<PortDirectory::Entry> PortDirectory::entries() const {
  std::map<int, Entry> all;
  for (const auto& [number, path] : map_) all[number] = {number, path, exists(path), false};
  for (const auto& [number, o] : overrides_) all[number] = {number, o.path, exists(o.path), true};
  std::vector<Entry> list;
  for (auto& [number, entry] : all) list.push_back(std::move(entry));
  return list;
}

}  // namespace zar
