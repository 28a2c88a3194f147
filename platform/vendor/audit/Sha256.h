// Sha256: an incremental SHA-256 over OpenSSL's implementation, for the digests of the
// integrity report (the source's as the file source reads it, the output's once it is written).
#pragma once

#include <openssl/evp.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class Sha256 {
 public:
  static constexpr size_t kSize = 32;
  using Digest = std::array<uint8_t, kSize>;

  Sha256() : context_(EVP_MD_CTX_new()) { Restart(); }
  // False when the context could not be made; Update and Final then do nothing.
  bool Valid() const { return valid_; }

  void Update(const uint8_t* bytes, size_t size) {
    if (valid_ && size > 0) valid_ = EVP_DigestUpdate(context_.get(), bytes, size) == 1;
  }

  // The digest of everything fed so far; the hasher starts again afterwards.
  Digest Final() {
    Digest digest{};
    unsigned int length = 0;
    if (valid_) EVP_DigestFinal_ex(context_.get(), digest.data(), &length);
    Restart();
    return digest;
  }

  static std::string Hex(const Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * kSize);
    for (uint8_t byte : digest) {
      text += kDigits[byte >> 4];
      text += kDigits[byte & 0xF];
    }
    return text;
  }

 private:
  void Restart() {
    valid_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) == 1;
  }

  struct Free {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> context_;
  bool valid_ = false;
};
