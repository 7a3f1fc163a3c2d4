// libFuzzer target: arbitrary bytes as a configuration file, and the same bytes as a meter image
// with a right check sum shown in every control and stored back, in plain and advanced mode.
// The loader must refuse bad files with its message and leave the target image alone; the show
// and store procedures must cope with any field value (NaN and huge floats, bad enumerations).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/exchange_state.h"
#include "foundation/memory_form.h"
#include "foundation/meter_image.h"
#include "foundation/settings.h"
#include "fuzz_files.h"
#include "model/engine_hooks.h"
#include "model/form_layout.h"
#include "model/parameter_display.h"

namespace {

using namespace nord5;

const std::string& FilePath() { return fuzz::ScratchFile("config", ".meterConfig"); }

// The window after start-up: every control, the display reset, the design-time handlers.
struct Window {
  MemoryForm form;
  MeterImage image;
  ScriptedDialogs dialogs;
  ExchangeState state;
  ParameterContext ctx{form, image, dialogs, state, false};
  explicit Window(bool advanced) {
    ctx.advanced = advanced;
    AddParameterControls(form);
    InstallParameterHandlers(ctx);
    ClearParameterDisplay(ctx);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The file as it came.
  {
    const std::string& path = FilePath();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      if (size) std::fwrite(data, 1, size, f);
      std::fclose(f);
    }
    Window w(size % 2 == 1);
    MeterImage target;
    target.bytes.fill(0x5A);
    const MeterImage before = target;
    const bool loaded = LoadConfigurationFile(w.ctx, path, target);
    if (!loaded && !(target == before)) __builtin_trap();  // a refused file changed the image
    if (loaded != (w.dialogs.shown.empty())) __builtin_trap();  // refused without a message
  }

  // The bytes as a meter image (padded or cut to 748) that passes the file check.
  if (size == 0) return 0;
  MeterImage shown;
  for (std::size_t i = 0; i < kImageSize - 2; ++i) shown.bytes[i] = data[i % size];
  shown.Set<std::uint16_t>(kImageCrcOffset, ImageCrc(shown));
  for (const bool advanced : {false, true}) {
    Window w(advanced);
    w.image = shown;
    if (ShowMeterImage(w.ctx, w.image)) {
      // A write of what is shown: every store parses the texts the show produced.
      (void)PrepareConfigurationWrite(w.ctx);
      (void)ShowMeterImage(w.ctx, w.image);
    }
  }
  return 0;
}
