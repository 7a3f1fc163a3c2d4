// Values that a build is deployed with: where updates come from and the maker's web address.
#pragma once

#include <string>

namespace nord5::update {

struct Deployment {
  std::string DescriptionUrl;  // web address of the update description (empty: no checks)
  std::string FtpHost;         // file server, "host" or "host:port"
  std::string FtpUser;
  std::string FtpPassword;
  std::string MakerUrl;   // shown in the about window
  std::string PublicKey;  // Ed25519, base64; empty: downloads are not signature-checked
};

// The values given at configure time (CMake cache variables NORD5_UPDATE_* and NORD5_MAKER_URL).
const Deployment& BuiltInDeployment();

}  // namespace nord5::update
