// UTF-16 text (WCHAR) and the code-page conversions. The "ANSI" and OEM code pages are
// UTF-8, so CP_ACP and CP_UTF8 convert the same way.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "HResult.h"
#include "WinTypes.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

// MultiByteToWideChar / WideCharToMultiByte flags: fail with ERROR_NO_UNICODE_TRANSLATION
// on malformed input instead of substituting U+FFFD.
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

using LPCCH = const char*;
using LPCWCH = const WCHAR*;
using LPBOOL = BOOL*;

// The Windows calling convention: a length of -1 means NUL-terminated (the NUL is converted
// and counted); an output size of 0 asks for the size needed; the result is the number of
// units written, or 0 with GetLastError() set (ERROR_INSUFFICIENT_BUFFER,
// ERROR_INVALID_PARAMETER, ERROR_NO_UNICODE_TRANSLATION).
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCCH source, int source_bytes, LPWSTR target,
                        int target_chars);
// For the UTF-8 code pages `default_char` and `used_default_char` must be null, as on Windows.
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWCH source, int source_chars, LPSTR target,
                        int target_bytes, LPCCH default_char, LPBOOL used_default_char);

// C++ conversions; malformed input becomes U+FFFD.
std::u16string Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::u16string_view text);

// Length without the NUL; 0 for a null pointer. Use instead of wcslen, which is for wchar_t.
size_t WideLength(LPCWSTR text);
// <0, 0, >0 by UTF-16 code unit; null sorts before everything else.
int WideCompare(LPCWSTR a, LPCWSTR b);
// The same after case folding (FoldCaseW), as names in the registry and in filter graphs
// compare.
int WideCompareNoCase(LPCWSTR a, LPCWSTR b);
// Copies `source` into `target` of `target_chars` units, always NUL-terminated when
// target_chars > 0. S_OK, or STRSAFE_E_INSUFFICIENT_BUFFER when the text was cut.
HRESULT WideCopy(LPWSTR target, size_t target_chars, LPCWSTR source);
// Upper-case form of one code unit for case-insensitive comparison: ASCII, Latin-1, Greek
// and Cyrillic letters; every other unit is its own fold.
WCHAR FoldCaseW(WCHAR c);

// The Windows names of the same helpers.
inline int lstrlenW(LPCWSTR text) { return static_cast<int>(WideLength(text)); }
inline int lstrcmpW(LPCWSTR a, LPCWSTR b) { return WideCompare(a, b); }
inline int lstrcmpiW(LPCWSTR a, LPCWSTR b) { return WideCompareNoCase(a, b); }
inline HRESULT StringCchCopyW(LPWSTR target, size_t target_chars, LPCWSTR source) {
  return WideCopy(target, target_chars, source);
}
