// The parameter procedures the protocol engine runs at fixed points of its operations. The engine
// cannot link this library (it sits below it), so the program installs these functions in the
// engine's hooks.
#pragma once

#include "model/model_context.h"

namespace nord5 {

// After "configuration complete" (the last chunk of a read, the check sums already verified):
// shows the working image in every control; `NoConfiguration` becomes true when it succeeds.
bool ShowReadConfiguration(ParameterContext& ctx);

// The image preparation of "Write configuration", up to and without `NoConfiguration` := false
// and the start of the transfer: user menu mask rebuilt from the item boxes; user configuration,
// flow and temperature calibration stored; temperature and constants check sums refreshed; the
// advanced grid stored (firmware 16051017 and advanced mode only); flow check sum refreshed.
// False when a store failed ("Bad parameters" has been shown; nothing may start).
bool PrepareConfigurationWrite(ParameterContext& ctx);

// `ct_WriteUserConfiguration`: the user configuration collected from the screen into the image
// before the twelve user configuration regions are written. False after "Bad parameters".
bool CollectUserConfiguration(ParameterContext& ctx);

// `ct_WriteUserMenu`: the user menu mask of the image cleared and rebuilt from the item boxes
// before its first two bytes are written.
void RebuildUserMenu(FormView& form, MeterImage& image);

}  // namespace nord5
