#include "foundation/settings.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

#include "foundation/atomic_file.h"
#include "foundation/form_view.h"
#include "foundation/number_format.h"
#include "foundation/settings_ini.h"

namespace nord5 {

// Test seam: runs after the new settings text is written and flushed to the temporary file and
// before that file replaces the settings file. Returning false aborts the write there, as a
// crash at that moment would (the temporary file is removed, the old file stays). A hook that
// ends the process shows what a real crash leaves behind. An empty function removes the hook.
void SetSettingsWriteHookForTesting(std::function<bool(const std::string& temp_path)> hook);

namespace {

constexpr std::size_t kMaxEncodedBytes = 1000;
constexpr std::string_view kFolderName = "VARMELINOX_NORD5_User_config/";
constexpr std::string_view kFileName = "VARMELINOX_NORD5_User_config.ini";

// One lock for every access, so that the update worker and the window thread never interleave
// their read-modify-write cycles on the file.
std::mutex& StoreMutex() {
  static std::mutex m;
  return m;
}

// Guarded by StoreMutex().
std::string& SettingsFileOverride() {
  static std::string path;
  return path;
}
std::function<bool(const std::string&)>& WriteHook() {
  static std::function<bool(const std::string&)> hook;
  return hook;
}

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not a valid one.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return 1;
  std::size_t len;
  std::uint32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0Fu;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07u;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return len;
}

// Text as valid UTF-8: every byte that does not start a valid sequence becomes U+FFFD.
std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = Utf8SequenceLength(s, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s, i, len);
      i += len;
    }
  }
  return out;
}

// A section, key or value as it goes into the file: valid UTF-8, one line (an INI line cannot
// hold a line break; text after it would turn into keys of its own), at most 1000 bytes cut at
// the end of the last whole character that fits.
std::string Encode(std::string_view text) {
  std::string s = ValidUtf8(text);
  const std::size_t line_end = s.find_first_of("\r\n");
  if (line_end != std::string::npos) s.resize(line_end);
  if (s.size() > kMaxEncodedBytes) {
    std::size_t cut = kMaxEncodedBytes;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    s.resize(cut);
  }
  return s;
}

std::string DefaultText(const SettingsDefault& def) {
  if (const auto* text = std::get_if<std::string>(&def)) return *text;
  if (const auto* number = std::get_if<std::int64_t>(&def)) return std::to_string(*number);
  return std::get<bool>(def) ? "True" : "False";
}

std::optional<bool> BoolFromText(std::string_view text) {
  auto equals_ignoring_case = [](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      char c = a[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != b[i]) return false;
    }
    return true;
  };
  std::string_view t = text;
  while (!t.empty() && static_cast<unsigned char>(t.front()) <= ' ') t.remove_prefix(1);
  while (!t.empty() && static_cast<unsigned char>(t.back()) <= ' ') t.remove_suffix(1);
  if (equals_ignoring_case(t, "true")) return true;
  if (equals_ignoring_case(t, "false")) return false;
  if (const auto number = ParseFloat(t)) return *number != 0.0;
  return std::nullopt;
}

// A settings file larger than this is no settings file (the program's own stays below a few
// kilobytes); it is neither read nor rewritten.
constexpr std::size_t kMaxSettingsFileBytes = 16u << 20;

// The file as it is now: its text (empty when it does not exist yet). Nothing when it exists but
// cannot be read, or is no regular file (a FIFO or a device would block the program, a folder
// cannot be replaced); then it must not be rewritten either.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  FileReadError error = FileReadError::None;
  auto text = ReadRegularFile(path, kMaxSettingsFileBytes, &error);
  if (!text && error == FileReadError::Missing) return std::string();
  return text;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
    return pw->pw_dir;
  return {};
}

// The settings file path; the caller holds the store lock.
std::string SettingsFileLocked() {
  if (!SettingsFileOverride().empty()) return SettingsFileOverride();
  return DataFolder() + std::string(kFileName);
}

// One access, with the store lock held. `read_failed_value` receives the text to give back
// when a read cannot complete: the default, so that the program runs on its defaults when the
// file cannot be read or written.
SettingsResult Access(SettingsMode mode, const std::string& section, const std::string& key,
                      const std::string& value, const std::string& path) {
  const SettingsResult failed = mode == SettingsMode::Read ? SettingsResult(value)
                                                           : SettingsResult();
  if (path.empty() || section.empty() || key.empty()) return failed;

  const std::optional<std::string> content = ReadWholeFile(path);
  if (!content) return failed;
  // Line by line, so that a write changes the one line of its key and nothing else: a damaged
  // line, a comment or a line this program does not understand stays as it is.
  IniText ini(*content);
  if (mode == SettingsMode::Read) {
    if (const auto stored = ini.Get(section, key)) return SettingsResult(ValidUtf8(*stored));
  }
  ini.Set(section, key, value);
  const std::string text = ini.Text();
  if (!WriteFileAtomically(path, text.data(), text.size(), WriteHook())) return failed;
  return SettingsResult(value);
}

}  // namespace

void SetSettingsWriteHookForTesting(std::function<bool(const std::string& temp_path)> hook) {
  std::lock_guard lock(StoreMutex());
  WriteHook() = std::move(hook);
}

std::int64_t SettingsResult::AsInt() const {
  const auto number = ParseInt(text_);
  return number ? static_cast<std::int64_t>(*number) : 0;
}

bool SettingsResult::AsBool() const { return BoolFromText(text_).value_or(false); }

bool SettingsResult::IsInteger() const { return ParseInt(text_).has_value(); }

SettingsResult SettingsValue(SettingsMode mode, std::string_view key, const SettingsDefault& def,
                             std::string_view section, std::string_view file) {
  // The one place where settings failures are swallowed: nothing of them reaches the user.
  try {
    const std::string encoded_section = Encode(section);
    const std::string encoded_key = Encode(key);
    const std::string encoded_value = Encode(DefaultText(def));
    std::lock_guard lock(StoreMutex());
    const std::string path = file.empty() ? SettingsFileLocked() : std::string(file);
    return Access(mode, encoded_section, encoded_key, encoded_value, path);
  } catch (const std::exception&) {
    return SettingsResult();
  }
}

void PersistControlValue(SettingsMode mode, FormView& form, std::string_view control,
                         std::string_view section, std::string_view file) {
  // Sets the control's new state with its handler detached and then runs the handler once, so
  // that it runs exactly once whether or not the state changed.
  auto apply = [&](const std::function<void()>& set) {
    {
      HandlerDetachGuard guard(form, {std::string(control)});
      set();
    }
    form.FireHandler(control);
  };

  switch (form.Kind(control)) {
    case ControlKind::CheckBox: {
      const bool current = form.Checked(control);
      const SettingsResult r = SettingsValue(mode, control, SettingsDefault(current), section, file);
      if (mode != SettingsMode::Read) return;
      // Text that is no boolean keeps the check box as it is.
      const bool checked = BoolFromText(r.Text()).value_or(current);
      apply([&] { form.SetChecked(control, checked); });
      return;
    }
    case ControlKind::ComboBox: {
      const int current = form.ItemIndex(control);
      const SettingsResult r = SettingsValue(mode, control,
                                             SettingsDefault(static_cast<std::int64_t>(current)),
                                             section, file);
      if (mode != SettingsMode::Read) return;
      // A stored index that is no number or names no item (a hand-edited file, a list that got
      // shorter) keeps the current selection instead of leaving the list without one.
      int index = current;
      const auto stored = ParseInt(r.Text());
      const auto count = static_cast<long long>(form.Items(control).size());
      if (stored && *stored >= 0 && *stored < count) index = static_cast<int>(*stored);
      apply([&] { form.SetItemIndex(control, index); });
      return;
    }
    case ControlKind::Edit: {
      const std::string current = form.Text(control);
      const SettingsResult r = SettingsValue(mode, control, SettingsDefault(current), section, file);
      if (mode != SettingsMode::Read) return;
      apply([&] { form.SetText(control, r.Text()); });
      return;
    }
    default:
      return;  // labels, buttons and the like keep no state
  }
}

std::string DataFolder() {
  std::string base;
  // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else if (const std::string home = HomeFolder(); !home.empty()) {
    base = home + "/.local/share";
  }
  // Without any base folder the path begins with the separator.
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/" + std::string(kFolderName);
}

bool InitDataFolder() {
  std::error_code ec;
  const std::filesystem::path folder = DataFolder();
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

std::string SettingsFile() {
  std::lock_guard lock(StoreMutex());
  return SettingsFileLocked();
}

void SetSettingsFileForTesting(std::string path) {
  std::lock_guard lock(StoreMutex());
  SettingsFileOverride() = std::move(path);
}

}  // namespace nord5
