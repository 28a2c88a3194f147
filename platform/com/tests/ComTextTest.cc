#include <gtest/gtest.h>

#include <string>

#include "ComRuntime.h"
#include "LastError.h"
#include "WideString.h"

namespace {

DEFINE_GUID(kSample, 0x013D71DF, 0xAB43, 0x41A6, 0x97, 0x6C, 0x3B, 0x82, 0xE3, 0x8D, 0x8C, 0xD0);
constexpr const char16_t* kSampleText = u"{013D71DF-AB43-41A6-976C-3B82E38D8CD0}";

TEST(GuidTextTest, RoundTripsThroughTheBracedForm) {
  WCHAR text[39];
  ASSERT_EQ(StringFromGUID2(kSample, text, 39), 39);
  EXPECT_EQ(std::u16string(text), kSampleText);
  EXPECT_EQ(StringFromGUID2(kSample, text, 38), 0);

  CLSID parsed;
  ASSERT_EQ(CLSIDFromString(text, &parsed), S_OK);
  EXPECT_EQ(parsed, kSample);
  ASSERT_EQ(CLSIDFromString(u"{013d71df-ab43-41a6-976c-3b82e38d8cd0}", &parsed), S_OK);
  EXPECT_EQ(parsed, kSample);

  LPOLESTR allocated = nullptr;
  ASSERT_EQ(StringFromCLSID(kSample, &allocated), S_OK);
  EXPECT_EQ(std::u16string(allocated), kSampleText);
  CoTaskMemFree(allocated);
}

TEST(GuidTextTest, RejectsMalformedText) {
  const char16_t* malformed[] = {
      u"013D71DF-AB43-41A6-976C-3B82E38D8CD0",     // no braces
      u"{013D71DF-AB43-41A6-976C-3B82E38D8CD0",    // one brace
      u"(013D71DF-AB43-41A6-976C-3B82E38D8CD0)",   // wrong brackets
      u"{013D71DF-AB43-41A6-976C-3B82E38D8CD}",    // one digit short
      u"{013D71DF-AB43-41A6-976C-3B82E38D8CD00}",  // one digit more
      u"{013D71DF-AB43-41A6-976C3-B82E38D8CD0}",   // dash moved
      u"{013D71DG-AB43-41A6-976C-3B82E38D8CD0}",   // not hex
      u"{013D71DF-AB43-41A6-976C-3B82E38D8C\u00E90}", u"",
  };
  for (const char16_t* text : malformed) {
    CLSID clsid = kSample;
    EXPECT_EQ(CLSIDFromString(text, &clsid), CO_E_CLASSSTRING) << WideToUtf8(text);
    IID iid;
    EXPECT_EQ(IIDFromString(text, &iid), E_INVALIDARG) << WideToUtf8(text);
  }
}

// "aé€😀": one, two, three and four UTF-8 bytes; the last is a surrogate pair in UTF-16.
constexpr const char* kMixedUtf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
constexpr const char16_t* kMixedWide = u"a\u00E9\u20AC\xD83D\xDE00";

TEST(CodePageTest, ConvertsNonAsciiAndSurrogatePairsBothWays) {
  for (UINT code_page : {CP_ACP, CP_UTF8}) {
    // -1: the NUL is converted and counted.
    const int wide_size = MultiByteToWideChar(code_page, 0, kMixedUtf8, -1, nullptr, 0);
    ASSERT_EQ(wide_size, 6);
    WCHAR wide[6];
    ASSERT_EQ(MultiByteToWideChar(code_page, 0, kMixedUtf8, -1, wide, wide_size), 6);
    EXPECT_EQ(std::u16string(wide), kMixedWide);

    const int narrow_size =
        WideCharToMultiByte(code_page, 0, kMixedWide, -1, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(narrow_size, 11);
    char narrow[11];
    ASSERT_EQ(
        WideCharToMultiByte(code_page, 0, kMixedWide, -1, narrow, narrow_size, nullptr, nullptr),
        11);
    EXPECT_STREQ(narrow, kMixedUtf8);
  }
  // An explicit length converts exactly that much and adds no NUL.
  WCHAR wide[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, kMixedUtf8, 3, wide, 8), 2);
  EXPECT_EQ(wide[1], u'\u00E9');
  EXPECT_EQ(wide[2], u'x');
}

TEST(CodePageTest, ReportsSmallBuffersAndBadArguments) {
  WCHAR wide[5];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, kMixedUtf8, -1, wide, 5), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  char narrow[10];
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, kMixedWide, -1, narrow, 10, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", -1, wide, 5), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 5), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 5), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a", -1, nullptr, 5), 0);
  BOOL used_default = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, narrow, 10, nullptr, &used_default), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePageTest, MalformedInputIsReplacedOrRefused) {
  struct Case {
    const char* bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {"\xC0\x80", u"\uFFFD\uFFFD"},                      // overlong NUL
      {"\xED\xA0\x80z", u"\uFFFD\uFFFD\uFFFDz"},          // encoded surrogate
      {"\xF0\x9F\x98", u"\uFFFD"},                        // cut four-byte sequence
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"a\x80"
       "b",
       u"a\uFFFDb"},  // stray continuation byte
  };
  for (const Case& c : cases) {
    const int length = static_cast<int>(std::char_traits<char>::length(c.bytes));
    EXPECT_EQ(Utf8ToWide(c.bytes), c.expected) << c.bytes;
    WCHAR wide[16];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes, length, wide, 16), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  }
  // Unpaired surrogates in UTF-16.
  const char16_t lone[] = {u'a', 0xD83D, u'b', 0xDE00, 0};
  EXPECT_EQ(WideToUtf8(lone),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  char narrow[16];
  EXPECT_EQ(
      WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, narrow, 16, nullptr, nullptr),
      0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(WideStringTest, LengthCompareAndCopy) {
  EXPECT_EQ(WideLength(nullptr), 0u);
  EXPECT_EQ(WideLength(kMixedWide), 5u);
  EXPECT_EQ(lstrlenW(u"abc"), 3);

  EXPECT_LT(WideCompare(u"Video", u"video"), 0);
  EXPECT_EQ(WideCompareNoCase(u"Video In", u"VIDEO in"), 0);
  EXPECT_EQ(WideCompareNoCase(u"\u00D6lfilter \u0416", u"\u00F6LFILTER \u0436"), 0);
  EXPECT_LT(WideCompareNoCase(u"abc", u"ABCD"), 0);
  EXPECT_GT(WideCompare(u"b", nullptr), 0);

  WCHAR target[4];
  EXPECT_EQ(WideCopy(target, 4, u"abc"), S_OK);
  EXPECT_EQ(std::u16string(target), u"abc");
  EXPECT_EQ(StringCchCopyW(target, 4, u"abcdef"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(target), u"abc");
  EXPECT_EQ(WideCopy(target, 4, nullptr), S_OK);
  EXPECT_EQ(target[0], 0);
}

}  // namespace
