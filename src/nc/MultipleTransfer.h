#pragma once
// Many programs in one run: reading a set of the controller's 68 service
// slots (L01-L59, G60-G68) into one file each, or writing a list of program
// files into the slots their first lines name.
//
//   MultipleTransfer run(link, log);
//   run.onProgram = [&](const ProgramPage& p, const std::string& path) { show(p, path); };
//   run.readSlots(slots, "JOB", "/backup/", page);   // JOBL05.NC, JOBG61.NC, ...
//   run.writeFiles({"JOBL05.NC"}, "/backup/", inquire, page);
//   for (const ProgramRecord& r : run.records()) ...  // the summary
//
// The port is opened once for the whole run. Each run is one dialogue
// (Exchange): the port closed on every way out, cancel taking effect at the
// next frame, progress counted in programs. The editor and message area of
// the program page show the program being handled; files are written
// through the safe replace, and a slot whose receive failed writes no file,
// so a good earlier backup of it stays.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Exchange.h"
#include "nc/ProgramTransfer.h"

namespace zar::nc {

inline constexpr int kServiceSlots = 68;         // L01-L59 and G60-G68
inline constexpr int kLastLSlot = 59;
inline constexpr size_t kMaxPrefixLength = 20;
inline constexpr size_t kMaxFileNameLength = 254;

using SlotSelection = std::array<bool, kServiceSlots>;  // [i]: slot i + 1

// "L05", "G61".
std::string slotName(int slot);
// The file of a slot: prefix + "L%02d.NC" (1-59) or "G%02d.NC" (60-68).
std::string slotFileName(std::string_view prefix, int slot);
// A directory and a file name joined with one separator ("" keeps the name).
std::string inDirectory(const std::string& directory, const std::string& name);
// Parses "3,61", "L01-L16", "G60-G68,5", "all" (numbers 1-68, L or G names,
// ranges inclusive). Empty with *error set for anything else.
std::optional<SlotSelection> parseSlotList(std::string_view text, std::string* error);

// What the many-programs dialog hands to the run.
struct MultipleChoice {
  bool confirmed = false;
  int mode = -1;                    // 0: read from the controller, 1: write to it
  SlotSelection chosenSlots{};      // mode 0
  std::string prefix;               // mode 0, at most 20 characters
  std::vector<std::string> files;   // mode 1, names in the directory, in list order
  int count = 0;                    // slots or files chosen
  std::string directory;            // with a trailing separator
};
// At most this many files go in one write run; more start nothing.
inline constexpr int kMaxFiles = kServiceSlots;

// What became of one program of a run.
struct ProgramRecord {
  int slot = 0;
  std::string name;      // the program name (X02)
  size_t lines = 0;      // editor lines received or sent
  std::string file;      // full path
  bool ok = false;
  std::string result;    // "saved", "refused", "stored", "cannot open: ...", ...
};

// The fixed line of a slot that could not be read ("In program No 07").
std::string slotFailedText(int slot);

class MultipleTransfer {
 public:
  enum Msg : int {
    kSending = 105, kSent = 106, kClosed = 107, kConnected = 108, kReceived = 109,
    kLoading = 111, kBadSlot = 112, kNameTooLong = 113, kLinesLoaded = 114, kLoaded = 115,
    kSaving = 116, kSaved = 117, kDeleting = 127, kDeleteConfirmed = 128, kDeleteNotConfirmed = 129,
    kAskReplace = 130,
  };

  MultipleTransfer(Link& link, const MessageLog& log) : x_(link, log, Page::Program), texts_(link, log) {}

  // Told of every program as its handling starts (number and name set) and
  // again when its file is known, so the page can follow the run.
  std::function<void(const ProgramPage& page, const std::string& path)> onProgram;

  // Reads every selected slot, in ascending order, into
  // directory/slotFileName(prefix, slot). page.typeIndex decides whether a
  // name line comes; page.comIndex is the port.
  DialogueOutcome readSlots(const SlotSelection& chosen, std::string_view prefix, const std::string& directory,
                            ProgramPage& page);
  // Writes the files (names in `directory`) in their order, each into the
  // slot of its first line, deleting a program already there first (asking
  // before it when `inquire`).
  DialogueOutcome writeFiles(const std::vector<std::string>& names, const std::string& directory, bool inquire,
                             ProgramPage& page);

  // One record per program the last run began, in order.
  const std::vector<ProgramRecord>& records() const { return records_; }

 private:
  enum class Step { Next, End };
  Step readSlot(int slot, std::string_view prefix, const std::string& directory, ProgramPage& page,
                DialogueOutcome& outcome);
  Step writeFile(const std::string& name, const std::string& directory, bool inquire, ProgramPage& page,
                 DialogueOutcome& outcome);
  void show(const ProgramPage& page, const std::string& path) const {
    if (onProgram) onProgram(page, path);
  }
  // Ends the run over a failed step, noting it in the program's record.
  Step stop(ProgramRecord& record, DialogueOutcome& outcome, std::string why);

  Exchange x_;
  ProgramTransfer texts_;  // the confirmation texts the single transfer uses
  std::vector<ProgramRecord> records_;
};

}  // namespace zar::nc
