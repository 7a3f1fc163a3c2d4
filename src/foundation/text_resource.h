// Texts built into the program (the report template and the like), by name.
#pragma once

#include <string>
#include <string_view>

namespace nord5 {

// The built-in text `name` as UTF-8. The texts are stored as UTF-16 little-endian beginning
// with a byte order mark; the text ends at its first zero character. Names compare without
// regard to ASCII case. An unknown name gives an empty text.
std::string LoadTextResource(std::string_view name);

}  // namespace nord5
