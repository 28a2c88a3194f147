// The media type record and the format blocks filters exchange, laid out byte for byte as on the
// platform (a format block is copied between filters and into files as raw bytes), and the
// functions that copy and free media types. A format block and a media type handed across an
// interface are allocated with CoTaskMemAlloc; the receiver frees them with FreeMediaType /
// DeleteMediaType.
#pragma once

#include <cstddef>

#include "Unknown.h"

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};
static_assert(sizeof(RECT) == 16);

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

struct VIDEOINFOHEADER2 {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  DWORD dwInterlaceFlags;
  DWORD dwCopyProtectFlags;
  DWORD dwPictAspectRatioX;
  DWORD dwPictAspectRatioY;
  DWORD dwControlFlags;
  DWORD dwReserved2;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER2) == 112);

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;  // bytes of codec data that follow the structure
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;  // unused by the platform; released with the type when set
  ULONG cbFormat;
  BYTE* pbFormat;  // CoTaskMemAlloc'd, cbFormat bytes
};
static_assert(sizeof(void*) != 8 || sizeof(AM_MEDIA_TYPE) == 88);

// Frees the format block and pUnk of `mt` and leaves it without a format; the record stays.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a media type created by CreateMediaType (or handed out by an enumerator). Null is fine.
void DeleteMediaType(AM_MEDIA_TYPE* pmt);
// A CoTaskMemAlloc'd deep copy of `src`, or nullptr when memory runs out or src is null.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src);
// Deep-copies `src` into `dst` (whose old contents are overwritten, not freed).
// E_OUTOFMEMORY leaves dst without a format block.
HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
