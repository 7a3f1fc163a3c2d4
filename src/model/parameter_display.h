// The show procedure (a whole meter image into the controls), the display reset, and the
// installation of the design-time change handlers of the parameter controls.
#pragma once

#include "model/model_context.h"

namespace nord5 {

// Fills every configuration control from `shown`, which may be the working image or a copy not
// yet taken over (a file being loaded). The steps run in a fixed order; the first step that cannot
// show its values ends the procedure without a message, and returns false: the controls of the
// later steps keep their contents and `NoConfiguration` its value. On success
// `ctx.state.NoConfiguration` becomes true. The pulse channel handlers attached by the procedure
// act on `ctx.image`.
bool ShowMeterImage(ParameterContext& ctx, const MeterImage& shown);

// The display reset: `NoConfiguration` false, `DeviceJumper` 0, "XXXXXX" in the value fields and
// calibration grids, "XXX" in the manufacturer code field, threshold edit masks removed.
void ClearParameterDisplay(ParameterContext& ctx);

// The production option controls of the (always hidden) auto-configuration group, from `shown`
// (step 5 of the show procedure, at every show).
void ShowProductionOptions(FormView& form, const MeterImage& shown);

// Handlers the window has from its creation: trigger lists, "Calculate" and "Set", the three lists
// of the advanced tab, the test parameter list. (The pulse channel handlers come with the first
// successful show.)
void InstallParameterHandlers(const ParameterContext& ctx);

// The controls whose handlers the show procedure detaches first and attaches last.
const std::vector<std::string>& PulseHandlerControls();

}  // namespace nord5
