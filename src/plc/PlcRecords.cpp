#include "plc/PlcRecords.h"

#include <cstdio>

#include "link/Frames.h"

namespace zar::plc {

namespace f = zar::frames;

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int byteAt(std::string_view digits) { return hexValue(digits[0]) * 16 + hexValue(digits[1]); }

}  // namespace

std::string_view recordDigits(std::string_view line) {
  size_t n = 0;
  while (n < line.size() && hexValue(line[n]) >= 0) ++n;
  return line.substr(0, n);
}

int recordChecksum(int count, std::string_view digits) {
  int sum = count;
  for (size_t i = 0; i < digits.size(); i += 2)
    sum += i + 1 < digits.size() ? byteAt(digits.substr(i, 2)) : hexValue(digits[i]);
  return ~sum & 0xFF;
}

std::string dataRecord(std::string_view line) {
  const std::string_view digits = recordDigits(line);
  const int count = static_cast<int>((digits.size() + 1) / 2);
  char head[8], tail[8];
  std::snprintf(head, sizeof head, "%c%02X00", f::STX, count & 0xFF);
  std::snprintf(tail, sizeof tail, "%02X%c", recordChecksum(count, digits), f::ETX);
  std::string record;
  record.reserve(digits.size() + 8);
  record += head;
  record += digits;
  record += tail;
  return record;
}

std::string_view recordProblemText(RecordProblem problem) {
  switch (problem) {
    case RecordProblem::None: return "it is good";
    case RecordProblem::Frame: return "it is not framed as a record";
    case RecordProblem::NotHex: return "it holds bytes that are no hexadecimal digits";
    case RecordProblem::Type: return "it is not a data record";
    case RecordProblem::Count: return "its byte count does not match its data";
    case RecordProblem::Checksum: return "its checksum does not match its data";
  }
  return "?";
}

RecordCheck checkDataRecord(std::string_view record) {
  RecordCheck r;
  if (record.size() < 8 || record.front() != f::STX || record.back() != f::ETX) {
    r.problem = RecordProblem::Frame;
    return r;
  }
  const std::string_view body = record.substr(1, record.size() - 2);
  for (char c : body) {
    if (hexValue(c) < 0) {
      r.problem = RecordProblem::NotHex;
      return r;
    }
  }
  const int count = byteAt(body);
  const std::string_view data = body.substr(4, body.size() - 6);
  if (body.substr(2, 2) != "00") r.problem = RecordProblem::Type;
  else if (static_cast<size_t>(count) != (data.size() + 1) / 2) r.problem = RecordProblem::Count;
  else if (recordChecksum(count, data) != byteAt(body.substr(body.size() - 2))) r.problem = RecordProblem::Checksum;
  else r.data = std::string(data);
  return r;
}

std::string progressMarks(std::size_t n, char mark) {
  return n == 0 ? std::string() : std::string((n - 1) % 11 + 1, mark);
}

}  // namespace zar::plc
