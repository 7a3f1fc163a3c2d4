// The settings file as text kept line by line. Setting a value rewrites the one line of its key
// (or adds one) and leaves every other line as it was, byte for byte: comments, blank lines,
// lines without "=", damaged lines (a section line without its "]", stray NUL bytes) and the
// line ends of the file. Names are found the way INI readers find them: sections and keys without
// regard to ASCII case, blanks around names and values ignored, the last of repeated keys wins.
#pragma once

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

  std::string Text() const;

 private:
  enum class Kind { Blank, Comment, Section, Key, Other };
  struct Line {
    std::string raw;  // without its line end
    std::string end;  // "\n", "\r\n" or "" (the last line of a text without a final line end)
    Kind kind = Kind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // a key's value, trimmed
    std::size_t value_at = 0;  // where the value starts in `raw` (before its blanks)
    std::size_t section = 0;   // index of the section line above (npos: before the first)
  };
  static Line Classify(std::string raw, std::string end, bool first);
  void Index();
  // The key's line, or npos.
  std::size_t FindKey(std::string_view section, std::string_view key) const;

  std::vector<Line> lines_;
  std::string newline_ = "\n";  // the line end the text uses, for lines added
};

}  // namespace nord5
