// Temperature calibration: the sensor calibration values, the temperature limits and the 4-row
// correction table at the start of the configuration block (protected by the check sum at Cfg 86).
#pragma once

#include <array>

#include "model/model_context.h"

namespace nord5 {

// The eight reference-ratio fields: reset only, never shown or stored.
const std::array<const char*, 8>& ReferenceRatioFields();

// Step 14 of the show procedure.
bool ShowTemperatureCoefficients(FormView& form, const MeterImage& shown);
// Controls to image (the caller refreshes the check sum afterwards); false after "Bad parameters".
bool StoreTemperatureCoefficients(ParameterContext& ctx);

}  // namespace nord5
