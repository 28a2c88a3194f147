// Media type records: layouts that must match the platform byte for byte, identifier values,
// and the ownership rules of CMediaType and the copy/free functions.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "MediaType.h"

namespace {

TEST(MediaTypesTest, FormatBlocksHaveThePlatformLayout) {
  EXPECT_EQ(sizeof(VIDEOINFOHEADER), 88u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER, rcTarget), 16u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER, dwBitRate), 32u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER, AvgTimePerFrame), 40u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER, bmiHeader), 48u);
  EXPECT_EQ(sizeof(BITMAPINFOHEADER), 40u);
  EXPECT_EQ(offsetof(BITMAPINFOHEADER, biCompression), 16u);
  EXPECT_EQ(sizeof(VIDEOINFOHEADER2), 112u);
  EXPECT_EQ(sizeof(RECT), 16u);
  EXPECT_EQ(sizeof(AM_MEDIA_TYPE), 88u);
  EXPECT_EQ(offsetof(AM_MEDIA_TYPE, formattype), 44u);
  EXPECT_EQ(offsetof(AM_MEDIA_TYPE, pbFormat), 80u);

  // A mono 16-bit 8 kHz format, as it appears in a file: packed, little-endian.
  WAVEFORMATEX wfx{};
  wfx.wFormatTag = 0x4061;
  wfx.nChannels = 1;
  wfx.nSamplesPerSec = 8000;
  wfx.nAvgBytesPerSec = 16000;
  wfx.nBlockAlign = 2;
  wfx.wBitsPerSample = 16;
  wfx.cbSize = 0;
  const BYTE expected[18] = {0x61, 0x40, 0x01, 0x00, 0x40, 0x1F, 0x00, 0x00, 0x80,
                             0x3E, 0x00, 0x00, 0x02, 0x00, 0x10, 0x00, 0x00, 0x00};
  ASSERT_EQ(sizeof wfx, sizeof expected);
  EXPECT_EQ(std::memcmp(&wfx, expected, sizeof expected), 0);
}

TEST(MediaTypesTest, IdentifiersHaveThePlatformValues) {
  // Subtypes named after a FOURCC carry it in Data1 of the shared pattern.
  const struct {
    const GUID& guid;
    const char* fourcc;
  } fourccs[] = {{MEDIASUBTYPE_YV12, "YV12"}, {MEDIASUBTYPE_I420, "I420"},
                 {MEDIASUBTYPE_IYUV, "IYUV"}, {MEDIASUBTYPE_YUY2, "YUY2"},
                 {MEDIASUBTYPE_UYVY, "UYVY"}, {MEDIASUBTYPE_YVYU, "YVYU"},
                 {MEDIASUBTYPE_YVU9, "YVU9"}, {MEDIATYPE_Video, "vids"},
                 {MEDIATYPE_Audio, "auds"}};
  for (const auto& entry : fourccs) {
    const char* c = entry.fourcc;
    EXPECT_EQ(entry.guid.Data1, MakeFourCC(c[0], c[1], c[2], c[3])) << c;
    EXPECT_EQ(GuidToString(entry.guid).substr(9), "-0000-0010-8000-00AA00389B71}") << c;
  }
  EXPECT_EQ(GuidToString(MEDIASUBTYPE_PCM), "{00000001-0000-0010-8000-00AA00389B71}");
  EXPECT_EQ(GuidToString(MEDIASUBTYPE_RGB24), "{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
  EXPECT_EQ(GuidToString(MEDIASUBTYPE_RGB565), "{E436EB7B-524F-11CE-9F53-0020AF0BA770}");
  EXPECT_EQ(GuidToString(MEDIATYPE_Stream), "{E436EB83-524F-11CE-9F53-0020AF0BA770}");
  EXPECT_EQ(GuidToString(FORMAT_VideoInfo), "{05589F80-C356-11CE-BF01-00AA0055595A}");
  EXPECT_EQ(GuidToString(FORMAT_WaveFormatEx), "{05589F81-C356-11CE-BF01-00AA0055595A}");
  EXPECT_EQ(GuidToString(TIME_FORMAT_MEDIA_TIME), "{7B785574-8C82-11CF-BC0C-00AA00AC74F6}");
}

// Counts references, to see that media types hold and drop pUnk.
struct CountedUnknown final : IUnknown {
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  ULONG refs = 1;
};

TEST(MediaTypesTest, CopiesOwnTheirFormatBlockAndReference) {
  CMediaType fresh;
  EXPECT_TRUE(fresh.IsFixedSize());
  EXPECT_EQ(fresh.GetSampleSize(), 1u);
  EXPECT_FALSE(fresh.IsTemporalCompressed());
  EXPECT_FALSE(fresh.IsValid());

  CountedUnknown unknown;
  CMediaType original(MEDIATYPE_Video);
  original.SetFormatType(&FORMAT_VideoInfo);
  const BYTE format[] = {1, 2, 3, 4};
  ASSERT_TRUE(original.SetFormat(format, sizeof format));
  original.pUnk = &unknown;
  unknown.AddRef();
  {
    CMediaType copy(original);
    EXPECT_EQ(unknown.refs, 3u);
    EXPECT_TRUE(copy == original);
    EXPECT_NE(copy.Format(), original.Format());
    copy.Format()[0] = 9;
    EXPECT_TRUE(copy != original) << "format bytes take part in equality";
    EXPECT_EQ(original.Format()[0], 1);

    AM_MEDIA_TYPE* created = CreateMediaType(&copy);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->cbFormat, 4u);
    EXPECT_EQ(created->pbFormat[0], 9);
    DeleteMediaType(created);
    EXPECT_EQ(unknown.refs, 3u);
  }
  EXPECT_EQ(unknown.refs, 2u);
  original.ReallocFormatBuffer(8);
  EXPECT_EQ(original.FormatLength(), 8u);
  EXPECT_EQ(std::memcmp(original.Format(), format, sizeof format), 0) << "realloc keeps bytes";
  FreeMediaType(original);
  EXPECT_EQ(unknown.refs, 1u);
  EXPECT_EQ(original.Format(), nullptr);
}

TEST(MediaTypesTest, PartialTypesMatchOnlyWhatTheySpecify) {
  CMediaType full(MEDIATYPE_Video);
  full.SetSubtype(&MEDIASUBTYPE_RGB32);
  full.SetFormatType(&FORMAT_VideoInfo);
  const BYTE format[] = {7, 7};
  full.SetFormat(format, sizeof format);
  EXPECT_FALSE(full.IsPartiallySpecified());

  CMediaType anything;
  CMediaType video(MEDIATYPE_Video);
  CMediaType audio(MEDIATYPE_Audio);
  CMediaType yv12(MEDIATYPE_Video);
  yv12.SetSubtype(&MEDIASUBTYPE_YV12);
  EXPECT_TRUE(video.IsPartiallySpecified());
  EXPECT_TRUE(full.MatchesPartial(&anything));
  EXPECT_TRUE(full.MatchesPartial(&video));
  EXPECT_FALSE(full.MatchesPartial(&audio));
  EXPECT_FALSE(full.MatchesPartial(&yv12));

  CMediaType otherFormat(full);
  const BYTE different[] = {7, 8};
  otherFormat.SetFormat(different, sizeof different);
  EXPECT_FALSE(full.MatchesPartial(&otherFormat)) << "a given format type brings its block";
}

}  // namespace
