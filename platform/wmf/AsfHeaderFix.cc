#include "AsfHeaderFix.h"

#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "Guid.h"
#include "LittleEndian.h"

using base::ByteSpan;
using base::rl16;
using base::rl32;
using base::rl64;

namespace {

DEFINE_GUID(kHeaderObject, 0x75B22630, 0x668E, 0x11CF, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE,
            0x6C);
DEFINE_GUID(kContentDescriptionObject, 0x75B22633, 0x668E, 0x11CF, 0xA6, 0xD9, 0x00, 0xAA, 0x00,
            0x62, 0xCE, 0x6C);
DEFINE_GUID(kExtendedContentDescriptionObject, 0xD2D0A440, 0xE307, 0x11D2, 0x97, 0xF0, 0x00,
            0xA0, 0xC9, 0x5E, 0xA8, 0x50);
DEFINE_GUID(kPaddingObject, 0x1806D474, 0xCADF, 0x4509, 0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA,
            0xE8);

constexpr size_t kGuidSize = 16;
constexpr size_t kObjectHeaderSize = 24;          // GUID and 64-bit size
constexpr size_t kHeaderCountOffset = 24;         // number of header objects
constexpr size_t kHeaderPrefixSize = 30;          // object header, count, two reserved bytes
constexpr size_t kContentFieldCount = 5;          // title, author, copyright, description, rating
constexpr size_t kContentDescriptionIndex = 3;
constexpr size_t kContentLengthsSize = kContentFieldCount * 2;
constexpr uint16_t kUnicodeStringType = 0;
constexpr std::u16string_view kDescriptionName = u"Description";

std::array<uint8_t, kGuidSize> GuidBytes(const GUID& g) {
  std::array<uint8_t, kGuidSize> bytes{};
  base::wl32(bytes.data(), g.Data1);
  base::wl16(bytes.data() + 4, g.Data2);
  base::wl16(bytes.data() + 6, g.Data3);
  std::memcpy(bytes.data() + 8, g.Data4, sizeof g.Data4);
  return bytes;
}

bool IsObject(ByteSpan object, const GUID& id) {
  const auto bytes = GuidBytes(id);
  return object.size() >= kGuidSize && std::memcmp(object.data(), bytes.data(), kGuidSize) == 0;
}

void AppendObjectHeader(std::vector<uint8_t>& out, const GUID& id, uint64_t size) {
  const auto bytes = GuidBytes(id);
  out.insert(out.end(), bytes.begin(), bytes.end());
  uint8_t field[8];
  base::wl64(field, size);
  out.insert(out.end(), field, field + sizeof field);
}

void Append16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

bool NameIs(ByteSpan name, std::u16string_view expected) {
  // UTF-16LE with its terminating null.
  if (name.size() != (expected.size() + 1) * 2) return false;
  for (size_t i = 0; i <= expected.size(); ++i) {
    const char16_t want = i < expected.size() ? expected[i] : u'\0';
    if (*rl16(name, i * 2) != want) return false;
  }
  return true;
}

// The description entry of an Extended Content Description Object.
struct DescriptionEntry {
  size_t begin = 0;  // offsets in the object
  size_t end = 0;
  ByteSpan value;
};

struct ExtendedScan {
  uint16_t count = 0;
  std::optional<DescriptionEntry> description;
};

std::optional<ExtendedScan> ScanExtended(ByteSpan object) {
  const auto count = rl16(object, kObjectHeaderSize);
  if (!count) return std::nullopt;
  ExtendedScan scan{*count, std::nullopt};
  size_t at = kObjectHeaderSize + 2;
  for (uint16_t i = 0; i < *count; ++i) {
    const size_t begin = at;
    const auto name_size = rl16(object, at);
    if (!name_size || !base::FitsIn(object, at + 2, *name_size)) return std::nullopt;
    const ByteSpan name = object.subspan(at + 2, *name_size);
    at += 2 + *name_size;
    const auto type = rl16(object, at);
    const auto value_size = rl16(object, at + 2);
    if (!type || !value_size || !base::FitsIn(object, at + 4, *value_size))
      return std::nullopt;
    const ByteSpan value = object.subspan(at + 4, *value_size);
    at += 4 + *value_size;
    if (!scan.description && *type == kUnicodeStringType && NameIs(name, kDescriptionName))
      scan.description = DescriptionEntry{begin, at, value};
  }
  if (at != object.size()) return std::nullopt;
  return scan;
}

// The five strings of a Content Description Object.
std::optional<std::array<ByteSpan, kContentFieldCount>> ScanContent(ByteSpan object) {
  std::array<ByteSpan, kContentFieldCount> fields;
  size_t at = kObjectHeaderSize + kContentLengthsSize;
  for (size_t i = 0; i < kContentFieldCount; ++i) {
    const auto length = rl16(object, kObjectHeaderSize + 2 * i);
    if (!length || !base::FitsIn(object, at, *length)) return std::nullopt;
    fields[i] = object.subspan(at, *length);
    at += *length;
  }
  if (at != object.size()) return std::nullopt;
  return fields;
}

std::vector<uint8_t> BuildContent(const std::array<ByteSpan, kContentFieldCount>& fields) {
  size_t size = kObjectHeaderSize + kContentLengthsSize;
  for (ByteSpan f : fields) size += f.size();
  std::vector<uint8_t> out;
  AppendObjectHeader(out, kContentDescriptionObject, size);
  for (ByteSpan f : fields) Append16(out, static_cast<uint16_t>(f.size()));
  for (ByteSpan f : fields) out.insert(out.end(), f.begin(), f.end());
  return out;
}

std::vector<uint8_t> BuildExtendedWithout(ByteSpan object, const ExtendedScan& scan) {
  const DescriptionEntry& entry = *scan.description;
  const size_t size = object.size() - (entry.end - entry.begin);
  std::vector<uint8_t> out;
  AppendObjectHeader(out, kExtendedContentDescriptionObject, size);
  Append16(out, static_cast<uint16_t>(scan.count - 1));
  const size_t entries = kObjectHeaderSize + 2;
  out.insert(out.end(), object.begin() + entries, object.begin() + entry.begin);
  out.insert(out.end(), object.begin() + entry.end, object.end());
  return out;
}

// The header's child objects, in order; nothing if they do not tile the header exactly.
std::optional<std::vector<ByteSpan>> Children(ByteSpan header) {
  std::vector<ByteSpan> children;
  size_t at = kHeaderPrefixSize;
  while (at < header.size()) {
    const auto size = rl64(header, at + kGuidSize);
    if (!size || *size < kObjectHeaderSize || !base::FitsIn(header, at, *size))
      return std::nullopt;
    children.push_back(header.subspan(at, *size));
    at += *size;
  }
  return children;
}

}  // namespace

uint64_t AsfHeaderSize(const std::vector<uint8_t>& bytes) {
  if (!IsObject(bytes, kHeaderObject)) return 0;
  return rl64(bytes, kGuidSize).value_or(0);
}

HeaderFix MoveDescriptionIntoContentDescription(std::vector<uint8_t>& header) {
  const ByteSpan bytes(header);
  const auto object_count = rl32(bytes, kHeaderCountOffset);
  if (AsfHeaderSize(header) != header.size() || !object_count || header.size() < kHeaderPrefixSize)
    return HeaderFix::kMalformed;
  const auto children = Children(bytes);
  if (!children) return HeaderFix::kMalformed;

  const ByteSpan* content = nullptr;
  const ByteSpan* extended = nullptr;
  for (const ByteSpan& child : *children) {
    if (IsObject(child, kContentDescriptionObject)) content = &child;
    if (IsObject(child, kExtendedContentDescriptionObject)) extended = &child;
  }
  if (!content || !extended) return HeaderFix::kNothingToDo;
  auto fields = ScanContent(*content);
  const auto scan = ScanExtended(*extended);
  if (!fields || !scan) return HeaderFix::kMalformed;
  if (!scan->description || !(*fields)[kContentDescriptionIndex].empty())
    return HeaderFix::kNothingToDo;

  (*fields)[kContentDescriptionIndex] = scan->description->value;
  std::vector<uint8_t> mended(header.begin(), header.begin() + kHeaderPrefixSize);
  for (const ByteSpan& child : *children) {
    std::vector<uint8_t> rebuilt;
    if (&child == content) rebuilt = BuildContent(*fields);
    else if (&child == extended) rebuilt = BuildExtendedWithout(child, *scan);
    else rebuilt.assign(child.begin(), child.end());
    mended.insert(mended.end(), rebuilt.begin(), rebuilt.end());
  }
  if (mended.size() > header.size()) return HeaderFix::kMalformed;
  const size_t slack = header.size() - mended.size();
  if (slack > 0) {
    if (slack < kObjectHeaderSize) return HeaderFix::kMalformed;
    AppendObjectHeader(mended, kPaddingObject, slack);
    mended.resize(header.size(), 0);
    base::wl32(mended.data() + kHeaderCountOffset, *object_count + 1);
  }
  header = std::move(mended);
  return HeaderFix::kMended;
}
