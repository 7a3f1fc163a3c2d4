#include "files/config_file.h"

#include <sys/stat.h>

#include <cstring>

#include "foundation/atomic_file.h"
#include "foundation/settings.h"
#include "model/advanced_grid.h"
#include "model/flow_coefficients.h"
#include "model/parameter_display.h"
#include "model/temperature_coefficients.h"
#include "model/texts.h"
#include "model/user_configuration.h"

namespace nord5 {
namespace {

constexpr const char* kFilter =
    "Configuration files (*.meterConfig)|*.meterConfig|All files (*.*)|*.*";
constexpr const char* kFolderKey = "ConfigFilePath";

std::string WithName(const char* fmt, const std::string& name) {
  const int n = std::snprintf(nullptr, 0, fmt, name.c_str());
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, fmt, name.c_str());
  return out;
}

FileDialogRequest Request(bool save) {
  FileDialogRequest r;
  r.Save = save;
  r.Title = save ? "Save configuration file" : "Load configuration file";
  r.Folder = SettingsValue(SettingsMode::Read, kFolderKey, ProgramFolder().c_str()).Text();
  r.Filter = kFilter;
  r.DefaultExt = "meterConfig";
  return r;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

bool LoadConfigurationFile(ParameterContext& ctx, const std::string& path, MeterImage& target) {
  MeterImage buffer;
  // A folder, a FIFO or a device is refused like a file of the wrong length, without being
  // opened, and no more than an image and one byte are read.
  const auto bytes = ReadRegularFile(path, kImageSize);
  if (!bytes || bytes->size() != kImageSize) {
    ctx.dialogs.Error(texts::kWrongFileLength);
    return false;
  }
  std::memcpy(buffer.bytes.data(), bytes->data(), kImageSize);
  if (ImageCrc(buffer) != buffer.Get<std::uint16_t>(kImageCrcOffset)) {
    ctx.dialogs.Error(texts::kBadFileCrc);
    return false;
  }
  RefreshInnerCrcs(buffer);
  ShowMeterImage(ctx, buffer);
  target = buffer;
  return true;
}

void ApplyProductionOptions(const FormView& f, MeterImage& img) {
  unsigned cfg = img.Cfg<std::uint8_t>(106);
  cfg = f.Checked("cbImpuls_outpts_On_Off") ? (cfg | 0x02u) : (cfg & ~0x02u);
  switch (f.ItemIndex("cbMeasuringTemperatures")) {
    case 0: cfg &= ~0x18u; break;
    case 1: cfg = (cfg & ~0x18u) | 0x10u; break;
    case 2: cfg |= 0x18u; break;
    default: break;
  }
  img.SetCfg<std::uint8_t>(106, static_cast<std::uint8_t>(cfg));
  if (f.Checked("cbLCDmask")) {
    img.SetCfg<std::uint8_t>(168, 0x05);
    img.SetCfg<std::uint8_t>(169, 0x01);
  }
  unsigned battery = img.Cfg<std::uint8_t>(108);
  battery = f.Checked("cbBatteryErrorOff") ? (battery | 0x01u) : (battery & ~0x01u);
  img.SetCfg<std::uint8_t>(108, static_cast<std::uint8_t>(battery));
  switch (f.ItemIndex("cbBatteryLifeTime")) {
    case 0: img.SetCfg<std::uint32_t>(208, 346896000u); break;
    case 1: img.SetCfg<std::uint32_t>(208, 473040000u); break;
    case 2: img.SetCfg<std::uint32_t>(208, 504576000u); break;
    default: break;
  }
  img.SetCfg<std::uint16_t>(kCfgEnergySettings, f.Checked("cbReverseMeasuring") ? 486 : 482);
}

bool SaveConfigurationFile(ParameterContext& ctx, const std::string& path) {
  if (!StoreAdvancedGrid(ctx)) return false;
  ctx.image.Set<std::uint16_t>(kImageCrcOffset, ImageCrc(ctx.image));
  if (!WriteFileAtomically(path, ctx.image.bytes.data(), kImageSize)) {
    ctx.dialogs.Error(WithName(texts::kCantWriteFile, path));
    return false;
  }
  return true;
}

bool LoadConfigurationAction(ParameterContext& ctx) {
  const auto chosen = ctx.dialogs.FileDialog(Request(false));
  if (!chosen) return false;
  const bool ok = LoadConfigurationFile(ctx, chosen->Path, ctx.image);
  SettingsValue(SettingsMode::Write, kFolderKey, FolderOf(chosen->Path).c_str());
  return ok;
}

bool SaveConfigurationAction(ParameterContext& ctx) {
  const auto chosen = ctx.dialogs.FileDialog(Request(true));
  if (!chosen) return false;
  const std::string& path = chosen->Path;
  if (FileExists(path) && !ctx.dialogs.AskYesNo(WithName(texts::kFileExists, path))) return false;
  if (!StoreUserConfiguration(ctx) || !StoreFlowCoefficients(ctx) ||
      !StoreTemperatureCoefficients(ctx))
    return false;
  if (ctx.advanced) ApplyProductionOptions(ctx.form, ctx.image);
  const bool ok = SaveConfigurationFile(ctx, path);
  SettingsValue(SettingsMode::Write, kFolderKey, FolderOf(path).c_str());
  return ok;
}

}  // namespace nord5
