#include "InfoText.h"

#include "CopyMuxIds.h"
#include "DurationText.h"
#include "VideoSetDlg.h"

namespace recast::ui {

static_assert(kCopyMuxAacRate == 16000 && kCopyMuxAacBitRate == 48000,
              "the MP4 audio lines name the sound the multiplexer encodes");
const AudioLines kMp4AudioLines{"AAC", "16KHZ", "Single Channel", "48 Kbps"};

namespace {

constexpr uint32_t kBitsPerKbit = 1000;

uint32_t EstimatedKbps(const InfoInput& input) {
  const uint32_t fileSize = input.driver.currentRecord ? input.driver.currentRecord->fileSize : 0;
  return EstimateSourceBitRate(fileSize, input.facts.duration) / kBitsPerKbit;
}

bool Prepared(const DriverSnapshot& d) {
  return !d.currentRowPath.empty() && d.converterPath == d.currentRowPath;
}

// The output size: what the Video Set dialog holds for a prepared file (its defaults come from
// that file), else the decoded size, else what the dialog holds from an earlier file. A copy
// keeps the recorded size, whatever the dialog holds.
std::string OutputSize(const InfoInput& input) {
  const DriverSnapshot& d = input.driver;
  if (CopiesVideo(d.kind)) {
    if (input.facts.decodedWidth > 0) return FormatSize(input.facts.decodedWidth, input.facts.decodedHeight);
    if (d.currentRecord) return FormatSize(d.currentRecord->width, d.currentRecord->height);
  }
  if (Prepared(d) && d.settings.width > 0) return FormatSize(d.settings.width, d.settings.height);
  if (Prepared(d) && d.outputWidth > 0) return FormatSize(d.outputWidth, d.outputHeight);
  if (input.facts.decodedWidth > 0) return FormatSize(input.facts.decodedWidth, input.facts.decodedHeight);
  return FormatSize(d.settings.width, d.settings.height);
}

InfoFields Common(const InfoInput& input) {
  InfoFields fields;
  fields.path = input.driver.currentRowPath;
  fields.duration = FormatDuration(input.facts.duration);
  if (const auto& record = input.driver.currentRecord) {
    fields.size = FormatSize(record->width, record->height);
    fields.frameRate = FormatFrameRate(record->frameRate);
  }
  if (input.driver.sourceKind) fields.format = SourceKindText(*input.driver.sourceKind);
  return fields;
}

InfoFields Destination(const InfoInput& input, InfoPlace place) {
  const DriverSnapshot& d = input.driver;
  InfoFields fields = Common(input);
  fields.rate = FormatRate(d.kind, d.cbr, d.settings.bitRateKbps, d.settings.quality, place);
  fields.format = FormatOutputKind(d.kind, place);
  fields.size = OutputSize(input);
  if (d.kind == OutputKind::Mp4) fields.audio = kMp4AudioLines;
  return fields;
}

}  // namespace

InfoFields SourcePage(const InfoInput& input) {
  InfoFields fields = Common(input);
  fields.rate = FormatBitRate(EstimatedKbps(input));
  return fields;
}

InfoFields DestinationPage(const InfoInput& input) {
  return Destination(input, InfoPlace::InfoPage);
}

InfoFields PreviewPage(const InfoInput& input) {
  const DriverSnapshot& d = input.driver;
  InfoFields fields = Common(input);
  // A quality is a quality, not a bit rate: it keeps its own format.
  if (d.cbr)
    fields.rate = FormatBitRate(Prepared(d) && d.settings.bitRateKbps > 0 ? d.settings.bitRateKbps
                                                                        : EstimatedKbps(input));
  else
    fields.rate = FormatQuality(d.settings.quality);
  fields.size = OutputSize(input);
  return fields;
}

InfoFields FileInfoFields(const InfoInput& input) {
  return Destination(input, InfoPlace::SourceFileInfo);
}

}  // namespace recast::ui
