// The profile manager's codec lists, profiles and stream configurations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComPtr.h"
#include "OwnedMediaType.h"
#include "Wmsdk.h"

namespace {

ComPtr<IWMCodecInfo2> CodecInfo() {
  ComPtr<IWMProfileManager> manager;
  EXPECT_EQ(WMCreateProfileManager(manager.ReleaseAndGetAddressOf()), S_OK);
  return manager.As<IWMCodecInfo2>();
}

OwnedMediaType FormatOf(IWMCodecInfo* info, REFGUID type, DWORD codec, DWORD format) {
  ComPtr<IWMStreamConfig> config;
  EXPECT_EQ(info->GetCodecFormat(type, codec, format, config.ReleaseAndGetAddressOf()), S_OK);
  OwnedMediaType media;
  EXPECT_EQ(ReadMediaType(config.As<IWMMediaProps>(), &media), S_OK);
  return media;
}

std::u16string CodecName(IWMCodecInfo2* info, REFGUID type, DWORD codec) {
  DWORD chars = 0;
  EXPECT_EQ(info->GetCodecName(type, codec, nullptr, &chars), S_OK);
  std::u16string name(chars, u'\0');
  EXPECT_EQ(info->GetCodecName(type, codec, name.data(), &chars), S_OK);
  name.pop_back();
  return name;
}

TEST(CodecInfoTest, OffersTheVideoCodecsTheEncoderLibraryHas) {
  auto info = CodecInfo();
  DWORD codecs = 0;
  ASSERT_EQ(info->GetCodecInfoCount(WMMEDIATYPE_Video, &codecs), S_OK);
  ASSERT_GE(codecs, 1u);
  std::vector<GUID> subtypes;
  for (DWORD i = 0; i < codecs; ++i)
    subtypes.push_back(FormatOf(info, WMMEDIATYPE_Video, i, 0).Get().subtype);
  EXPECT_EQ(subtypes.front(), WMMEDIASUBTYPE_WMV2);
  EXPECT_EQ(std::count(subtypes.begin(), subtypes.end(), WMMEDIASUBTYPE_WMV3), 0);
  EXPECT_EQ(CodecName(info, WMMEDIATYPE_Video, 0), u"Windows Media Video 8");
  const OwnedMediaType wmv2 = FormatOf(info, WMMEDIATYPE_Video, 0, 0);
  ASSERT_TRUE(wmv2.FormatAs<VIDEOINFOHEADER>());
  EXPECT_EQ(wmv2.FormatAs<VIDEOINFOHEADER>()->bmiHeader.biCompression, 0x32564D57u);
  EXPECT_EQ(info->GetCodecInfoCount(GUID_NULL, &codecs), E_INVALIDARG);
}

TEST(CodecInfoTest, AudioFormatsStartSixteenKilohertzMonoAtTheLowestAcceptedRate) {
  auto info = CodecInfo();
  DWORD codecs = 0, formats = 0;
  ASSERT_EQ(info->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs), S_OK);
  ASSERT_EQ(codecs, 1u);
  ASSERT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &formats), S_OK);
  const WAVEFORMATEX* found = nullptr;
  OwnedMediaType media;
  for (DWORD j = 0; j < formats && !found; ++j) {
    media = FormatOf(info, WMMEDIATYPE_Audio, 0, j);
    const auto* wave = media.FormatAs<WAVEFORMATEX>();
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->wFormatTag, 0x0161);
    EXPECT_EQ(media.Get().cbFormat, sizeof(WAVEFORMATEX) + wave->cbSize);
    if (wave->nSamplesPerSec == 16000 && wave->nChannels == 1 && wave->wBitsPerSample == 16)
      found = wave;
  }
  ASSERT_TRUE(found);
  EXPECT_EQ(found->nAvgBytesPerSec, 3000u);  // 24 kbit/s
  EXPECT_GT(found->nBlockAlign, 0);
  EXPECT_GT(found->cbSize, 0);  // the encoder's codec data travels with the format
}

TEST(ProfileTest, EmptyProfilesOfVersionEightAndNineOnly) {
  ComPtr<IWMProfileManager> manager;
  WMCreateProfileManager(manager.ReleaseAndGetAddressOf());
  ComPtr<IWMProfile> profile;
  EXPECT_EQ(manager->CreateEmptyProfile(WMT_VER_9_0, profile.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(manager->CreateEmptyProfile(WMT_VER_8_0, profile.ReleaseAndGetAddressOf()), S_OK);
  WMT_VERSION version{};
  profile->GetVersion(&version);
  EXPECT_EQ(version, WMT_VER_8_0);
  EXPECT_EQ(manager->CreateEmptyProfile(WMT_VER_7_0, profile.ReleaseAndGetAddressOf()),
            E_INVALIDARG);
  EXPECT_FALSE(profile);
}

class ProfileStreamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ComPtr<IWMProfileManager> manager;
    WMCreateProfileManager(manager.ReleaseAndGetAddressOf());
    info_ = manager.As<IWMCodecInfo2>();
    manager->CreateEmptyProfile(WMT_VER_9_0, profile_.ReleaseAndGetAddressOf());
  }
  ComPtr<IWMStreamConfig> VideoStream(WORD number) {
    ComPtr<IWMStreamConfig> stream;
    EXPECT_EQ(profile_->CreateNewStream(WMMEDIATYPE_Video, stream.ReleaseAndGetAddressOf()), S_OK);
    OwnedMediaType media = FormatOf(info_, WMMEDIATYPE_Video, 0, 0);
    WM_MEDIA_TYPE type = media.Get();
    EXPECT_EQ(stream.As<IWMMediaProps>()->SetMediaType(&type), S_OK);
    stream->SetStreamNumber(number);
    return stream;
  }
  ComPtr<IWMCodecInfo2> info_;
  ComPtr<IWMProfile> profile_;
};

TEST_F(ProfileStreamsTest, AddStreamKeepsACopyAndGetStreamHandsOutOne) {
  auto stream = VideoStream(2);
  stream->SetBitrate(1000000);
  ASSERT_EQ(profile_->AddStream(stream), S_OK);
  stream->SetBitrate(5);  // after AddStream: not seen by the profile
  ComPtr<IWMStreamConfig> stored;
  ASSERT_EQ(profile_->GetStreamByNumber(2, stored.ReleaseAndGetAddressOf()), S_OK);
  DWORD bitrate = 0;
  stored->GetBitrate(&bitrate);
  EXPECT_EQ(bitrate, 1000000u);
  stored->SetBitrate(7);
  ASSERT_EQ(profile_->ReconfigStream(stored), S_OK);
  profile_->GetStream(0, stored.ReleaseAndGetAddressOf());
  stored->GetBitrate(&bitrate);
  EXPECT_EQ(bitrate, 7u);
}

TEST_F(ProfileStreamsTest, RefusesDuplicateNumbersAndStreamsWithoutAType) {
  ASSERT_EQ(profile_->AddStream(VideoStream(2)), S_OK);
  EXPECT_EQ(profile_->AddStream(VideoStream(2)), NS_E_INVALID_STREAM);
  ComPtr<IWMStreamConfig> bare;
  profile_->CreateNewStream(WMMEDIATYPE_Audio, bare.ReleaseAndGetAddressOf());
  bare->SetStreamNumber(1);
  EXPECT_EQ(profile_->AddStream(bare), NS_E_INVALID_STREAM);
  EXPECT_EQ(bare->SetStreamNumber(0), E_INVALIDARG);
  EXPECT_EQ(bare->SetStreamNumber(64), E_INVALIDARG);
  DWORD count = 0;
  profile_->GetStreamCount(&count);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(profile_->RemoveStreamByNumber(2), S_OK);
  EXPECT_EQ(profile_->RemoveStreamByNumber(2), NS_E_NO_STREAM);
}

TEST_F(ProfileStreamsTest, VideoPropertiesOnlyOnVideoStreams) {
  ComPtr<IWMStreamConfig> audio;
  profile_->CreateNewStream(WMMEDIATYPE_Audio, audio.ReleaseAndGetAddressOf());
  EXPECT_FALSE(audio.As<IWMVideoMediaProps>());
  auto video = VideoStream(2).As<IWMVideoMediaProps>();
  ASSERT_TRUE(video);
  EXPECT_EQ(video->SetQuality(101), E_INVALIDARG);
  EXPECT_EQ(video->SetMaxKeyFrameSpacing(-1), E_INVALIDARG);
  // A media type of the other major type is refused.
  OwnedMediaType media = FormatOf(info_, WMMEDIATYPE_Video, 0, 0);
  WM_MEDIA_TYPE type = media.Get();
  EXPECT_EQ(audio.As<IWMMediaProps>()->SetMediaType(&type), E_INVALIDARG);
}

TEST_F(ProfileStreamsTest, PropertyVaultAnswersSizesAndShortBuffers) {
  auto vault = VideoStream(2).As<IWMPropertyVault>();
  WMT_ATTR_DATATYPE type{};
  DWORD size = 0;
  ASSERT_EQ(vault->GetPropertyByName(u"_COMPLEXITYEX", &type, nullptr, &size), S_OK);
  EXPECT_EQ(size, 4u);  // a default is there to be read before it is set
  WORD three = 3;
  ASSERT_EQ(vault->SetProperty(u"_COMPLEXITYEX", WMT_TYPE_WORD, reinterpret_cast<BYTE*>(&three), 2),
            S_OK);
  BYTE value[1];
  size = sizeof value;
  EXPECT_EQ(vault->GetPropertyByName(u"_COMPLEXITYEX", &type, value, &size), ASF_E_BUFFERTOOSMALL);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(type, WMT_TYPE_WORD);
  EXPECT_EQ(vault->GetPropertyByName(u"_NOSUCH", &type, nullptr, &size), NS_E_UNSUPPORTED_PROPERTY);
  DWORD count = 0;
  vault->GetPropertyCount(&count);
  EXPECT_EQ(count, 1u);
}

TEST_F(ProfileStreamsTest, NamesUseTheTwoCallConvention) {
  auto stream = VideoStream(2);
  stream->SetStreamName(u"Video Stream");
  WORD chars = 0;
  ASSERT_EQ(stream->GetStreamName(nullptr, &chars), S_OK);
  EXPECT_EQ(chars, 13);
  WCHAR small[4];
  chars = 4;
  EXPECT_EQ(stream->GetStreamName(small, &chars), ASF_E_BUFFERTOOSMALL);
  EXPECT_EQ(chars, 13);
}

}  // namespace
