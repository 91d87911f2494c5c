#pragma once
// Converted NC blocks: one fixed-size record per executable step of the
// path simulator (a motion, a mode change, a dwell, an I/O action, a jump,
// a call or an end), and the list that holds up to 6000 of them.

#include <cstdint>
#include <vector>

namespace zar::sim {

// Result of every conversion step.
enum ConvertStatus : int {
  csSuccess = 240,        // 0xF0
  csListFull = 252,       // 0xFC, message 247
  csUnknownWord = 253,    // 0xFD, message 248
  csMalformedWord = 254,  // 0xFE, message 249
};

// Catalog message shown for a failing status (status - 5).
constexpr int messageForStatus(int status) { return status - 5; }

// Word mask bits (BlockRecord::MX, and AS for indirect values).
enum WordMask : std::uint8_t {
  mxX = 0x01, mxY = 0x02, mxZ = 0x04, mxU = 0x08,
  mxI = 0x10, mxJ = 0x20, mxK = 0x40, mxR = 0x80,
};

// Command codes (BlockRecord::C). G codes are their decimal digits read as
// hexadecimal; M0..M4 are 0x30 + n.
enum BlockCode : std::uint8_t {
  bcG00 = 0x00, bcG01 = 0x01, bcG02 = 0x02, bcG03 = 0x03, bcG04 = 0x04,
  bcG07 = 0x07, bcG08 = 0x08,
  bcG17 = 0x17, bcG18 = 0x18, bcG19 = 0x19, bcG20 = 0x20, bcG21 = 0x21,
  bcG26 = 0x26, bcG27 = 0x27, bcG28 = 0x28,
  bcHeaderMPF = 0x2A, bcHeaderSPF = 0x2B,
  bcM00 = 0x30, bcM02 = 0x32, bcM03 = 0x33, bcM04 = 0x34, bcM30 = 0x3A,
  bcAt = 0x40,
  bcG50 = 0x50,
  bcG60 = 0x60, bcG61 = 0x61, bcG62 = 0x62, bcG63 = 0x63,
  bcG64 = 0x64, bcG65 = 0x65, bcG66 = 0x66, bcG67 = 0x67,
  bcFeed = 0x80,
  bcG02R = 0x82, bcG03R = 0x83,  // arcs given by a radius (in I, MX bit 0x80)
  bcLWord = 0x84,
  bcInput = 0x8A, bcOutput = 0x8B,
  bcSpindle = 0x8F,
  bcG90 = 0x90, bcG91 = 0x91, bcG92 = 0x92,
  bcM95 = 0x95, bcM96 = 0x96, bcM97 = 0x97, bcM98 = 0x98, bcM99 = 0x99,
  bcVariable = 0xAA,
};

// One converted block. Values are stored as written, in program units.
// Integer parameters (program numbers, I/O numbers, counts, target lines)
// are whole numbers held in the float fields.
struct BlockRecord {
  std::uint8_t C = 0;   // command code
  std::uint8_t AS = 0;  // indirect-value flags; for G60..G67 the parameter letter
  std::uint8_t MX = 0;  // word mask: which value fields were given
  double X = 0.0;
  double Y = 0.0;
  double Z = 0.0;
  double U = 0.0;
  double I = 0.0;  // also an arc radius R (with MX bit mxR)
  double J = 0.0;
  double K = 0.0;
  double F = 0.0;
  std::int32_t N = 0;  // source line index, from 0
  std::int32_t B = 0;  // copy of N, shown by the dump
  std::uint8_t Skip = 0;  // 1 when the word followed a "/" block-skip mark
};

// The converted program: up to 6000 records addressed by position. The
// simulator reads and updates it in place (jump, loop and call counters).
class BlockList {
 public:
  static constexpr int kCapacity = 6000;
  // Appending the record that brings the count here reports csListFull.
  static constexpr int kFullCount = 5999;

  BlockList() : records_(kCapacity) {}

  int count() const { return count_; }
  bool empty() const { return count_ == 0; }
  void clear() { count_ = 0; }

  BlockRecord& operator[](int index) { return records_[static_cast<std::size_t>(index)]; }
  const BlockRecord& operator[](int index) const { return records_[static_cast<std::size_t>(index)]; }

  BlockRecord* begin() { return records_.data(); }
  BlockRecord* end() { return records_.data() + count_; }
  const BlockRecord* begin() const { return records_.data(); }
  const BlockRecord* end() const { return records_.data() + count_; }

  // Copies the record to the end of the list: csSuccess, or csListFull when
  // the count reaches kFullCount (the record is kept) or the list is full.
  int AppendBlock(const BlockRecord& record) {
    if (count_ >= kCapacity) return csListFull;
    records_[static_cast<std::size_t>(count_++)] = record;
    return count_ >= kFullCount ? csListFull : csSuccess;
  }

 private:
  std::vector<BlockRecord> records_;
  int count_ = 0;
};

}  // namespace zar::sim
