#pragma once
// What the controller remembers: its program slots, its parameters and its
// PLC image, and the readable text file in which they persist.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zar::controller {

inline constexpr int kFirstSlot = 1;
inline constexpr int kLastSlot = 99;
inline constexpr size_t kMaxNameLength = 8;
inline constexpr size_t kMaxProgramLines = 20000;   // per slot
inline constexpr size_t kMaxLineLength = 1024;      // program line text, bytes
inline constexpr size_t kMaxPlcImageLines = 65536;  // records of the PLC image (100 000 instructions: 37 510)
inline constexpr size_t kMaxPlcLineDigits = 510;    // hex digits per image line: 255 bytes, a record's most

struct Program {
  std::string name;                // X02 only; at most 8 characters, no trailing blanks
  std::vector<std::string> lines;  // block texts without the "N<k> " prefix
  bool operator==(const Program&) const = default;
};

struct ControllerState {
  std::array<std::optional<Program>, kLastSlot + 1> programs;  // index 0 unused
  std::map<std::int32_t, std::int32_t> parameters;         // number -> value; unset reads 0
  std::vector<std::string> plcImage;  // hexadecimal record data, one image line each

  bool operator==(const ControllerState&) const = default;
};

// The state file: a text file of sections ("[slot 05]", "[parameters]",
// "[plc]"), read and written whole. Bytes outside printable ASCII and the
// backslash are escaped so any program text survives. Save goes through the
// safe replace: a failed save leaves the previous file as it was.
bool saveState(const ControllerState& state, const std::string& path, std::string* error);
// Parses `text`; on failure *error names the offending line.
std::optional<ControllerState> parseState(const std::string& text, std::string* error);
std::string formatState(const ControllerState& state);
// A missing file is not an error: *exists is set to false and the result is
// empty. A path that is not a regular file (a FIFO, a directory) is refused
// at once, without waiting on it.
std::optional<ControllerState> loadState(const std::string& path, bool* exists,
                                         std::string* error);

// The state file used when none is named: "VirtualController.state" where
// state files of the working directory `workingDirectory` ("" the current
// one) are kept.
inline constexpr const char* kDefaultStateFileName = "VirtualController.state";
std::string defaultStateFile(const std::string& workingDirectory);

// A few small programs for demonstrations, with names, in the slots they are
// meant for (1 to 4).
std::vector<std::pair<int, Program>> samplePrograms();
// A small PLC image (a timer-driven output) as image lines.
std::vector<std::string> samplePlcImage();
// Puts the sample programs into those of their slots that are empty, and the
// sample image when no image is stored. Returns whether anything changed.
bool addSamples(ControllerState& state);

}  // namespace zar::controller
