// The selection of parameter groups the meter's factory test checks: one bit per item of the
// check list `lvTestParameters`, bit 0 first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/form_view.h"

namespace nord5 {

inline constexpr const char* kTestParameterList = "lvTestParameters";
const std::vector<std::string>& TestParameterItems();

// The mask of the check marks, stored into `destination`.
void StoreTestParameters(const FormView& form, std::uint16_t& destination);
// The click on the list: writes the mask to the setting "lvTestParameters" (never read back).
void TestParametersClick(const FormView& form);
void InstallTestParameterHandlers(FormView& form);

}  // namespace nord5
