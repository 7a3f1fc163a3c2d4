// Texts built into the program (the report template and the like), by name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nord5 {

// The built-in text `name` as UTF-8. The texts are stored as UTF-16 little-endian beginning
// with a byte order mark; the text ends at its first zero character. Names compare without
// regard to ASCII case. An unknown name gives an empty text.
std::string LoadTextResource(std::string_view name);

// UTF-16 little-endian bytes (a leading byte order mark is skipped) as UTF-8, up to the first zero
// character. A lone surrogate becomes U+FFFD; an odd last byte is ignored.
std::string DecodeUtf16Le(const unsigned char* data, std::size_t size);

}  // namespace nord5
