// Fuzzes the PLC record check and the PLC file reader: any bytes as a
// received record, any bytes as a file. A record that passes its check must
// be formed again byte for byte from its data; every line a file gives is
// within the line bound unless the file was refused.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "plc/PlcFile.h"
#include "plc/PlcRecords.h"

using namespace zar::plc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const RecordCheck check = checkDataRecord(input);
  if (check.ok() && dataRecord(check.data) != input) std::abort();
  // Data formed from any line passes its own check.
  const std::string_view digits = recordDigits(input);
  if (digits.size() <= kMaxRecordDataDigits && checkDataRecord(dataRecord(input)).data != digits) std::abort();

  const PlcFileText text = parsePlcFile(input);
  if (text.longLine == 0)
    for (const std::string& line : text.lines)
      if (line.size() > kPlcLineLength) std::abort();
  return 0;
}
