#include "files/menu_file.h"

// The char interface keeps the bytes as they are; the generic converter needs a header Debian
// does not ship. The Debian header keeps the template bodies behind SI_IMPLEMENTATION.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "foundation/atomic_file.h"
#include "foundation/number_format.h"
#include "foundation/settings.h"
#include "model/lcd_menu.h"
#include "model/texts.h"

namespace nord5 {
namespace {

constexpr const char* kSection = "Menu";
constexpr const char* kMaskKey = "Mask";
constexpr const char* kFolderKey = "MenuFilePath";

const char* BoolText(bool v) { return v ? "True" : "False"; }

// "True"/"False" in any case, or a number (0 is false).
std::optional<bool> ParseBool(std::string_view text) {
  std::string t(text);
  std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
  if (t == "true") return true;
  if (t == "false") return false;
  if (const auto n = ParseInt(text)) return *n != 0;
  return std::nullopt;
}

std::string Trimmed(std::string s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  return s.substr(i);
}

// The INI reader trims blanks around keys, so "2.31 Dept 2 Month " is found under its trimmed
// form as well.
const char* Lookup(const CSimpleIniA& ini, const std::string& key) {
  if (const char* v = ini.GetValue(kSection, key.c_str(), nullptr)) return v;
  const std::string trimmed = Trimmed(key);
  if (trimmed != key) return ini.GetValue(kSection, trimmed.c_str(), nullptr);
  return nullptr;
}

// A menu file holds about eighty short lines; anything much larger is no menu file.
constexpr std::size_t kMaxMenuFileBytes = 1u << 20;

// The text as the INI reader can take it without losing or gluing lines: it stops at a NUL byte,
// and it reads a section line without its "]" together with the next line as one section name,
// which every store would write back longer. NUL bytes are left out and such lines dropped; the
// other lines stay.
std::string Readable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  while (start < text.size()) {
    // A line ends with "\r\n", "\n" or a lone "\r", as the reader sees it.
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::size_t next = end;
    if (next < text.size()) next += text.substr(next, 2) == "\r\n" ? 2 : 1;
    std::string line;
    for (char c : text.substr(start, end - start))
      if (c != '\0') line += c;
    const std::size_t first = line.find_first_not_of(" \t");
    const bool cut_section = first != std::string::npos && line[first] == '[' &&
                             line.find(']', first) == std::string::npos;
    if (!cut_section) {
      out += line;
      out.append(text.substr(end, next - end));
    }
    start = next;
  }
  return out;
}

// The file as an INI document; a missing or unreadable file, or one that is no regular file (a
// FIFO or a device would block, a folder cannot be read), reads as an empty document.
void LoadDocument(CSimpleIniA& ini, const std::string& path) {
  ini.SetUnicode(false);
  ini.SetMultiKey(false);
  ini.SetSpaces(false);
  const auto text = ReadRegularFile(path, kMaxMenuFileBytes);
  if (!text || ini.LoadData(Readable(*text)) < 0) ini.Reset();
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

FileDialogRequest Request(bool save) {
  FileDialogRequest r;
  r.Save = save;
  r.Title = save ? "Store menu file" : "Load menu file";
  r.Folder = SettingsValue(SettingsMode::Read, kFolderKey, ProgramFolder().c_str()).Text();
  r.Filter = save ? "Meter menu files (*.meterMenu)|*.meterMenu|All files (*.*)|*.*"
                  : "Menu files (*.meterMenu)|*.meterMenu|All files (*.*)|*.*";
  r.DefaultExt = "meterMenu";
  return r;
}

}  // namespace

bool StoreMenuFile(const FormView& form, const std::string& path) {
  CSimpleIniA ini;
  LoadDocument(ini, path);
  // Our keys are written afresh, so that a file stored over keeps their order ("Mask", then the
  // items in item order): updated in place, the caption that ends in a blank, which the reader
  // trims, would be added anew behind "3.32 ------". Other keys of the section stay.
  ini.Delete(kSection, kMaskKey);
  for (const auto& m : MenuItems()) {
    const std::string key = m.caption;
    const std::string trimmed = Trimmed(key);
    ini.Delete(kSection, key.c_str());
    if (trimmed != key) ini.Delete(kSection, trimmed.c_str());
  }
  // All sixteen lock boxes write under the one key, so the last one's state is what stays.
  for (int i = 1; i <= kMenuLockBoxCount; ++i)
    ini.SetValue(kSection, kMaskKey, BoolText(form.Checked(MenuLockBoxName(i))));
  for (const auto& m : MenuItems())
    ini.SetValue(kSection, m.caption, BoolText(form.Checked(m.Name())));
  std::string text;
  if (ini.Save(text) < 0) return false;
  return WriteFileAtomically(path, text.data(), text.size());
}

bool LoadMenuFile(FormView& form, MeterImage& image, const std::string& path) {
  CSimpleIniA ini;
  LoadDocument(ini, path);
  auto read = [&](const std::string& key) -> std::optional<bool> {
    const char* v = Lookup(ini, key);
    return ParseBool(v ? v : "True");
  };
  const auto mask = read(kMaskKey);
  if (!mask) return false;
  for (int i = 1; i <= kMenuLockBoxCount; ++i) form.SetChecked(MenuLockBoxName(i), *mask);
  for (const auto& m : MenuItems()) {
    const auto on = read(m.caption);
    if (!on) return false;
    form.SetChecked(m.Name(), *on);
  }
  WriteMenuMask(image, kCfgMenuManufacturerMask, MenuMask{});
  RebuildUserMenuMask(form, image);
  return true;
}

void StoreMenuAction(const FormView& form, Dialogs& dialogs) {
  const auto chosen = dialogs.FileDialog(Request(true));
  if (!chosen) return;
  const std::string& path = chosen->Path;
  if (FileExists(path)) {
    const int n = std::snprintf(nullptr, 0, texts::kFileExists, path.c_str());
    std::string q(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    std::snprintf(q.data(), q.size() + 1, texts::kFileExists, path.c_str());
    if (!dialogs.AskYesNo(q)) return;
  }
  StoreMenuFile(form, path);
  SettingsValue(SettingsMode::Write, kFolderKey, FolderOf(path).c_str());
}

void LoadMenuAction(FormView& form, MeterImage& image, Dialogs& dialogs) {
  const auto chosen = dialogs.FileDialog(Request(false));
  if (!chosen) return;
  LoadMenuFile(form, image, chosen->Path);
  SettingsValue(SettingsMode::Write, kFolderKey, FolderOf(chosen->Path).c_str());
}

}  // namespace nord5
