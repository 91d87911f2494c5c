#pragma once
// The PLC compiler: decides whether the PLC editor holds source or an image
// already written as hexadecimal text, compiles source line by line into an
// instruction list and writes the PLC image file (".mcn").
//
// Image layout (bytes): 128 bytes of presets (64 words, low byte first),
// the 32-byte header block (the ATM block, then 16 further bytes), then 6
// bytes per instruction. The file holds every byte as two upper-case hex
// digits, 16 bytes a line, CR LF after each full line.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plc/PlcInstruction.h"
#include "plc/PlcWorkspace.h"
#include "ui/MessageLog.h"

namespace zar::plc {

inline constexpr int kImageHeaderBytes = 2 * kPresetCount + kHeaderBlockSize;  // 160
inline constexpr int kImageInstructionBytes = 6;
inline constexpr int kImageBytesPerLine = 16;

enum class PlcEditorMode { Empty, Image, Source };

// Image when every character of every line is 0-9 or A-F (empty lines do
// not count against it), Empty when there are no lines, Source otherwise.
PlcEditorMode DecidePlcEditorMode(const std::vector<std::string_view>& lines);
PlcEditorMode DecidePlcEditorMode(const std::vector<std::string>& lines);

// What is left of a source line once its comment (from the first ";") and
// its line end are cut.
std::string_view StripPlcComment(std::string_view line);

// The 6 image bytes of one instruction, laid out by its class.
std::array<std::uint8_t, kImageInstructionBytes> InstructionBytes(const PlcInstruction& ins);

// The whole image as bytes, and as the text of an image file.
std::vector<std::uint8_t> PlcImageBytes(const std::vector<PlcInstruction>& list,
                                        const PresetTable& presets, const HeaderBlock& header);
std::string PlcImageText(const std::vector<std::uint8_t>& bytes);

// The image file name for the current PLC file: its extension (from the last
// "." of the file name) replaced by ".mcn", or ".mcn" appended.
std::string PlcImageFileName(std::string_view currentPlcPath);

// Writes the image file through the safe replace. False (*error says why)
// when it cannot be written; an image file already there is then unchanged.
bool WritePlcImage(const std::vector<PlcInstruction>& list, const PresetTable& presets,
                   const HeaderBlock& header, const std::string& imagePath,
                   std::string* error = nullptr);

struct PlcCompileResult {
  PlcEditorMode mode = PlcEditorMode::Empty;
  int status = psOk;         // 0, or the failing line's code (2-7), or 30
  int line = 0;              // 1-based editor line that failed
  std::size_t instructions = 0;
  bool imageWritten = false;
  std::string imageError;    // why the image could not be written
};

// Compiles source lines into `list` (no messages, no file). Writes presets and
// the ATM block of `workspace` for every line encoded.
PlcCompileResult CompilePlcSource(const std::vector<std::string_view>& lines,
                                  PlcWorkspace& workspace, std::vector<PlcInstruction>& list);

// The PLC page's compile step, shared by the window and zarctl: decides the
// editor mode; for source, compiles and (when `imagePath` is not empty)
// writes the image. A failing line gives message 200 + code in the PLC
// page's message area. Nothing is written for an empty or image editor.
// The lines may also be views into one text (a file read whole).
PlcCompileResult CompilePlcProgram(const std::vector<std::string_view>& lines,
                                   PlcWorkspace& workspace, const std::string& imagePath,
                                   const MessageLog& log);
PlcCompileResult CompilePlcProgram(const std::vector<std::string>& lines, PlcWorkspace& workspace,
                                   const std::string& imagePath, const MessageLog& log);

}  // namespace zar::plc
