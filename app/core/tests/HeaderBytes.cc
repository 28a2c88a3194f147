#include "HeaderBytes.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace recast::testing {

std::vector<uint8_t> HeaderBytes(const HeaderSpec& fields, size_t payload) {
  recorder::FileHeader file;
  file.magic = recorder::kMagic4HLQ;
  file.version = fields.version;
  file.videoStandard = fields.standard;
  file.videoResolution = fields.fileResolution;
  recorder::GroupHeader group;
  group.startCode = recorder::kGroupStartCode;
  group.audioWord = fields.audioWord;
  group.groupResolution = fields.groupResolution;
  group.frameRateCode = fields.frameRateCode;

  std::vector<uint8_t> bytes;
  const auto fileBytes = recorder::Serialize(file);
  const auto groupBytes = recorder::Serialize(group);
  bytes.insert(bytes.end(), fileBytes.begin(), fileBytes.end());
  bytes.insert(bytes.end(), groupBytes.begin(), groupBytes.end());
  bytes.resize(bytes.size() + payload, 0x5A);
  return bytes;
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "recast-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Recording(const std::string& relative, const HeaderSpec& fields,
                               size_t payload) const {
  const std::filesystem::path path = path_ / relative;
  WriteBytes(path, HeaderBytes(fields, payload));
  return path.string();
}

}  // namespace recast::testing
