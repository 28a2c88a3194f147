#include "SourceSelector.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

#include "DShowErrors.h"
#include "Registry.h"
#include "WideString.h"

namespace {

constexpr char kSourceFilter[] = "Source Filter";
constexpr char kMediaTypeKey[] = "Media Type";
constexpr char kExtensionsKey[] = "Media Type\\Extensions";
constexpr size_t kMinSchemeChars = 2;  // "C:\..." is a drive, not a scheme
// How much of each end of a file the check bytes may look at.
constexpr size_t kCheckWindowBytes = 4096;

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::vector<BYTE>> HexBytes(const std::string& text) {
  const std::string hex = Trim(text);
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<BYTE> bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
    if (ec != std::errc() || end != hex.data() + i + 2) return std::nullopt;
    bytes.push_back(static_cast<BYTE>(value));
  }
  return bytes;
}

std::optional<int64_t> Number(const std::string& text) {
  const std::string t = Trim(text);
  int64_t value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value, 10);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return value;
}

// One quadruple against the file: the bytes at `offset` masked equal the value masked.
bool QuadMatches(int64_t offset, int64_t count, const std::vector<BYTE>& mask,
                 const std::vector<BYTE>& value, const std::vector<BYTE>& head,
                 const std::vector<BYTE>& tail, uint64_t fileSize) {
  if (count <= 0 || static_cast<size_t>(count) != value.size()) return false;
  if (!mask.empty() && mask.size() != value.size()) return false;
  const std::vector<BYTE>* window = &head;
  uint64_t start = 0;
  if (offset < 0) {
    const uint64_t back = static_cast<uint64_t>(-offset);
    if (back > fileSize || back > tail.size()) return false;
    window = &tail;
    start = tail.size() - back;
  } else {
    start = static_cast<uint64_t>(offset);
  }
  if (start > window->size() || value.size() > window->size() - start) return false;
  for (size_t i = 0; i < value.size(); ++i) {
    const BYTE m = mask.empty() ? 0xFF : mask[i];
    if (((*window)[start + i] & m) != (value[i] & m)) return false;
  }
  return true;
}

std::optional<CLSID> SourceFilterValue(const std::string& keyPath, HRESULT& hr) {
  const auto text = reg::GetString(HKEY_CLASSES_ROOT, keyPath, kSourceFilter);
  if (!text) return std::nullopt;
  const auto clsid = GuidFromString(*text);
  if (!clsid) hr = VFW_E_INVALID_CLSID;
  return clsid;
}

std::optional<std::string> UrlScheme(const std::string& target) {
  const size_t colon = target.find("://");
  if (colon == std::string::npos || colon < kMinSchemeChars) return std::nullopt;
  for (size_t i = 0; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(target[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return std::nullopt;
  }
  return target.substr(0, colon);
}

struct FileBytes {
  std::vector<BYTE> head;
  std::vector<BYTE> tail;
  uint64_t size = 0;
};

std::optional<FileBytes> ReadEnds(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return std::nullopt;
  FileBytes bytes;
  bytes.size = static_cast<uint64_t>(file.tellg());
  const size_t window = static_cast<size_t>(std::min<uint64_t>(bytes.size, kCheckWindowBytes));
  bytes.head.resize(window);
  bytes.tail.resize(window);
  file.seekg(0);
  file.read(reinterpret_cast<char*>(bytes.head.data()), static_cast<std::streamsize>(window));
  file.seekg(static_cast<std::streamoff>(bytes.size - window));
  file.read(reinterpret_cast<char*>(bytes.tail.data()), static_cast<std::streamsize>(window));
  if (!file) return std::nullopt;
  return bytes;
}

// Every HKCR\Media Type\{major}\{sub} key, tested against the file.
bool ChooseByContent(const FileBytes& bytes, SourceChoice& choice, HRESULT& hr) {
  for (const std::string& major : reg::SubKeyNames(HKEY_CLASSES_ROOT, kMediaTypeKey)) {
    const auto majorGuid = GuidFromString(major);
    if (!majorGuid) continue;  // "Extensions" and other non-type keys
    const std::string majorPath = std::string(kMediaTypeKey) + "\\" + major;
    for (const std::string& sub : reg::SubKeyNames(HKEY_CLASSES_ROOT, majorPath)) {
      const std::string subPath = majorPath + "\\" + sub;
      const auto subGuid = GuidFromString(sub);
      if (!subGuid) continue;
      for (const reg::Value& value : reg::Values(HKEY_CLASSES_ROOT, subPath)) {
        if (value.name == kSourceFilter || !Number(value.name)) continue;
        const auto check = reg::GetString(HKEY_CLASSES_ROOT, subPath, value.name);
        if (!check || !CheckBytesMatch(*check, bytes.head, bytes.tail, bytes.size)) continue;
        const auto source = SourceFilterValue(subPath, hr);
        if (!source) return false;
        choice.source = *source;
        choice.type = {*majorGuid, *subGuid};
        return true;
      }
    }
  }
  return false;
}

bool ChooseByExtension(const std::string& path, SourceChoice& choice, HRESULT& hr) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  const std::string keyPath = std::string(kExtensionsKey) + "\\" + path.substr(dot);
  const auto source = SourceFilterValue(keyPath, hr);
  if (!source) return false;
  choice.source = *source;
  const auto major = reg::GetString(HKEY_CLASSES_ROOT, keyPath, "Media Type");
  const auto sub = reg::GetString(HKEY_CLASSES_ROOT, keyPath, "Subtype");
  if (major) choice.type.major = GuidFromString(*major).value_or(GUID_NULL);
  if (sub) choice.type.sub = GuidFromString(*sub).value_or(GUID_NULL);
  return true;
}

}  // namespace

bool CheckBytesMatch(const std::string& check, const std::vector<BYTE>& head,
                     const std::vector<BYTE>& tail, uint64_t fileSize) {
  std::vector<std::string> fields;
  std::stringstream stream(check);
  for (std::string field; std::getline(stream, field, ',');) fields.push_back(field);
  if (fields.empty() || fields.size() % 4 != 0) return false;
  for (size_t i = 0; i < fields.size(); i += 4) {
    const auto offset = Number(fields[i]);
    const auto count = Number(fields[i + 1]);
    const auto mask = HexBytes(fields[i + 2]);
    const auto value = HexBytes(fields[i + 3]);
    if (!offset || !count || !mask || !value) return false;
    if (!QuadMatches(*offset, *count, *mask, *value, head, tail, fileSize)) return false;
  }
  return true;
}

HRESULT ChooseSource(const std::u16string& target, SourceChoice& choice) {
  choice = SourceChoice{};
  choice.path = target;
  const std::string text = WideToUtf8(target);
  HRESULT hr = S_OK;
  std::string path = text;
  if (const auto scheme = UrlScheme(text)) {
    if (const auto source = SourceFilterValue(*scheme, hr)) {
      choice.source = *source;
      return S_OK;
    }
    if (FAILED(hr)) return hr;
    if (WideCompareNoCase(Utf8ToWide(*scheme).c_str(), u"file") != 0)
      return VFW_E_UNKNOWN_FILE_TYPE;
    path = text.substr(scheme->size() + 3);
    choice.path = Utf8ToWide(path);
  }
  const auto bytes = ReadEnds(path);
  if (bytes && ChooseByContent(*bytes, choice, hr)) return S_OK;
  if (FAILED(hr)) return hr;
  if (ChooseByExtension(path, choice, hr)) return S_OK;
  if (FAILED(hr)) return hr;
  return bytes ? VFW_E_UNKNOWN_FILE_TYPE : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}
