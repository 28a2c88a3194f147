// Reads an AVI file back with libavformat and sums up what it holds.
#pragma once

#include <filesystem>
#include <string>

struct AviSummary {
  bool opened = false;
  std::string videoCodec;
  std::string videoTag;  // the FourCC as four characters
  int width = 0;
  int height = 0;
  int videoFrames = 0;   // packets with data
  int keyFrames = 0;
  std::string audioCodec;
  int sampleRate = 0;
  int channels = 0;
  int64_t audioSamples = 0;  // sample frames
  double durationSeconds = 0;
};

AviSummary ReadAvi(const std::filesystem::path& path);
