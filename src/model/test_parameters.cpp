#include "model/test_parameters.h"

#include "foundation/settings.h"

namespace nord5 {

const std::vector<std::string>& TestParameterItems() {
  static const std::vector<std::string> items{
      "write mask",           "model modification",    "primary mbus address",
      "device id",            "current time",          "energy volume counters",
      "calc configuration",   "tariff counters",       "tariff configuration",
      "pio counters",         "pio configuration",     "lcd  configuration",
      "set day configuration", "archive configuration", "ene unit configuration",
      "nowa configuration"};
  return items;
}

void StoreTestParameters(const FormView& form, std::uint16_t& destination) {
  unsigned mask = 0;
  const int count = static_cast<int>(form.Items(kTestParameterList).size());
  for (int i = 0; i < count && i < 16; ++i)
    if (form.ItemChecked(kTestParameterList, i)) mask |= 1u << i;
  destination = static_cast<std::uint16_t>(mask);
}

void TestParametersClick(const FormView& form) {
  std::uint16_t mask = 0;
  StoreTestParameters(form, mask);
  SettingsValue(SettingsMode::Write, kTestParameterList, static_cast<int>(mask));
}

void InstallTestParameterHandlers(FormView& form) {
  FormView* f = &form;
  form.SetHandler(kTestParameterList, [f] { TestParametersClick(*f); });
}

}  // namespace nord5
