// The settings store: one INI file, opened, read or written and closed again for every value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace nord5 {

class FormView;

enum class SettingsMode : std::uint8_t { Read = 0, Write = 1 };

// A value as stored (always text in the file). Conversions never throw: text that is not a number
// converts to 0, booleans accept "True"/"False" (any case) and numbers (0 is false).
class SettingsResult {
 public:
  SettingsResult() = default;
  explicit SettingsResult(std::string text) : text_(std::move(text)) {}
  const std::string& Text() const { return text_; }
  std::int64_t AsInt() const;
  bool AsBool() const;
  bool IsInteger() const;  // the text is a decimal integer

 private:
  std::string text_;
};

using SettingsDefault = std::variant<std::string, std::int64_t, bool>;

// Section names used by the program.
inline constexpr std::string_view kProgramSettings = "Program settings";
inline constexpr std::string_view kComSettings = "COMSettings";

// Reads `key` (writing `def` when the key is missing) or writes `def`; returns the value now in
// force. `file` empty means the settings file. Any failure is swallowed and gives an empty result.
SettingsResult SettingsValue(SettingsMode mode, std::string_view key, const SettingsDefault& def,
                             std::string_view section = kProgramSettings,
                             std::string_view file = {});

// Overloads so that string literals and plain ints pick the right default type.
inline SettingsResult SettingsValue(SettingsMode mode, std::string_view key, const char* def,
                                    std::string_view section = kProgramSettings,
                                    std::string_view file = {}) {
  return SettingsValue(mode, key, SettingsDefault(std::string(def)), section, file);
}
inline SettingsResult SettingsValue(SettingsMode mode, std::string_view key, int def,
                                    std::string_view section = kProgramSettings,
                                    std::string_view file = {}) {
  return SettingsValue(mode, key, SettingsDefault(static_cast<std::int64_t>(def)), section, file);
}

// Reads or writes the state of one control under its component name (check box: checked state,
// drop-down list: selected index, text field: text; other kinds are ignored). After a read the
// control takes the value and its click or change handler runs once.
void PersistControlValue(SettingsMode mode, FormView& form, std::string_view control,
                         std::string_view section = kProgramSettings, std::string_view file = {});

// The data folder (always ending with '/'): $XDG_DATA_HOME (default ~/.local/share) followed by
// "VARMELINOX_NORD5_User_config/". Created with its parents by InitDataFolder().
std::string DataFolder();
bool InitDataFolder();
// The settings file: DataFolder() + "VARMELINOX_NORD5_User_config.ini", unless overridden
// (tests point it at a temporary file).
std::string SettingsFile();
void SetSettingsFileForTesting(std::string path);

}  // namespace nord5
