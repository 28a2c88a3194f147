// Settings in the registry: defaults, damaged values brought into range, the round trip the
// application relies on, and the module's registration where the converter finds the filters.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "ComRuntime.h"
#include "FfdshowIds.h"
#include "FfdshowSettings.h"
#include "MapperInterfaces.h"
#include "ModuleUnload.h"
#include "Registry.h"
#include "ScopedTestRegistry.h"
#include "TestKit.h"

TEST(FfdshowSettingsTest, DefaultsWithoutAKeyAndRangesForDamagedValues) {
  ScopedTestRegistry registry;
  const VideoEncoderSettings defaults = VideoEncoderSettings::Load();
  EXPECT_EQ(VideoEncoderSettings::kDefaultBitRate, defaults.bitRateKbps);
  EXPECT_EQ(0u, defaults.quantizer);
  EXPECT_EQ("FMP4", defaults.fourCC);
  EXPECT_EQ(0u, AudioProcessorSettings::Load().resampleRate);

  reg::SetDword(HKEY_CURRENT_USER, kVideoEncoderKey, kBitRateValue, 0);
  reg::SetDword(HKEY_CURRENT_USER, kVideoEncoderKey, kQuantizerValue, 99);
  reg::SetDword(HKEY_CURRENT_USER, kVideoEncoderKey, kKeyIntervalValue, 0);
  reg::SetString(HKEY_CURRENT_USER, kVideoEncoderKey, kFourCCValue, "TOOLONG");
  reg::SetString(HKEY_CURRENT_USER, kVideoEncoderKey, kThreadsValue, "not a number");
  reg::SetDword(HKEY_CURRENT_USER, kAudioProcessorKey, kResampleRateValue, 1);
  const VideoEncoderSettings damaged = VideoEncoderSettings::Load();
  EXPECT_EQ(VideoEncoderSettings::kMinBitRate, damaged.bitRateKbps);
  EXPECT_EQ(VideoEncoderSettings::kMaxQuantizer, damaged.quantizer);
  EXPECT_EQ(1u, damaged.keyInterval);
  EXPECT_EQ(VideoEncoderSettings{}.threads, damaged.threads);
  EXPECT_EQ("FMP4", damaged.fourCC);
  EXPECT_EQ(AudioProcessorSettings::kMinRate, AudioProcessorSettings::Load().resampleRate);
}

TEST(FfdshowSettingsTest, WhatIsSavedIsLoaded) {
  ScopedTestRegistry registry;
  VideoEncoderSettings settings;
  settings.bitRateKbps = 2500;
  settings.quantizer = 5;
  settings.keyInterval = 50;
  settings.threads = 4;
  settings.fourCC = "DX50";
  ASSERT_EQ(S_OK, settings.Save());
  const VideoEncoderSettings loaded = VideoEncoderSettings::Load();
  EXPECT_EQ(2500u, loaded.bitRateKbps);
  EXPECT_EQ(5u, loaded.quantizer);
  EXPECT_EQ(50u, loaded.keyInterval);
  EXPECT_EQ(4u, loaded.threads);
  EXPECT_EQ(MakeFourCC('D', 'X', '5', '0'), loaded.FourCCCode());
}

TEST(FfdshowModuleTest, RegistersWhereTheConverterLooksForTheFilters) {
  ScopedTestRegistry registry;
  ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  void* module = dlopen(FFDSHOW_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, module);
  auto registerServer = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"));
  ASSERT_NE(nullptr, registerServer);
  ASSERT_EQ(S_OK, registerServer());
  dlclose(module);

  auto encoder = filter_test::CreateByFriendlyName(CLSID_VideoCompressorCategory,
                                                   kFfdshowVideoEncoderName);
  auto processor = filter_test::CreateByFriendlyName(CLSID_LegacyAmFilterCategory,
                                                     kFfdshowAudioProcessorName);
  ASSERT_TRUE(encoder);
  ASSERT_TRUE(processor);
  CLSID clsid;
  encoder->GetClassID(&clsid);
  EXPECT_EQ(CLSID_FfdshowVideoEncoder, clsid);
  processor->GetClassID(&clsid);
  EXPECT_EQ(CLSID_FfdshowAudioProcessor, clsid);
  // Not where the other one is.
  EXPECT_FALSE(filter_test::CreateByFriendlyName(CLSID_LegacyAmFilterCategory,
                                                 kFfdshowVideoEncoderName));
  encoder.Reset();
  processor.Reset();
  CoUninitialize();
}

TEST(FfdshowModuleTest, GoesWhenItsLastFilterIsReleased) {
  EXPECT_TRUE(CreatesAndUnloads(CLSID_FfdshowAudioProcessor, FFDSHOW_MODULE));
}
