#include "update/description.h"

// As in the settings store: SimpleIni's char interface with UTF-8 bytes kept as they are (the
// Debian header needs SI_IMPLEMENTATION for its template bodies).
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cstdlib>

#include "foundation/atomic_file.h"

namespace nord5::update {

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

std::optional<UpdateDescription> ReadUpdateDescription(const std::string& path) {
  // Read through the regular-file check first: SimpleIni would take a folder's nonsense length
  // for the size of its buffer, and a FIFO would block the worker.
  constexpr std::size_t kMaxDescriptionBytes = 1 << 20;
  const std::optional<std::string> content = ReadRegularFile(path, kMaxDescriptionBytes);
  if (!content) return std::nullopt;
  CSimpleIniA ini;
  if (ini.LoadData(content->data(), content->size()) < 0) return std::nullopt;
  constexpr const char* kSection = "Program";
  auto text = [&ini](const std::string& key) {
    const char* v = ini.GetValue(kSection, key.c_str(), "");
    return std::string(v ? v : "");
  };
  auto number = [&text](const std::string& key) -> long {
    const std::string t = text(key);
    char* end = nullptr;
    const long v = std::strtol(t.c_str(), &end, 10);
    return (t.empty() || *end != '\0') ? 0 : v;
  };
  auto plain = [&text](const std::string& key) {
    std::string v = text(key);
    return IsPlainFileName(v) ? v : std::string();
  };
  UpdateDescription d;
  d.Version = text("Version");
  d.FileName = plain("FileName");
  d.LinkFileName = text("LinkFileName");
  d.UpdateDescriptionFile = plain("UpdateDescriptionFile");
  d.LinkUpdateDescriptionFile = text("LinkUpdateDescriptionFile");
  d.Signature = text("Signature");
  for (std::size_t i = 0; i < kHelpLanguages.size(); ++i) {
    const std::string lang = kHelpLanguages[i];
    d.HelpFileVersion[i] = number("HelpFileVersion" + lang);
    d.HelpFile[i] = plain("HelpFile" + lang);
    d.LinkHelpFile[i] = text("LinkHelpFile" + lang);
  }
  return d;
}

}  // namespace nord5::update
