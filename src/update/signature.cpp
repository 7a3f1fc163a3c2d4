#include "update/signature.h"

#include <sodium.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace nord5::update {
namespace {

bool DecodeBase64(const std::string& text, unsigned char* out, std::size_t want) {
  std::size_t len = 0;
  if (sodium_base642bin(out, want, text.data(), text.size(), " \t\r\n", &len, nullptr,
                        sodium_base64_VARIANT_ORIGINAL) != 0)
    return false;
  return len == want;
}

}  // namespace

bool VerifyFileSignature(const std::string& path, const std::string& signature_b64,
                         const std::string& public_key_b64) {
  if (sodium_init() < 0) return false;
  unsigned char key[crypto_sign_PUBLICKEYBYTES];
  unsigned char sig[crypto_sign_BYTES];
  if (!DecodeBase64(public_key_b64, key, sizeof key)) return false;
  if (!DecodeBase64(signature_b64, sig, sizeof sig)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  return crypto_sign_verify_detached(sig, data.data(), data.size(), key) == 0;
}

}  // namespace nord5::update
