// Cuts the byte stream from the line into telegrams: short frames (10 C A CS 16) and long frames
// (68 L L 68 ... CS 16) with a right check sum. Noise, broken frames and stray bytes are skipped
// one byte at a time, so a good frame right behind garbage is still found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nord5::sim {

class FrameReassembler {
 public:
  // Adds bytes as they came from the line (any chunking) and returns the telegrams completed by
  // them, in order, each from its start byte to its stop byte.
  std::vector<std::vector<std::uint8_t>> Feed(const std::uint8_t* bytes, std::size_t n);
  // Forgets a partly received frame (after a long silence on the line).
  void Reset() { pending_.clear(); }
  // Bytes held back because they may begin a frame.
  std::size_t Pending() const { return pending_.size(); }

 private:
  std::vector<std::uint8_t> pending_;
};

}  // namespace nord5::sim
