// What the parameter procedures work on: the window's controls, the working meter image, the
// message boxes and the exchange state that carries `NoConfiguration` and `DeviceJumper`.
#pragma once

#include "foundation/dialogs.h"
#include "foundation/exchange_state.h"
#include "foundation/form_view.h"
#include "foundation/meter_image.h"

namespace nord5 {

struct ParameterContext {
  FormView& form;
  // The working image: the target of every store, and what the change handlers read and write
  // (a trigger change shows its threshold from here, a pulse value edit writes its increment here).
  MeterImage& image;
  Dialogs& dialogs;
  ExchangeState& state;
  // The checked state of the action `caAdvaced` at the time of the call.
  bool advanced = false;
};

// Mode bits of `DeviceJumper`.
inline constexpr std::int32_t kModeManufacturer = 0x22;
inline constexpr std::int32_t kModeService = 0x26;  // manufacturer or test mode

}  // namespace nord5
