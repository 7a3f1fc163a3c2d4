#include "sim/frame_reassembler.h"

#include "foundation/crc.h"
#include "sim/telegram.h"

namespace nord5::sim {
namespace {

enum class Scan { Frame, NeedMore, NotHere };

// What begins at p[0]: a complete good frame (length in `len`), the start of one that is not
// complete yet, or nothing.
Scan ScanAt(const std::uint8_t* p, std::size_t n, std::size_t& len) {
  if (p[0] == kStart10) {
    if (n < 5) return Scan::NeedMore;
    if (p[4] != kStop || Checksum8(p + 1, 2) != p[3]) return Scan::NotHere;
    len = 5;
    return Scan::Frame;
  }
  if (p[0] == kStart68) {
    if (n < 4) {
      if (n >= 3 && p[1] != p[2]) return Scan::NotHere;
      return Scan::NeedMore;
    }
    if (p[1] != p[2] || p[3] != kStart68 || p[1] < 3) return Scan::NotHere;
    const std::size_t total = static_cast<std::size_t>(p[1]) + 6;
    if (n < total) return Scan::NeedMore;
    if (p[total - 1] != kStop || Checksum8(p + 4, p[1]) != p[total - 2]) return Scan::NotHere;
    len = total;
    return Scan::Frame;
  }
  return Scan::NotHere;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> FrameReassembler::Feed(const std::uint8_t* bytes,
                                                                std::size_t n) {
  std::vector<std::vector<std::uint8_t>> frames;
  if (n == 0) return frames;
  pending_.insert(pending_.end(), bytes, bytes + n);
  std::size_t i = 0;
  while (i < pending_.size()) {
    std::size_t len = 0;
    const Scan s = ScanAt(pending_.data() + i, pending_.size() - i, len);
    if (s == Scan::NeedMore) break;
    if (s == Scan::NotHere) {
      ++i;
      continue;
    }
    frames.emplace_back(pending_.begin() + static_cast<std::ptrdiff_t>(i),
                        pending_.begin() + static_cast<std::ptrdiff_t>(i + len));
    i += len;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(i));
  // A frame is never longer than kMaxFrame, so more than that waiting is not one frame.
  if (pending_.size() > kMaxFrame) pending_.erase(pending_.begin());
  return frames;
}

}  // namespace nord5::sim
