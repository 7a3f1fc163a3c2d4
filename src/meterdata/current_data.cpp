#include "meterdata/current_data.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace nord5 {

bool HeaderMatches(std::span<const std::uint8_t> header, const HeaderPattern& pattern) {
  if (pattern.Size == 0 || header.size() < pattern.Size) return false;
  return std::equal(pattern.View().begin(), pattern.View().end(), header.begin());
}

const CurrentDataRule* MatchCurrentDataRule(std::span<const std::uint8_t> header) {
  for (const CurrentDataRule& rule : kCurrentDataRules)
    if (HeaderMatches(header, rule.First) || HeaderMatches(header, rule.Second)) return &rule;
  return nullptr;
}

bool DecodingCurrentMeterData(FormView& form, std::int32_t ID, std::int32_t MBusA,
                              const TFullRecord& DR) {
  char id_text[16];
  std::snprintf(id_text, sizeof id_text, "%08u", static_cast<std::uint32_t>(ID));
  form.SetText("textActDeviceID", id_text);
  form.SetText("textActMBusAddr", std::to_string(MBusA));
  for (int i = 0; i < DR.Count; ++i) {
    const TTableRecord& r = DR.Rec[i];
    const CurrentDataRule* rule = MatchCurrentDataRule(r.iDIF);
    if (!rule) continue;
    std::string text = VariantToText(r.Value);
    if (rule->WithUnits) text += ", " + r.Units;
    form.SetText(rule->Field, text);
  }
  return true;
}

DecodedDataHandler CurrentMeterDataHandler(FormView& form) {
  return [&form](std::int32_t ID, std::int32_t MBusA, const TFullRecord& DR) {
    return DecodingCurrentMeterData(form, ID, MBusA, DR);
  };
}

}  // namespace nord5
