#include "update/description.h"

// As in the settings store: SimpleIni's char interface with UTF-8 bytes kept as they are (the
// Debian header needs SI_IMPLEMENTATION for its template bodies).
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cstdlib>

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
  CSimpleIniA ini;
  if (ini.LoadFile(path.c_str()) < 0) return std::nullopt;
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
