// Picture files from YV12 pictures as the display callback hands them out: a 24-bit BMP
// (rows bottom-up, each padded to 4 bytes) or a baseline JPEG.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "recorder/ByteOrder.h"

namespace vidora {

// A YV12 picture checked against its claimed size: width, height and the byte count match.
struct Yv12Input {
  const uint8_t* bytes = nullptr;
  int width = 0;
  int height = 0;

  // Nothing when the size or dimensions do not describe a YV12 picture.
  static std::optional<Yv12Input> Check(const uint8_t* bytes, long size, long width,
                                        long height);
};

bool WriteBmpFile(const Yv12Input& picture, const std::string& path);
bool WriteJpegFile(const Yv12Input& picture, const std::string& path);

}  // namespace vidora
