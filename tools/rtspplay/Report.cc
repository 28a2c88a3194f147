#include "Report.h"

#include <cinttypes>
#include <cstdio>

#include "recorder/StreamFormat.h"

namespace rtspplay {
namespace {

std::string Magic(uint32_t magic) {
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) {
    const char c = static_cast<char>(magic >> shift & 0xFF);
    text += c >= ' ' && c <= '~' ? c : '?';
  }
  return text;
}

const char* Content(uint16_t systemType) {
  switch (systemType) {
    case recorder::kSystemVideo: return "video";
    case recorder::kSystemAudio: return "audio";
    case recorder::kSystemVideoAudio: return "video+audio";
    default: return "unknown content";
  }
}

}  // namespace

std::string DescribeHeader(const std::vector<uint8_t>& header) {
  const auto parsed = recorder::ParseFileHeader(header);
  if (!parsed) return "header: " + std::to_string(header.size()) + " bytes, not a stream header";
  const recorder::StreamParams params = recorder::DeriveStreamParams(*parsed);
  char text[160];
  std::snprintf(text, sizeof text, "header: %zu bytes, %s, %dx%d %s, %s, audio 0x%04" PRIx32,
                header.size(), Magic(parsed->magic).c_str(), params.size.width,
                params.size.height, parsed->videoStandard == recorder::kStandardPal ? "PAL" : "NTSC",
                Content(parsed->systemType), params.audioCodec);
  return text;
}

std::string DescribeTotalTime(int totalTime) {
  if (totalTime < 0) return "total time: live";
  char text[64];
  std::snprintf(text, sizeof text, "total time: %d (%.2f s)", totalTime,
                totalTime / kTimeUnitsPerSecond);
  return text;
}

SecondTicker::SecondTicker(StreamReceiver& receiver)
    : receiver_(receiver), start_(Clock::now()), next_(start_ + std::chrono::seconds(1)) {}

void SecondTicker::Poll() {
  while (Clock::now() >= next_) {
    const Totals now = receiver_.Snapshot();
    ++seconds_;
    std::printf("%4d s  %9" PRIu64 " bytes/s  %5" PRIu64 " groups/s  total %" PRIu64
                " bytes, %" PRIu64 " groups\n",
                seconds_, now.bytes - last_.bytes, now.groups - last_.groups, now.bytes,
                now.groups);
    std::fflush(stdout);
    last_ = now;
    next_ += std::chrono::seconds(1);
  }
}

SecondTicker::Clock::duration SecondTicker::UntilNext() const {
  const Clock::time_point now = Clock::now();
  return next_ > now ? next_ - now : Clock::duration::zero();
}

}  // namespace rtspplay
