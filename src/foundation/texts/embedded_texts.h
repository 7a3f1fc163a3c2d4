// The table of built-in texts that the build generates from the files in resources/.
#pragma once

#include <cstddef>
#include <span>

namespace nord5::texts {

struct EmbeddedText {
  const char* name;           // file name without extension, e.g. "REPORT"
  const unsigned char* data;  // UTF-16LE with byte order mark
  std::size_t size;           // in bytes
};

// Defined in the generated source.
std::span<const EmbeddedText> EmbeddedTexts();

}  // namespace nord5::texts
