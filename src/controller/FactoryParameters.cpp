#include "controller/FactoryParameters.h"

namespace zar::controller {

namespace {

struct Row {
  int model;
  std::int32_t number;
  std::int32_t value;
  unsigned versions;  // bit 0 SD, 1 K, 2 M
};

constexpr Row kTable[] = {
#include "controller/FactoryParameterTable.inc"
};

unsigned versionBit(FirmwareVersion version) {
  switch (version) {
    case FirmwareVersion::SD: return 1u;
    case FirmwareVersion::K: return 2u;
    case FirmwareVersion::M: return 4u;
  }
  return 0u;
}

}  // namespace

FactoryParameters::FactoryParameters(int model, FirmwareVersion version) {
  const unsigned bit = versionBit(version);
  for (const Row& row : kTable)
    if (row.model == model && (row.versions & bit) != 0) defaults_.emplace(row.number, row.value);
}

bool FactoryParameters::knows(const ControllerState& state, std::int32_t number) const {
  return defaults_.count(number) != 0 || state.parameters.count(number) != 0;
}

std::int32_t FactoryParameters::value(const ControllerState& state, std::int32_t number) const {
  if (const auto it = state.parameters.find(number); it != state.parameters.end()) return it->second;
  if (const auto it = defaults_.find(number); it != defaults_.end()) return it->second;
  return 0;
}

}  // namespace zar::controller
