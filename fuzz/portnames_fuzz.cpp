// "Ports.ini" content and COM names: parsing never fails badly, and what is
// parsed survives a write and a re-read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/NetworkSerialDevice.h"
#include "link/PortNames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto map = zar::PortDirectory::parseMap(text);
  for (const auto& [number, path] : map) {
    if (number < 1 || number > zar::PortDirectory::kMaxComNumber || path.empty() ||
        (path[0] != '/' && !zar::isNetworkPortName(path))) std::abort();
  }
  if (zar::PortDirectory::parseMap(zar::PortDirectory::formatMap(map)) != map) std::abort();
  const int n = zar::PortDirectory::comNumberOf(text.substr(0, 16));
  if (n < 0 || n > zar::PortDirectory::kMaxComNumber) std::abort();
  return 0;
}
