// The texts of the three information pages ("Source", "Destination", "Preview") and of the
// Source File Info dialog, from a driver snapshot and what is known of the file. Toolkit-free.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "DriverSnapshot.h"

namespace recast::ui {

using AudioLines = std::array<std::string_view, 4>;  // codec, sampling, channels, bits

// The audio lines of every page and of the dialog, but for an MP4 output, whose sound is
// encoded to AAC whatever the recording holds.
constexpr AudioLines kAudioLines{"G722-16", "16KHZ", "Single Channel", "16 Bits"};
extern const AudioLines kMp4AudioLines;

struct InfoFields {
  std::string path;
  std::string duration;
  std::string rate;
  std::string format;  // "mp4 file"/"264 file" on Source and Preview, the output kind elsewhere
  std::string size;
  std::string frameRate;
  AudioLines audio = kAudioLines;
};

// What the pages know of the current file: its facts when a converter or a look at the file
// found them.
struct InfoInput {
  const DriverSnapshot& driver;
  FileFacts facts;
};

InfoFields SourcePage(const InfoInput& input);
InfoFields DestinationPage(const InfoInput& input);
// While a preview is open: the Source page with the current rate and the output size.
InfoFields PreviewPage(const InfoInput& input);
InfoFields FileInfoFields(const InfoInput& input);

}  // namespace recast::ui
