#include "update/version_info.h"

#include <filesystem>

namespace nord5::update {

const std::string& ProgramFileVersion() {
  static const std::string v = NORD5_PROGRAM_VERSION;
  return v;
}

TVersionInfo::TVersionInfo(const std::string& file_name) {
  FFileVersion = ProgramFileVersion();
  FProductVersion = ProgramFileVersion();
  FProductName = "VARMELINOX NORD5 User configurator";
  FFileDescription = "VARMELINOX NORD5 User configurator";
  FInternalName = "nord5-config";
  FOriginalFilename = std::filesystem::path(file_name).filename().string();
}

}  // namespace nord5::update
