#include "HeaderProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace recast {
namespace {

using recorder::PictureSize;

constexpr uint32_t kMaxFrameRate = 50;     // higher rates are taken as damage
constexpr int32_t kDefaultFrameRate = 25;  // used for a missing or implausible rate
constexpr PictureSize kNarrowNtsc{176, 120};

// One line of the resolution table. A PAL entry of nothing keeps the previous frame size.
// Only code 0x1007 differs between old and new headers, and only under NTSC.
struct ResolutionEntry {
  uint32_t code;
  std::optional<PictureSize> pal;
  PictureSize ntscOld;
  PictureSize ntscNew;
};

constexpr std::array<ResolutionEntry, 8> kResolutions{{
    {recorder::kResolutionCif, PictureSize{352, 288}, {352, 240}, {352, 240}},
    {recorder::kResolutionQcif, PictureSize{176, 144}, {176, 120}, {176, 120}},
    {recorder::kResolution4Cif, PictureSize{704, 576}, {704, 480}, {704, 480}},
    {recorder::kResolutionD1, PictureSize{704, 288}, {704, 240}, {704, 240}},
    {recorder::kResolutionQqcif, PictureSize{96, 80}, {96, 64}, {96, 64}},
    {recorder::kResolutionQvga, std::nullopt, {320, 240}, {320, 240}},
    {recorder::kResolution160x128, std::nullopt, {160, 128}, {176, 120}},
    {recorder::kResolution2Cif, PictureSize{528, 384}, {528, 320}, {528, 320}},
}};

// A code outside the table is the size itself: width in the low half, height in the high.
PictureSize SizeFromWord(uint32_t word) {
  return {static_cast<int>(word & 0xFFFF), static_cast<int>(word >> 16)};
}

PictureSize ResolveSize(uint32_t code, bool newHeader, VideoStandard standard,
                        PictureSize previous) {
  for (const ResolutionEntry& entry : kResolutions) {
    if (entry.code != code) continue;
    if (standard == VideoStandard::Ntsc) return newHeader ? entry.ntscNew : entry.ntscOld;
    return entry.pal.value_or(previous);
  }
  return SizeFromWord(code);
}

VideoStandard ResolveStandard(uint16_t word, VideoStandard previous) {
  if (word == recorder::kStandardPal) return VideoStandard::Pal;
  if (word == recorder::kStandardNtsc) return VideoStandard::Ntsc;
  return previous;
}

int32_t ResolveFrameRate(uint32_t code) {
  const uint32_t rate = code - recorder::kFrameRateBase;  // wraps for codes below the base
  if (rate == 0 || rate > kMaxFrameRate) return kDefaultFrameRate;
  return static_cast<int32_t>(rate);
}

// Reads up to `size` bytes from the start of the file; returns how many arrived.
size_t ReadHead(int fd, uint8_t* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(fd, out + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

std::optional<ProbeResult> ProbeHeader(recorder::ByteSpan bytes, uint64_t fileSize,
                                       const ProbeResult& previous) {
  if (bytes.size() < kProbeSize) return std::nullopt;
  const auto file = recorder::ParseFileHeader(bytes.first(recorder::kFileHeaderSize));
  const auto group = recorder::ParseGroupHeader(bytes.subspan(recorder::kFileHeaderSize));
  if (!file || !group) return std::nullopt;

  ProbeResult result = previous;
  result.fileSize = fileSize;
  result.standard = ResolveStandard(file->videoStandard, previous.standard);
  result.audio = group->audioWord != 0 ? kAudioPresent : 0;
  result.frameRate = ResolveFrameRate(group->frameRateCode);

  const bool newHeader = file->version >= recorder::kVersionExplicitSize;
  const uint32_t code = newHeader ? group->groupResolution : file->videoResolution;
  const PictureSize size =
      ResolveSize(code, newHeader, result.standard, {previous.width, previous.height});
  result.width = size.width;
  result.height = size.height;
  result.narrowNtsc = size == kNarrowNtsc;
  return result;
}

FileProbe ProbeFile(const std::string& path, const ProbeResult& previous) {
  FileProbe probe;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    probe.error = std::string("cannot open: ") + std::strerror(errno);
    return probe;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    probe.error = "not a regular file";
    return probe;
  }
  probe.fileSize = static_cast<uint64_t>(info.st_size);
  std::array<uint8_t, kProbeSize> head{};
  const size_t got = ReadHead(fd, head.data(), head.size());
  close(fd);
  if (got < head.size()) {
    probe.error = "file is " + std::to_string(probe.fileSize) + " bytes, a recorder header needs " +
                  std::to_string(kProbeSize);
    return probe;
  }
  probe.result = ProbeHeader(head, probe.fileSize, previous);
  return probe;
}

}  // namespace recast
