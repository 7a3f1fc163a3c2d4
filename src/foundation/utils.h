// Small shared routines: the three-letter M-Bus manufacturer code and the window scale factor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nord5 {

// The manufacturer field of the M-Bus fixed header (EN 13757-3): three letters of five bits each,
// ((c1 & 1Fh) << 10) | ((c2 & 1Fh) << 5) | (c3 & 1Fh), bit 15 clear. Only the low five bits of a
// character count ("a" encodes like "A"); a missing character counts as 0.
// Example: "ZVQ" -> 6AD1h.
std::uint16_t EncodeManufacturer(std::string_view code);

// The three characters 40h + each five-bit field: 1..26 give "A".."Z", 0 gives '@'.
std::string DecodeManufacturer(std::uint16_t value);

// The percentage by which a window designed at 96 dpi is scaled on a screen of `dpi` dots per
// inch: 96 / dpi x 100, rounded to the nearest integer with halves to the even neighbour
// (96 -> 100, 120 -> 80, 144 -> 67). A screen that reports no sensible dpi (0 or less) gives 100.
int ScaleFormTo96Percent(int dpi);

}  // namespace nord5
