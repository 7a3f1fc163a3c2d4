#include "foundation/settings_ini.h"

namespace nord5 {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Blanks around names and values; a NUL byte left by a damaged write counts as one, so that it
// never hides the section or key beside it.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

IniText::IniText(std::string_view text) : text_(text) { Parse(); }

void IniText::Parse() {
  lines_.clear();
  const std::string_view all = text_;
  bool have_newline = false;
  std::size_t section = kNone;
  for (std::size_t start = 0; start < all.size();) {
    Line l;
    l.begin = start;
    const std::size_t nl = all.find('\n', start);
    l.end = nl == std::string_view::npos ? all.size() : nl;
    l.next = nl == std::string_view::npos ? all.size() : nl + 1;
    if (nl != std::string_view::npos && l.end > start && all[l.end - 1] == '\r') --l.end;
    if (!have_newline && nl != std::string_view::npos) {
      newline_ = l.end < nl ? "\r\n" : "\n";
      have_newline = true;
    }
    // Trimmed content; a UTF-8 byte order mark before the first line is no part of it.
    std::size_t b = l.begin, e = l.end;
    if (start == 0 && all.substr(0, 3) == "\xEF\xBB\xBF") b = 3 < e ? 3 : e;
    while (b < e && IsBlank(all[b])) ++b;
    while (e > b && IsBlank(all[e - 1])) --e;
    const std::string_view t = all.substr(b, e - b);
    auto trim = [&](std::size_t from, std::size_t to, std::size_t& at, std::size_t& size) {
      while (from < to && IsBlank(all[from])) ++from;
      while (to > from && IsBlank(all[to - 1])) --to;
      at = from;
      size = to - from;
    };
    if (t.empty()) {
      l.kind = Kind::Blank;
    } else if (t.front() == ';' || t.front() == '#') {
      l.kind = Kind::Comment;
    } else if (t.front() == '[') {
      // A section line without its "]" (a cut-off write) is kept as it is, but opens no section:
      // the keys below it stay where they were.
      if (const std::size_t close = t.find(']'); close != std::string_view::npos) {
        l.kind = Kind::Section;
        trim(b + 1, b + close, l.name_at, l.name_size);
      }
    } else if (const std::size_t eq = t.find('='); eq != std::string_view::npos) {
      trim(b, b + eq, l.name_at, l.name_size);
      if (l.name_size > 0) {
        l.kind = Kind::Key;
        trim(b + eq + 1, e, l.value_at, l.value_size);
        l.replace_at = b + eq + 1;
        while (l.replace_at < l.end && (all[l.replace_at] == ' ' || all[l.replace_at] == '\t'))
          ++l.replace_at;
      }
    }
    if (l.kind == Kind::Section) section = lines_.size();
    l.section = section;
    lines_.push_back(l);
    start = l.next;
  }
}

std::size_t IniText::FindKey(std::string_view section, std::string_view key) const {
  for (std::size_t i = lines_.size(); i-- > 0;) {
    const Line& l = lines_[i];
    if (l.kind != Kind::Key || !SameName(Name(l), key)) continue;
    const std::string_view in = l.section == kNone ? std::string_view() : Name(lines_[l.section]);
    if (SameName(in, section)) return i;
  }
  return kNone;
}

std::optional<std::string> IniText::Get(std::string_view section, std::string_view key) const {
  const std::size_t i = FindKey(section, key);
  if (i == kNone) return std::nullopt;
  return text_.substr(lines_[i].value_at, lines_[i].value_size);
}

void IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (const std::size_t i = FindKey(section, key); i != kNone) {
    const Line& l = lines_[i];
    text_.replace(l.replace_at, l.end - l.replace_at, value);
    Parse();
    return;
  }
  const std::string line = std::string(key) + "=" + std::string(value) + newline_;
  // A text whose last line has no line end gets one before anything is added behind it.
  auto ended = [this](std::size_t at) {
    if (at == text_.size() && !text_.empty() && text_.back() != '\n') {
      text_ += newline_;
      return text_.size();
    }
    return at;
  };
  // Behind the last key (or other content) of the section's last occurrence: comments and blank
  // lines below it belong to what follows.
  std::size_t header = kNone;
  for (std::size_t i = lines_.size(); i-- > 0;)
    if (lines_[i].kind == Kind::Section && SameName(Name(lines_[i]), section)) {
      header = i;
      break;
    }
  if (header != kNone) {
    std::size_t at = lines_[header].next;
    for (std::size_t i = header + 1; i < lines_.size() && lines_[i].section == header; ++i)
      if (lines_[i].kind == Kind::Key || lines_[i].kind == Kind::Other) at = lines_[i].next;
    at = ended(at);
    text_.insert(at, line);
    Parse();
    return;
  }
  bool content = false;
  for (const Line& l : lines_) content = content || l.kind != Kind::Blank;
  ended(text_.size());
  if (content && lines_.back().kind != Kind::Blank) text_ += newline_;
  text_ += "[" + std::string(section) + "]" + newline_ + line;
  Parse();
}

}  // namespace nord5
