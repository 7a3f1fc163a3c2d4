// Ed25519 signatures of downloaded programs (libsodium).
#pragma once

#include <string>

namespace nord5::update {

// Whether `signature_b64` (base64, standard alphabet) is a valid Ed25519 signature of the whole
// file `path` for the public key `public_key_b64`. Any malformed input gives false.
bool VerifyFileSignature(const std::string& path, const std::string& signature_b64,
                         const std::string& public_key_b64);

}  // namespace nord5::update
