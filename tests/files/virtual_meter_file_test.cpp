// Files saved from the virtual meter's factory memory load, show completely and save back
// unchanged.
#include <unistd.h>

#include <filesystem>

#include "../model/fixture.h"
#include "files/config_file.h"
#include "model/engine_hooks.h"
#include "model/flow_coefficients.h"
#include "model/temperature_coefficients.h"
#include "model/user_configuration.h"
#include "sim/meter_memory.h"

namespace nord5 {
namespace {

using testing::FormFixture;

class VirtualMeterFileTest : public FormFixture {};

TEST_F(VirtualMeterFileTest, FactoryMemoryLoadsShowsAndStoresBack) {
  const std::string path = ::testing::TempDir() + "/nord5_vm_" + std::to_string(::getpid()) +
                           ".meterConfig";
  for (std::uint32_t firmware : {16010526u, 16051016u, 17042702u}) {
    for (bool advanced : {false, true}) {
      ClearParameterDisplay(ctx);
      ctx.advanced = advanced;
      ASSERT_TRUE(sim::SaveMeterImageFile(path, sim::DefaultMeterImage(firmware)));
      ASSERT_TRUE(LoadConfigurationFile(ctx, path, image)) << ::testing::PrintToString(Messages());
      EXPECT_TRUE(state.NoConfiguration) << firmware << " every step of the show ran";
      EXPECT_NE(form.Cell(kGridTemp, 2, 4), "XXXXXX");
      EXPECT_TRUE(StoreUserConfiguration(ctx)) << firmware;
      EXPECT_TRUE(StoreFlowCoefficients(ctx)) << firmware;
      EXPECT_TRUE(StoreTemperatureCoefficients(ctx)) << firmware;
      if (advanced) ApplyProductionOptions(form, image);
      EXPECT_TRUE(SaveConfigurationFile(ctx, path)) << firmware;
      EXPECT_TRUE(dialogs.shown.empty()) << ::testing::PrintToString(Messages());
      // Nothing was edited, so the file holds the meter's bytes, the calibration included.
      MeterImage saved;
      std::string error;
      ASSERT_TRUE(sim::LoadMeterImageFile(path, saved, error)) << error;
      const MeterImage factory = sim::DefaultMeterImage(firmware);
      for (std::size_t i = 0; i < kImageSize; ++i)
        EXPECT_EQ(saved.bytes[i], factory.bytes[i]) << firmware << (advanced ? " advanced" : "")
                                                    << ", image offset " << i;
      // So does the image a full configuration write would send.
      EXPECT_TRUE(PrepareConfigurationWrite(ctx)) << firmware;
      EXPECT_TRUE(image == factory) << firmware << (advanced ? " advanced" : "");
    }
  }
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace nord5
