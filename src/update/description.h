// The update description: an INI file with one section "Program" that names the newest
// program version, its file and the help files.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace nord5::update {

struct UpdateDescription {
  std::string Version;
  std::string FileName;  // empty: no program offered
  std::string LinkFileName;
  std::string UpdateDescriptionFile;  // release notes; empty: none
  std::string LinkUpdateDescriptionFile;
  std::string Signature;  // base64 Ed25519 signature of the program file
  // Help files in the order LT, EN, RU.
  std::array<long, 3> HelpFileVersion{};
  std::array<std::string, 3> HelpFile;
  std::array<std::string, 3> LinkHelpFile;
};

inline constexpr std::array<const char*, 3> kHelpLanguages = {"LT", "EN", "RU"};

// A name that stays inside the folder it is joined to: not empty, no '/' or '\', not "." or
// "..", no control characters.
bool IsPlainFileName(std::string_view name);

// Reads the description; nullopt when the file cannot be read as INI. Missing texts are empty,
// missing or malformed numbers 0. File names that are not plain file names are dropped (empty),
// so that nothing is ever written outside the update and data folders.
std::optional<UpdateDescription> ReadUpdateDescription(const std::string& path);

}  // namespace nord5::update
