#include "WideString.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "LastError.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kLowSurrogateFirst = 0xDC00;
constexpr char16_t kSurrogateEnd = 0xE000;
constexpr char32_t kSupplementaryFirst = 0x10000;

bool IsHighSurrogate(char16_t c) { return c >= kHighSurrogateFirst && c < kLowSurrogateFirst; }
bool IsLowSurrogate(char16_t c) { return c >= kLowSurrogateFirst && c < kSurrogateEnd; }

void AppendUtf16(char32_t cp, std::u16string& out) {
  if (cp < kSupplementaryFirst) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  cp -= kSupplementaryFirst;
  out.push_back(static_cast<char16_t>(kHighSurrogateFirst + (cp >> 10)));
  out.push_back(static_cast<char16_t>(kLowSurrogateFirst + (cp & 0x3FF)));
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at text[pos]; advances pos past it, or past the longest
// prefix that could have begun a valid sequence (at least one byte) and answers nothing.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& pos) {
  const auto lead = static_cast<uint8_t>(text[pos++]);
  if (lead < 0x80) return lead;
  size_t trail;
  char32_t cp;
  // The range of the second byte excludes overlong forms, surrogates and values past
  // U+10FFFF, so those are refused before anything after the lead is consumed.
  uint8_t second_min = 0x80, second_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2, cp = lead & 0x0F;
    if (lead == 0xE0) second_min = 0xA0;
    if (lead == 0xED) second_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3, cp = lead & 0x07;
    if (lead == 0xF0) second_min = 0x90;
    if (lead == 0xF4) second_max = 0x8F;
  } else {
    return std::nullopt;
  }
  for (size_t i = 0; i < trail; ++i) {
    if (pos >= text.size()) return std::nullopt;
    const auto byte = static_cast<uint8_t>(text[pos]);
    const uint8_t min = i == 0 ? second_min : 0x80;
    const uint8_t max = i == 0 ? second_max : 0xBF;
    if (byte < min || byte > max) return std::nullopt;
    cp = cp << 6 | (byte & 0x3F);
    ++pos;
  }
  return cp;
}

// Both conversions: false when `strict` and the input is malformed.
bool Utf8ToUtf16(std::string_view text, bool strict, std::u16string& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const auto cp = DecodeUtf8(text, pos);
    if (!cp && strict) return false;
    AppendUtf16(cp.value_or(kReplacement), out);
  }
  return true;
}

bool Utf16ToUtf8(std::u16string_view text, bool strict, std::string& out) {
  out.clear();
  out.reserve(text.size() * 3);
  for (size_t pos = 0; pos < text.size(); ++pos) {
    const char16_t c = text[pos];
    char32_t cp = c;
    if (IsHighSurrogate(c) && pos + 1 < text.size() && IsLowSurrogate(text[pos + 1])) {
      cp = kSupplementaryFirst + ((c - kHighSurrogateFirst) << 10) +
           (text[pos + 1] - kLowSurrogateFirst);
      ++pos;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      if (strict) return false;
      cp = kReplacement;
    }
    AppendUtf8(cp, out);
  }
  return true;
}

bool IsUtf8CodePage(UINT code_page) {
  return code_page == CP_ACP || code_page == CP_OEMCP || code_page == CP_THREAD_ACP ||
         code_page == CP_UTF8;
}

// Copies a converted text out under the Windows rules: size query, or fail when it does
// not fit.
template <typename Char, typename String>
int DeliverConverted(const String& converted, Char* target, int target_units) {
  if (converted.size() > static_cast<size_t>(INT32_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int needed = static_cast<int>(converted.size());
  if (target_units == 0) return needed;
  if (needed > target_units) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(target, converted.data(), converted.size() * sizeof(Char));
  return needed;
}

// Common argument checks; -1 source length becomes the length including the NUL.
template <typename Char>
bool CheckConversionArgs(UINT code_page, const Char* source, int& source_units, const void* target,
                         int target_units) {
  if (!IsUtf8CodePage(code_page) || !source || source_units == 0 || source_units < -1 ||
      target_units < 0 || (target_units > 0 && !target)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (source_units == -1)
    source_units = static_cast<int>(std::char_traits<Char>::length(source) + 1);
  return true;
}

}  // namespace

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCCH source, int source_bytes, LPWSTR target,
                        int target_chars) {
  if (!CheckConversionArgs(code_page, source, source_bytes, target, target_chars)) return 0;
  if (flags & ~MB_ERR_INVALID_CHARS) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::u16string converted;
  if (!Utf8ToUtf16({source, static_cast<size_t>(source_bytes)}, flags & MB_ERR_INVALID_CHARS,
                   converted)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return DeliverConverted(converted, target, target_chars);
}

int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWCH source, int source_chars, LPSTR target,
                        int target_bytes, LPCCH default_char, LPBOOL used_default_char) {
  if (!CheckConversionArgs(code_page, source, source_chars, target, target_bytes)) return 0;
  if (default_char || used_default_char) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags & ~WC_ERR_INVALID_CHARS) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::string converted;
  if (!Utf16ToUtf8({source, static_cast<size_t>(source_chars)}, flags & WC_ERR_INVALID_CHARS,
                   converted)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return DeliverConverted(converted, target, target_bytes);
}

std::u16string Utf8ToWide(std::string_view text) {
  std::u16string out;
  Utf8ToUtf16(text, false, out);
  return out;
}

std::string WideToUtf8(std::u16string_view text) {
  std::string out;
  Utf16ToUtf8(text, false, out);
  return out;
}

size_t WideLength(LPCWSTR text) { return text ? std::char_traits<char16_t>::length(text) : 0; }

namespace {

template <typename Fold>
int CompareWith(LPCWSTR a, LPCWSTR b, Fold fold) {
  if (!a || !b) return (a != nullptr) - (b != nullptr);
  for (;; ++a, ++b) {
    const WCHAR x = fold(*a);
    const WCHAR y = fold(*b);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
}

}  // namespace

int WideCompare(LPCWSTR a, LPCWSTR b) {
  return CompareWith(a, b, [](WCHAR c) { return c; });
}

int WideCompareNoCase(LPCWSTR a, LPCWSTR b) { return CompareWith(a, b, FoldCaseW); }

HRESULT WideCopy(LPWSTR target, size_t target_chars, LPCWSTR source) {
  if (!target || target_chars == 0) return STRSAFE_E_INSUFFICIENT_BUFFER;
  const size_t length = WideLength(source);
  const size_t copied = length < target_chars ? length : target_chars - 1;
  if (copied) std::memcpy(target, source, copied * sizeof(WCHAR));
  target[copied] = 0;
  return copied == length ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}

WCHAR FoldCaseW(WCHAR c) {
  constexpr WCHAR kCaseOffset = 0x20;           // a..z, à..þ, α..ω, а..я
  constexpr WCHAR kCyrillicExtraOffset = 0x50;  // ѐ..џ
  constexpr WCHAR kLatinYDiaeresis = 0xFF;
  constexpr WCHAR kUpperYDiaeresis = 0x178;
  constexpr WCHAR kDivisionSign = 0xF7;
  constexpr WCHAR kFinalSigma = 0x3C2;
  if (c >= u'a' && c <= u'z') return c - kCaseOffset;
  if (c < 0xE0) return c;
  if (c <= 0xFE) return c == kDivisionSign ? c : c - kCaseOffset;
  if (c == kLatinYDiaeresis) return kUpperYDiaeresis;
  if (c >= 0x3B1 && c <= 0x3C9) return c == kFinalSigma ? 0x3A3 : c - kCaseOffset;
  if (c >= 0x430 && c <= 0x44F) return c - kCaseOffset;
  if (c >= 0x450 && c <= 0x45F) return c - kCyrillicExtraOffset;
  return c;
}
