// The settings file as text kept line by line. Setting a value rewrites the one line of its key
// (or adds one) and leaves every other line as it was, byte for byte: comments, blank lines,
// lines without "=", damaged lines (a section line without its "]", stray NUL bytes) and the
// line ends of the file. Names are found the way INI readers find them: sections and keys without
// regard to ASCII case, blanks around names and values ignored, the last of repeated keys wins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nord5 {

class IniText {
 public:
  explicit IniText(std::string_view text);

  // The value of `key` in `section`, or nothing when the key is not there.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Replaces the value on the key's line, or adds "key=value" behind the last key of the section,
  // or a new section at the end of the text. Neither name nor value may hold a line break.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  const std::string& Text() const { return text_; }

 private:
  enum class Kind : std::uint8_t { Blank, Comment, Section, Key, Other };
  // One line, as offsets into the text: no copy of it is made, so that a large damaged file costs
  // one pass over its bytes.
  struct Line {
    std::size_t begin = 0;     // first byte
    std::size_t end = 0;       // end of the content, before "\r\n" or "\n"
    std::size_t next = 0;      // first byte of the next line
    std::size_t name_at = 0, name_size = 0;    // section or key name, trimmed
    std::size_t value_at = 0, value_size = 0;  // a key's value, trimmed
    std::size_t replace_at = 0;  // a key's line: where a new value starts (behind "=" and blanks)
    std::size_t section = 0;     // index of the section line above (npos: before the first)
    Kind kind = Kind::Other;
  };
  void Parse();
  std::string_view Name(const Line& l) const { return {text_.data() + l.name_at, l.name_size}; }
  // The key's line, or npos.
  std::size_t FindKey(std::string_view section, std::string_view key) const;

  std::string text_;
  std::vector<Line> lines_;
  std::string newline_ = "\n";  // the line end the text uses, for lines added
};

}  // namespace nord5
