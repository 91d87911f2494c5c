#pragma once
// Text from the controller that looks garbled: control characters, or bytes
// above 0x7E that the catalog's language does not use (the Chinese catalog
// is Big5, whose two-byte characters are fine; the others are plain ASCII).
//
// A dialogue still stores such a reply as it came (only the NAK frame is a
// refusal), but the person must know before a machine runs it. A dialogue
// that stores free text from the controller (program lines) checks it here
// and warns once, at its end, naming the places:
//
//   GarbledReplies garbled(kGarbledProgramLines);
//   garbled.start(catalog.language());             // when the dialogue starts
//   garbled.check(lineNumber, storedText);         // for every stored line
//   ...
//   if (garbled.any()) log.addTo(page, 0, garbled.warning());
//
// The warning is a fixed English text, like the link's other fixed texts;
// its wordings all live here.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zar {

// The offset of the first byte of `text` that cannot belong to text in the
// catalog language `language` (0 Chinese: Big5 lead and trail bytes; any
// other: ASCII only), or npos when all of it reads. A tab is text; every
// other byte below 0x20, and DEL, is not. A Big5 lead byte without its
// trail byte is garbled.
size_t firstGarbledByte(std::string_view text, int language);

inline bool looksGarbled(std::string_view text, int language) {
  return firstGarbledByte(text, language) != std::string_view::npos;
}

// How a warning names what a dialogue stores, and what to do about it.
struct GarbledWording {
  std::string_view one;     // "line"
  std::string_view many;    // "lines"
  std::string_view advice;  // "check the program before running it"
};

inline constexpr GarbledWording kGarbledProgramLines{"line", "lines", "check the program before running it"};
// (Parameter values and PLC records need none: a value that is no number and
// a record whose checksum fails are refused outright.)

// The garbled places of one dialogue run.
class GarbledReplies {
 public:
  // How many numbers a warning lists before it only counts the rest.
  static constexpr size_t kListed = 10;

  explicit GarbledReplies(GarbledWording wording) : wording_(wording) {}

  // Begins a dialogue run in the catalog language `language` (the one
  // loaded now: the window may load its catalog after it made the
  // dialogue), forgetting what earlier runs found.
  void start(int language);
  // Checks `text`, stored as number `number` (the line, parameter or record
  // number the person sees); true when it looks garbled, and then noted.
  bool check(size_t number, std::string_view text);

  bool any() const { return count_ > 0; }
  size_t count() const { return count_; }
  // The first kListed numbers noted, in the order they were checked.
  const std::vector<size_t>& listed() const { return listed_; }

  // One message line naming the places ("Warning: lines 12, 40 and 41
  // arrived garbled ..."); empty when nothing was noted.
  std::string warning() const;

 private:
  GarbledWording wording_;
  int language_ = 1;
  std::vector<size_t> listed_;
  size_t count_ = 0;
};

}  // namespace zar
