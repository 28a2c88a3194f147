// Writes the seed corpus of the group parser's fuzz target into the folder given: valid
// streams of several shapes and a few damaged ones, each behind its control byte.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "StreamBuilder.h"

using namespace recorder;
using namespace splitter::testing;

namespace {

void Write(const std::filesystem::path& folder, const std::string& name, uint8_t control,
           const std::vector<uint8_t>& stream) {
  std::ofstream file(folder / name, std::ios::binary);
  file.put(static_cast<char>(control));
  file.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
}

StreamBuilder Mixed(int groups) {
  StreamBuilder stream;
  for (int i = 0; i < groups; ++i) {
    const uint32_t type = i % 4 == 0 ? kFrameTypeKey : kFrameTypeOther;
    stream.AddGroup(MakeGroupSpec(type, i % 2, 40 + i, 1 + i % 3, 30 + 17 * i));
  }
  return stream;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::filesystem::create_directories(folder);
  // Control byte: bits 0-1 system type, bits 2-4 piece size, bits 4-7 audio codec.
  constexpr uint8_t kAvWhole = 0x02 | 6 << 2;
  constexpr uint8_t kAvTiny = 0x02 | 1 << 2;
  constexpr uint8_t kVideoNetwork = 0x00 | 5 << 2;
  Write(folder, "mixed-whole", kAvWhole, Mixed(12).Bytes());
  Write(folder, "mixed-tiny", kAvTiny, Mixed(6).Bytes());
  Write(folder, "mixed-network", kVideoNetwork, Mixed(40).Bytes());
  StreamBuilder large;
  large.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 5000, 1, 5000));  // audio larger than a sample
  large.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 2, 3000));
  Write(folder, "oversized", kAvWhole, large.Bytes());
  StreamBuilder damaged = Mixed(10);
  damaged.MutableBytes()[100] ^= 0xFF;
  damaged.MutableBytes()[300] = 0x01;
  Write(folder, "damaged", kAvTiny, damaged.Bytes());
  StreamBuilder garbage;
  garbage.AddBytes({0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00});
  garbage.AddBytes(Mixed(5).Bytes());
  Write(folder, "garbage-first", kAvWhole, garbage.Bytes());
  return 0;
}
