#pragma once
// The parameters a controller holds from the factory: for each model and
// firmware version, the numbers its parameter lists offer (the shipped
// definition and address files, generated from one table with them by
// scripts/make_param_data.py) and each one's factory value.
//
// The controller answers for these numbers and for any number its memory
// holds (set before, or listed in the state file); others are refused.

#include <cstdint>
#include <map>

#include "controller/ControllerConfig.h"
#include "controller/ControllerState.h"

namespace zar::controller {

class FactoryParameters {
 public:
  FactoryParameters() = default;  // knows nothing beyond the memory
  FactoryParameters(int model, FirmwareVersion version);

  // Whether a parameter exists: in the factory set or in the memory.
  bool knows(const ControllerState& state, std::int32_t number) const;
  // Its value: the memory's, else the factory value; 0 when unknown.
  std::int32_t value(const ControllerState& state, std::int32_t number) const;

  // number -> factory value, in number order.
  const std::map<std::int32_t, std::int32_t>& defaults() const { return defaults_; }

 private:
  std::map<std::int32_t, std::int32_t> defaults_;
};

}  // namespace zar::controller
