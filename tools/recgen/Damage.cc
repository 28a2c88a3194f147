#include "Damage.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <stdexcept>

#include "recorder/StreamFormat.h"

namespace recgen {

namespace {

// Separate streams from one seed, so garbage and flips do not shift each other.
constexpr uint32_t kGarbageStream = 0x6761;
constexpr uint32_t kFlipStream = 0x666C;
constexpr uint32_t kMaskStream = 0x6D61;

// mt19937 is specified bit for bit; the distributions of the standard library are not, so
// values are mapped by hand to stay identical on every platform.
uint32_t Below(std::mt19937& rng, uint64_t bound) { return static_cast<uint32_t>(rng() % bound); }

}  // namespace

std::vector<uint8_t> Damage::Garbage() const {
  std::mt19937 rng(options_.seed ^ kGarbageStream);
  std::vector<uint8_t> bytes(options_.garbageBytes);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(1 + Below(rng, 255));
  return bytes;
}

void Damage::SpoilGroup(int index, std::vector<uint8_t>& group) const {
  if (!options_.badBlockGroup || *options_.badBlockGroup != static_cast<size_t>(index)) return;
  const auto header = recorder::ParseGroupHeader(group);
  if (!header || header->BlockCount() == 0 ||
      group.size() < recorder::kGroupHeaderSize + recorder::kBlockHeaderSize)
    throw std::runtime_error("the bad block group has no block");
  recorder::wl16(&group[recorder::kGroupHeaderSize], kBadBlockType);
}

std::vector<uint64_t> Damage::ChooseFlipOffsets(uint64_t fileSize) const {
  const uint64_t first = recorder::kFileHeaderSize;
  if (fileSize < first || fileSize - first < options_.flipCount)
    throw std::runtime_error("the file is too short for that many flipped bytes");
  std::mt19937 rng(options_.seed ^ kFlipStream);
  std::set<uint64_t> offsets;
  const uint64_t span = fileSize - first;
  while (offsets.size() < options_.flipCount) {
    const uint64_t draw = static_cast<uint64_t>(rng()) << 32 | rng();
    offsets.insert(first + draw % span);
  }
  return {offsets.begin(), offsets.end()};
}

DamageReport Damage::Finish(const std::string& path) const {
  DamageReport report;
  report.garbageBytes = options_.garbageBytes;
  if (options_.badBlockGroup) report.badBlockGroup = static_cast<int>(*options_.badBlockGroup);
  uint64_t size = std::filesystem::file_size(path);
  if (options_.truncateBytes) {
    if (size < recorder::kFileHeaderSize || options_.truncateBytes > size - recorder::kFileHeaderSize)
      throw std::runtime_error("cannot cut more than the groups from the file");
    size -= options_.truncateBytes;
    std::filesystem::resize_file(path, size);
    report.truncatedBytes = options_.truncateBytes;
  }
  if (options_.flipCount == 0) return report;
  report.flippedOffsets = ChooseFlipOffsets(size);
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  std::mt19937 masks(options_.seed ^ kMaskStream);
  for (const uint64_t offset : report.flippedOffsets) {
    char byte = 0;
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(&byte, 1);
    byte = static_cast<char>(static_cast<uint8_t>(byte) ^ (1 + Below(masks, 255)));
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(&byte, 1);
  }
  if (!file) throw std::runtime_error("cannot flip bytes in " + path);
  return report;
}

}  // namespace recgen
