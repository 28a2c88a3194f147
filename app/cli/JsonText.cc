#include "cli/JsonText.h"

#include <cstdio>

namespace recast::cli {
namespace {

constexpr std::string_view kReplacement = "\\ufffd";

// Lead bytes of multi-byte UTF-8 sequences: the bits that mark them, the sequence length and
// the smallest code point that length may carry (anything smaller is an overlong form).
struct Utf8Lead {
  unsigned char mask;
  unsigned char marker;
  size_t length;
  uint32_t smallest;
};
constexpr Utf8Lead kUtf8Leads[] = {
    {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
constexpr uint32_t kLargestCodePoint = 0x10FFFF;
constexpr uint32_t kFirstSurrogate = 0xD800;
constexpr uint32_t kLastSurrogate = 0xDFFF;

// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  if (byte(i) < 0x80) return 1;
  for (const Utf8Lead& lead : kUtf8Leads) {
    if ((byte(i) & lead.mask) != lead.marker) continue;
    if (lead.length > text.size() - i) return 0;
    uint32_t code = byte(i) & (0x7F >> lead.length);
    for (size_t k = 1; k < lead.length; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) return 0;
      code = code << 6 | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code >= kFirstSurrogate && code <= kLastSurrogate;
    return code < lead.smallest || code > kLargestCodePoint || surrogate ? 0 : lead.length;
  }
  return 0;
}

// The short escape of a character JSON requires escaping, or nullptr.
const char* ShortEscape(char c) {
  switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
  }
}

void AppendEscaped(std::string& out, char c) {
  if (const char* escape = ShortEscape(c)) {
    out += escape;
  } else if (static_cast<unsigned char>(c) < 0x20) {
    char code[8];
    std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
    out += code;
  } else {
    out += c;
  }
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8Length(text, i);
    if (length == 0) {
      out += kReplacement;
      ++i;
    } else if (length == 1) {
      AppendEscaped(out, text[i++]);
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out + "\"";
}

void JsonObject::Key(std::string_view key) {
  if (body_.size() > 1) body_ += ',';
  body_ += JsonString(key);
  body_ += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view value) {
  Key(key);
  body_ += JsonString(value);
  return *this;
}

JsonObject& JsonObject::AddNumber(std::string_view key, int64_t value) {
  Key(key);
  body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) {
  Key(key);
  body_ += json;
  return *this;
}

JsonObject& JsonObject::AddFixed(std::string_view key, double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return AddRaw(key, text);
}

JsonObject& JsonObject::Add(std::string_view key, bool value) {
  Key(key);
  body_ += value ? "true" : "false";
  return *this;
}

}  // namespace recast::cli
