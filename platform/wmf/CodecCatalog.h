// The codecs the writer can encode with, per major type, and the formats each offers. Only
// codecs whose encoder libavcodec has are listed, so a video codec it cannot encode (version
// 9) is simply absent. Audio formats are the ones the encoder accepts when opened with them;
// their format blocks carry what the encoder reports (block size, codec data).
//
// Built once on first use and immutable afterwards, so it may be read from any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "OwnedMediaType.h"

struct CodecFormat {
  OwnedMediaType type;
  DWORD bitrate;
  std::u16string description;
};

struct CodecEntry {
  std::u16string name;
  GUID subtype;
  AVCodecID encoder;
  std::vector<CodecFormat> formats;
};

class CodecCatalog {
 public:
  static const CodecCatalog& Instance();

  // The codecs of `major_type` (WMMEDIATYPE_Video or WMMEDIATYPE_Audio); null for others.
  const std::vector<CodecEntry>* CodecsOf(const GUID& major_type) const;
  // The libavcodec encoder for a compressed subtype the catalogue lists.
  std::optional<AVCodecID> EncoderFor(const GUID& subtype) const;

 private:
  CodecCatalog();

  std::vector<CodecEntry> video_;
  std::vector<CodecEntry> audio_;
};
