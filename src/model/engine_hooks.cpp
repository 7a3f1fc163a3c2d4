#include "model/engine_hooks.h"

#include "model/advanced_grid.h"
#include "model/flow_coefficients.h"
#include "model/lcd_menu.h"
#include "model/parameter_display.h"
#include "model/temperature_coefficients.h"
#include "model/user_configuration.h"

namespace nord5 {

bool ShowReadConfiguration(ParameterContext& ctx) { return ShowMeterImage(ctx, ctx.image); }

bool PrepareConfigurationWrite(ParameterContext& ctx) {
  RebuildUserMenuMask(ctx.form, ctx.image);
  if (!StoreUserConfiguration(ctx) || !StoreFlowCoefficients(ctx) ||
      !StoreTemperatureCoefficients(ctx))
    return false;
  CheckTemperatureCrc(ctx.image, false, nullptr);
  CheckConstantsCrc(ctx.image, false, nullptr);
  if (!StoreAdvancedGrid(ctx)) return false;
  CheckFlowCrc(ctx.image, false, nullptr);
  return true;
}

bool CollectUserConfiguration(ParameterContext& ctx) { return StoreUserConfiguration(ctx); }

void RebuildUserMenu(FormView& form, MeterImage& image) { RebuildUserMenuMask(form, image); }

}  // namespace nord5
