// Sha256: an incremental SHA-256 over libavutil's implementation, for the digests of the
// integrity report (the source's as the file source reads it, the output's once it is written).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

class Sha256 {
 public:
  static constexpr size_t kSize = 32;
  static constexpr int kBits = 256;
  using Digest = std::array<uint8_t, kSize>;

  Sha256() : context_(av_sha_alloc()) {
    if (context_) av_sha_init(context_.get(), kBits);
  }
  // False when the context could not be allocated; Update and Final then do nothing.
  bool Valid() const { return context_ != nullptr; }

  void Update(const uint8_t* bytes, size_t size) {
    if (context_ && size > 0) av_sha_update(context_.get(), bytes, size);
  }

  // The digest of everything fed so far; the hasher starts again afterwards.
  Digest Final() {
    Digest digest{};
    if (!context_) return digest;
    av_sha_final(context_.get(), digest.data());
    av_sha_init(context_.get(), kBits);
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
  struct Free {
    void operator()(AVSHA* context) const { av_free(context); }
  };
  std::unique_ptr<AVSHA, Free> context_;
};
