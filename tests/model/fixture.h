// A form with every parameter control, a working image and scripted dialogs, as the window has
// them after start-up (display reset, design-time handlers installed).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/dialogs.h"
#include "foundation/exchange_state.h"
#include "foundation/memory_form.h"
#include "foundation/meter_image.h"
#include "model/form_layout.h"
#include "model/model_context.h"
#include "model/parameter_display.h"

namespace nord5::testing {

// A plausible meter: firmware with the new coefficient layout, a flow table with breakpoints
// every 100 l/h, a temperature calibration, pulse channel 1 an input counting 0.001 m3.
inline MeterImage SampleImage(std::uint32_t firmware = 17042702) {
  MeterImage m;
  m.SetFirmwareVersion(firmware);
  m.SetCfg<float>(0, 1100.5f);
  m.SetCfg<float>(4, 1000.25f);
  m.SetCfg<float>(8, 1101.0f);
  m.SetCfg<float>(12, 999.75f);
  for (int i = 0; i < 4; ++i) {
    m.SetCfg<float>(16 + 4 * i, 10.0f * (i + 1));
    m.SetCfg<float>(32 + 4 * i, 0.00385f);
    m.SetCfg<float>(48 + 4 * i, -0.5f);
  }
  m.SetCfg<float>(64, 0.2f);
  m.SetCfg<float>(68, 3.0f);
  m.SetCfg<float>(72, 150.0f);
  m.SetCfg<float>(76, 2.0f);
  m.SetCfg<float>(80, 180.0f);
  m.SetCfg<std::uint16_t>(84, 0x01E6);
  m.SetCfg<std::uint8_t>(97, 3);
  m.SetCfg<std::uint8_t>(106, 0x96);  // pulse outputs, measuring "From TOFF", LCD switching
  m.SetCfg<std::uint16_t>(132, 0xFFFF);
  m.SetCfg<std::uint16_t>(134, 0x0245);
  m.SetCfg<float>(136, 12.5f);
  m.SetCfg<float>(140, 0.75f);
  m.SetCfg<std::uint16_t>(144, 0xFCFF);  // 31 December
  m.SetCfg<std::uint16_t>(146, 0xFFE1);  // day 1
  m.SetCfg<std::uint8_t>(168, 0x05);
  m.SetCfg<std::uint8_t>(169, 0x01);
  m.SetCfg<std::uint8_t>(192, 0x03);
  m.SetCfg<std::uint16_t>(184, 0x1000);  // channel 1 input, channel 2 output of heating energy
  m.SetCfg<std::uint16_t>(186, 1);
  m.SetCfg<std::uint16_t>(188, 1);
  m.SetCfg<std::uint16_t>(190, 32);
  m.SetCfg<std::uint32_t>(208, 473040000);
  m.SetCfg<std::uint32_t>(220, 0xABCD);
  m.SetCfg<std::uint32_t>(224, 0x12345678);
  m.SetCfg<std::uint8_t>(229, 17);
  m.SetCfg<std::uint32_t>(232, 0x13);
  m.SetCfg<std::uint32_t>(236, 0x06);
  for (int i = 0; i < 16; ++i) {
    const float q = 100.0f * static_cast<float>(i + 1);  // four digits: shown exactly
    m.SetCoef<float>(4 * i, q);
    m.SetCoef<float>(64 + 4 * i, 0.0f);
    m.SetCoef<float>(128 + 4 * i, 1.0f);
    m.SetCoef<float>(192 + 4 * i, q);
    m.SetCoef<float>(256 + 4 * i, 0.0f);
    m.SetCoef<float>(320 + 4 * i, 1.0f);
  }
  m.SetCoef<float>(384, 1.5f);
  m.SetCoef<float>(388, 2.5f);
  m.SetCoef<float>(392, 0.01f);
  m.SetCoef<float>(396, 0.02f);
  m.SetCoef<float>(400, 100.0f);
  m.SetCoef<float>(404, 200.0f);
  m.SetCoef<std::int32_t>(408, -1234);
  m.SetCoef<std::int16_t>(412, -5);
  m.SetCoef<float>(414, 0.003f);
  m.SetCoef<float>(418, 1.5f);
  m.SetCoef<float>(422, 3.6f);
  m.SetCoef<float>(426, 0.06f);
  m.SetCoef<float>(430, 3.0f);
  m.SetCoef<std::uint16_t>(434, 4);
  m.SetCoef<float>(436, 1e6f);
  m.SetCoef<std::uint8_t>(440, 16);
  m.SetCoef<float>(442, 1000.0f);
  m.SetCoef<std::uint16_t>(446, 1);
  m.SetCoef<float>(448, 1000.0f);
  m.SetCoef<std::uint8_t>(452, 19);
  m.SetCoef<float>(458, 1.0f);
  m.SetCoef<std::uint16_t>(462, 20);
  m.SetCoef<float>(464, 100000.0f);
  m.SetCoef<std::uint8_t>(468, 1);
  m.SetCoef<float>(470, 1.0f);
  m.SetCoef<std::uint16_t>(474, 1);
  m.SetCoef<float>(476, 1.0f);
  m.SetCoef<std::uint8_t>(480, 6);
  m.SetCoef<std::int8_t>(482, -3);
  RefreshInnerCrcs(m);
  m.Set<std::uint16_t>(kImageCrcOffset, ImageCrc(m));
  return m;
}

class FormFixture : public ::testing::Test {
 protected:
  FormFixture() {
    AddParameterControls(form);
    InstallParameterHandlers(ctx);
    ClearParameterDisplay(ctx);
  }
  // Shows `shown` and takes it over as the working image, as a configuration read does.
  void ShowAsRead(const MeterImage& shown) {
    image = shown;
    ASSERT_TRUE(ShowMeterImage(ctx, image));
  }
  std::vector<std::string> Messages() const { return dialogs.Texts(); }

  MemoryForm form;
  MeterImage image;
  ScriptedDialogs dialogs;
  ExchangeState state;
  ParameterContext ctx{form, image, dialogs, state, false};
};

}  // namespace nord5::testing
