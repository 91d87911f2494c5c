#pragma once
// NC block conversion: the editor's program text, line by line, into block
// records for the path simulator.
//
// A small hand-written scanner for the controller's dialect: G and M codes,
// coordinate words, parenthesised and apostrophe comments, the "/" block
// skip mark, program headers and the keyword statements CALL, JMP, LOOP,
// END and the I/O words. Conversion stops at the first line that fails.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/BlockRecord.h"

namespace zar {
class MessageLog;
}

namespace zar::sim {

// Characters that start a new word.
inline constexpr std::string_view kAddressLetters = "%()='@/GMSXYZIJKRFNLOUPQ:ABCDE";
// A word of this many characters or more is malformed.
inline constexpr std::size_t kMaxWordLength = 127;
// Longest keyword.
inline constexpr std::size_t kMaxKeywordLength = 127;
// Longest run of letters in an I/O word or a program header.
inline constexpr std::size_t kMaxNameLetters = 18;
// Largest I/O number.
inline constexpr int kMaxIoNumber = 32;

inline constexpr const char* kDumpFileName = "Test.TXT";

struct ConversionResult {
  int status = csSuccess;
  int failingLine = 0;        // 1-based line of the failure, 0 on success
  bool emptyProgram = false;  // nothing to convert (message 198)
  bool dumpWritten = false;   // the dump file could be written
  bool ok() const { return !emptyProgram && status == csSuccess; }
};

class Converter {
 public:
  explicit Converter(BlockList& list) : list_(list) {}

  // Clears the list and MotionMode, converts every line until one fails.
  // No dump, no messages (see ConvertProgram below for the whole button).
  ConversionResult ConvertLines(const std::vector<std::string>& lines);
  // The same over lines pulled one at a time (false: no more lines), so a
  // program read from a file is read only as far as the conversion goes.
  ConversionResult ConvertLines(const std::function<bool(std::string& line)>& nextLine);

  // Converts one line, appending its records.
  int ConvertLine(std::string_view line, int lineIndex);

  // Converts the first word (or the words it takes along) of `rest`, appends
  // any record, and leaves in `rest` the text that follows. Uses the skip and
  // comment marks of the line being converted.
  int ConvertWord(std::string_view& rest, int lineIndex);

  // Motion of blocks that begin with a coordinate word: 0 after G0, 1 after G1.
  int MotionMode = 1;
  // Per-line marks.
  bool SkipMark = false;
  bool CommentMark = false;

 private:
  int convertWordAt();
  BlockRecord newRecord() const;
  int append(const BlockRecord& record) { return list_.AppendBlock(record); }

  int readWord(std::string& word);
  int readNumberWord(std::string& word, std::string_view& value, char prefix = 0);
  int readKeyword(std::string& keyword);
  bool keywordIs(std::string_view expected);
  bool atEnd() const;
  int passOver();

  int gCode();
  int mCode();
  int bareBlock();
  int feedWord();
  int spindleWord();
  int lWord();
  int callStatement(unsigned char code);
  int ioWord();
  int variableWord();
  int atWord();
  int header();
  int comment();

  int readWordList(BlockRecord& record, std::string_view letters);
  int readIndirect(BlockRecord& record, char letter);
  int readCallWords(BlockRecord& record);
  int readDwellWord(BlockRecord& record);
  int readParameterWords(BlockRecord& record);

  BlockList& list_;
  std::string_view text_;
  std::size_t pos_ = 0;
  int lineIndex_ = 0;
};

// The dump of a conversion: a failure line (if any), then one line per record.
std::string DumpText(const BlockList& list, const ConversionResult& result);
// Writes the dump "Test.TXT" for the working directory `directory` through
// the safe replace; false (*error says why) when it cannot be written.
bool WriteDump(const std::string& directory, const BlockList& list, const ConversionResult& result,
               std::string* error = nullptr);

// The failure line shown in the program page's message area, without the
// catalog text: "  On Line:N0005".
std::string OnLineSuffix(int failingLine);

// The simulator button's conversion: an empty editor gives message 198 and a
// beep; otherwise the lines are converted, the dump is written into
// `dumpDirectory`, and a failure is reported on the program page with its
// line, followed by a beep. Nothing is written on success.
ConversionResult ConvertProgram(const std::vector<std::string>& lines, BlockList& list,
                                const MessageLog& log, const std::string& dumpDirectory);

}  // namespace zar::sim
