// libFuzzer target: arbitrary bytes as a settings file. The text reads back as it was; a write
// changes nothing but its key's line, reads back what was written (also after parsing the new
// text again), leaves the values of the other keys as they were, and a second identical write
// leaves the text as the first did.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/settings_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using nord5::IniText;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const IniText ini(text);
  if (ini.Text() != text) __builtin_trap();

  struct Key {
    const char* section;
    const char* key;
  };
  const Key keys[] = {{"Program settings", "MBusAddress"}, {"Program settings", "Left"},
                      {"COMSettings", "Port"},             {"Menu", "Mask"}};
  for (const Key& target : keys) {
    IniText changed(text);
    changed.Set(target.section, target.key, "v=1 x");
    const std::string once = changed.Text();
    const IniText reread(once);
    for (const Key& other : keys) {
      const auto got = reread.Get(other.section, other.key);
      if (&other == &target) {
        if (!got || *got != "v=1 x") __builtin_trap();
      } else if (got != ini.Get(other.section, other.key)) {
        __builtin_trap();  // another key's value changed
      }
    }
    changed.Set(target.section, target.key, "v=1 x");
    if (changed.Text() != once) __builtin_trap();  // the file grows with every write
  }
  return 0;
}
