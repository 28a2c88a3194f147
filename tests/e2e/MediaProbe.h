// Reads a converted file back with libavformat and sums up what a player would find in it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct MediaSummary {
  bool opened = false;
  std::string format;  // libavformat's short name: "asf", "avi"
  std::string videoCodec;
  int width = 0;
  int height = 0;
  int64_t videoFrames = 0;      // video packets with data
  double videoSeconds = 0;      // from the first to the end of the last video packet
  std::string audioCodec;       // empty without an audio stream
  int sampleRate = 0;
  int channels = 0;
};

MediaSummary ProbeMedia(const std::filesystem::path& path);
