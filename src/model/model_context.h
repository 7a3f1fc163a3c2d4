// What the parameter procedures work on: the window's controls, the working meter image, the
// message boxes and the exchange state that carries `NoConfiguration` and `DeviceJumper`.
#pragma once

#include <string>

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

// The input a store procedure could not read when it last said "Bad parameters" (a grid also
// names its cell, column and row), so that the window can take the user to it; an empty control
// when the failure belongs to no single input.
struct FailedInput {
  std::string control;
  int col = -1;
  int row = -1;
};
inline FailedInput& LastFailedInput() {
  static FailedInput failed;
  return failed;
}

// Mode bits of `DeviceJumper`.
inline constexpr std::int32_t kModeManufacturer = 0x22;
inline constexpr std::int32_t kModeService = 0x26;  // manufacturer or test mode

}  // namespace nord5
