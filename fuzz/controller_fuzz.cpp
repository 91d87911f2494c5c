// The virtual controller's input side: arbitrary bytes from the line through
// the frame reader into the dialogues, the state file parser and the fault
// grammar. Nothing may crash, and the memory must stay within its limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "controller/ControllerState.h"
#include "controller/Dialogue.h"
#include "controller/FrameReader.h"

using namespace zar::controller;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  ControllerState state;
  state.programs[1] = Program{"ONE", {"G00 X0", "M30"}};
  state.plcImage = {"0011"};
  FaultList faults;
  Dialogue dialogue(state, faults, Identity::from(ControllerConfig{}));
  FrameReader reader;
  // Make the common command frames likely: a leading byte picks a prefix.
  static const std::string prefixes[] = {"$S\r\n01\r\nNAME    \r\n", "$L\r\n01\r\n", "$R\r\n",
                                         "$P\r\n", "\x02LON\x03\x02SQW\x03", "$K\r\n01\r\n"};
  const std::string stream = (size ? prefixes[data[0] % 6] : std::string()) + input;
  for (char c : stream) {
    if (auto frame = reader.push(c)) {
      for (const auto& r : dialogue.handle(*frame)) (void)r;
    }
  }
  for (const auto& slot : state.programs) {
    if (slot && (slot->lines.size() > kMaxProgramLines || slot->name.size() > kMaxNameLength))
      std::abort();
  }
  if (state.plcImage.size() > kMaxPlcImageLines) std::abort();

  if (auto parsed = parseState(input, nullptr)) {
    // What parses must format and parse back to the same memory.
    if (parseState(formatState(*parsed), nullptr) != parsed) std::abort();
  }
  (void)parseFault(input, nullptr);
  return 0;
}
