#pragma once
// The PLC tables that outlive one compilation: the timer/counter presets and
// the image header block. Compiling writes into them, reading an image
// replaces them, and entries a program does not set keep their last values.
// The window and zarctl share the process-wide instance; tests make their own.

#include "plc/PlcInstruction.h"

namespace zar::plc {

struct PlcWorkspace {
  PresetTable presets{};
  HeaderBlock header{};

  static PlcWorkspace& process();
};

}  // namespace zar::plc
