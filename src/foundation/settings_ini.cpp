#include "foundation/settings_ini.h"

namespace nord5 {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Blanks around names and values; a NUL byte left by a damaged write counts as one, so that it
// never hides the section or key beside it.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\0'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

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

IniText::Line IniText::Classify(std::string raw, std::string end, bool first) {
  Line line;
  line.raw = std::move(raw);
  line.end = std::move(end);
  std::string_view s = line.raw;
  if (first && s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);  // UTF-8 byte order mark
  const std::string_view t = Trim(s);
  if (t.empty()) {
    line.kind = Kind::Blank;
  } else if (t.front() == ';' || t.front() == '#') {
    line.kind = Kind::Comment;
  } else if (t.front() == '[') {
    // A section line without its "]" (a cut-off write) is kept as it is, but opens no section:
    // the keys below it stay where they were.
    const std::size_t close = t.find(']');
    if (close != std::string_view::npos) {
      line.kind = Kind::Section;
      line.name = std::string(Trim(t.substr(1, close - 1)));
    }
  } else if (const std::size_t eq = t.find('='); eq != std::string_view::npos && eq > 0) {
    const std::string_view key = Trim(t.substr(0, eq));
    if (!key.empty()) {
      line.kind = Kind::Key;
      line.name = std::string(key);
      // The value starts behind "=" and its blanks; a new value replaces the rest of the line.
      std::size_t at = static_cast<std::size_t>(t.data() - line.raw.data()) + eq + 1;
      while (at < line.raw.size() && (line.raw[at] == ' ' || line.raw[at] == '\t')) ++at;
      line.value_at = at;
      line.value = std::string(Trim(t.substr(eq + 1)));
    }
  }
  return line;
}

IniText::IniText(std::string_view text) {
  bool have_newline = false;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t nl = text.find('\n', start);
    std::string raw(text.substr(start, nl == std::string_view::npos ? text.size() - start
                                                                    : nl - start));
    std::string end;
    if (nl != std::string_view::npos) {
      end = "\n";
      if (!raw.empty() && raw.back() == '\r') {
        raw.pop_back();
        end = "\r\n";
      }
      if (!have_newline) {
        newline_ = end;
        have_newline = true;
      }
    }
    lines_.push_back(Classify(std::move(raw), std::move(end), lines_.empty()));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  Index();
}

void IniText::Index() {
  std::size_t section = kNone;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::Section) section = i;
    lines_[i].section = section;
  }
}

std::size_t IniText::FindKey(std::string_view section, std::string_view key) const {
  for (std::size_t i = lines_.size(); i-- > 0;) {
    const Line& l = lines_[i];
    if (l.kind != Kind::Key || !SameName(l.name, key)) continue;
    const std::string_view in = l.section == kNone ? std::string_view() : lines_[l.section].name;
    if (SameName(in, section)) return i;
  }
  return kNone;
}

std::optional<std::string> IniText::Get(std::string_view section, std::string_view key) const {
  const std::size_t i = FindKey(section, key);
  if (i == kNone) return std::nullopt;
  return lines_[i].value;
}

void IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (const std::size_t i = FindKey(section, key); i != kNone) {
    Line& l = lines_[i];
    l.raw = l.raw.substr(0, l.value_at) + std::string(value);
    l.value = std::string(Trim(value));
    return;
  }
  // Behind the last key (or other content) of the section's last occurrence: comments and blank
  // lines below it belong to what follows.
  std::size_t header = kNone;
  for (std::size_t i = lines_.size(); i-- > 0;)
    if (lines_[i].kind == Kind::Section && SameName(lines_[i].name, section)) {
      header = i;
      break;
    }
  const std::string line = std::string(key) + "=" + std::string(value);
  if (header != kNone) {
    std::size_t at = header + 1;
    for (std::size_t i = header + 1; i < lines_.size() && lines_[i].section == header; ++i)
      if (lines_[i].kind == Kind::Key || lines_[i].kind == Kind::Other) at = i + 1;
    if (at == lines_.size() && !lines_.empty() && lines_.back().end.empty())
      lines_.back().end = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  Classify(line, newline_, false));
    Index();
    return;
  }
  bool content = false;
  for (const Line& l : lines_) content = content || l.kind != Kind::Blank;
  if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = newline_;
  if (content && lines_.back().kind != Kind::Blank) lines_.push_back(Classify("", newline_, false));
  lines_.push_back(Classify("[" + std::string(section) + "]", newline_, lines_.empty()));
  lines_.push_back(Classify(line, newline_, false));
  Index();
}

std::string IniText::Text() const {
  std::string out;
  for (const Line& l : lines_) {
    out += l.raw;
    out += l.end;
  }
  return out;
}

}  // namespace nord5
