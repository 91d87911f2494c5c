// Fuzzes the PLC line encoder: any bytes as one source line. A line that
// encodes must decode, and its decoded text must encode to the same record.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "plc/PlcCompiler.h"
#include "plc/PlcInstruction.h"

using namespace zar::plc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  PresetTable presets{};
  AtmBlock atm{};
  PlcInstruction ins;
  const int rc = EncodeLine(StripPlcComment(line), ins, presets, atm);
  if (rc != psOk) {
    if (rc < 2 || rc > 7) std::abort();
    return 0;
  }
  std::string text;
  if (DecodeInstruction(ins, presets, atm, text) != psOk) std::abort();
  PresetTable presets2 = presets;
  AtmBlock atm2 = atm;
  PlcInstruction again;
  if (EncodeLine(text, again, presets2, atm2) != psOk) std::abort();
  if (!(again == ins) || presets2 != presets || atm2 != atm) std::abort();

  ParsedOperand op;
  const int prc = ParseOperand(line.substr(0, 16), op);
  if (prc != 0 && (prc < 5 || prc > 7)) std::abort();
  return 0;
}
