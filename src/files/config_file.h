// The configuration file (".meterConfig"): the 748 bytes of a meter image, the last two a
// CRC-16/MODBUS of the first 746, low byte first. No header.
#pragma once

#include <string>

#include "model/model_context.h"

namespace nord5 {

// Validates the file, refreshes the three inner check sums of its image without a report, shows
// it (ShowMeterImage) and copies it into `target`. "Wrong file length" for a file that cannot be
// read or is not exactly 748 bytes, "Bad file CRC" for a check value mismatch; both leave view and
// image unchanged. The file is only read.
bool LoadConfigurationFile(ParameterContext& ctx, const std::string& path, MeterImage& target);

// Stores the advanced grid into the working image (from firmware 16051017 in advanced mode),
// stores its check value and writes the file. False after "Bad parameters", or after an error
// message naming the file when it cannot be written (an old file stays as it was).
bool SaveConfigurationFile(ParameterContext& ctx, const std::string& path);

// The six production options of the auto-configuration group applied to `image` (a save in
// advanced mode does this).
void ApplyProductionOptions(const FormView& form, MeterImage& image);

// "Load configuration": open dialog, LoadConfigurationFile into the working image, the folder
// remembered in "ConfigFilePath" (also after a failed load). True when a file was loaded.
bool LoadConfigurationAction(ParameterContext& ctx);
// "Save configuration": save dialog, the overwrite question, the stores of the user configuration
// and the calibration, the production options in advanced mode, SaveConfigurationFile, the folder
// remembered. True when the file was written.
bool SaveConfigurationAction(ParameterContext& ctx);

}  // namespace nord5
