#pragma once
// The records a PLC image travels in, both ways:
//
//   STX  cc  tt  data  ss  ETX
//        |   |   |     one's complement of (cc + data bytes), low 8 bits
//        |   |   hexadecimal digits: one image line
//        |   "00" for data, "01" for the end record
//        number of data bytes: the digits halved, rounded up
//
// Data bytes are read as pairs of upper-case digits; a lone last digit
// counts its own value. The end record is STX "0001FE" ETX.
//
// Records sent are formed from image lines as they stand. Records received
// are checked before anything is made of them: a record whose count,
// checksum, type or digits do not add up is named and refused, so a byte
// damaged on the line never becomes a different PLC program.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zar::plc {

// The most data bytes one record can count (two count digits).
inline constexpr std::size_t kMaxRecordDataBytes = 255;
inline constexpr std::size_t kMaxRecordDataDigits = 2 * kMaxRecordDataBytes;
// Longest record on the line: STX, count, type, data, checksum, ETX.
inline constexpr std::size_t kMaxRecordBytes = 1 + 2 + 2 + kMaxRecordDataDigits + 2 + 1;

// The hexadecimal digits (0-9, A-F) at the start of `line`; the data of its record.
std::string_view recordDigits(std::string_view line);
// The checksum of a record counting `count` bytes of `digits`.
int recordChecksum(int count, std::string_view digits);
// The data record of an image line: its leading digits (everything from the
// first other character on is left out). Lines of more than
// kMaxRecordDataDigits leading digits have no record (the count would not
// fit): check with recordDigits() first.
std::string dataRecord(std::string_view line);

// What is wrong with a received record.
enum class RecordProblem {
  None,
  Frame,     // not STX ... ETX, or too short to hold count, type and checksum
  NotHex,    // a byte between STX and ETX is no upper-case hexadecimal digit
  Type,      // a type other than data ("00") where data is expected
  Count,     // the count disagrees with the number of data digits
  Checksum,  // the checksum disagrees with count and data
};

// A plain-English phrase for a problem ("its checksum does not match").
std::string_view recordProblemText(RecordProblem problem);

struct RecordCheck {
  RecordProblem problem = RecordProblem::None;
  std::string data;  // the data digits of a good record
  bool ok() const { return problem == RecordProblem::None; }
};

// Checks one data record as it came (STX ... ETX, nothing around it).
RecordCheck checkDataRecord(std::string_view record);

// The progress panel's marks for the n-th record (1-based): 1 to 11 marks,
// cycling, as many as the record counter shows.
std::string progressMarks(std::size_t n, char mark);

}  // namespace zar::plc
