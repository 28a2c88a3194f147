#include <gtest/gtest.h>

#include "ConvertParams.h"

using namespace recast;

TEST(ConvertParams, EstimatedSourceBitRate) {
  constexpr int64_t kSeconds100 = 1'000'000'000;  // 100 s in 100 ns units
  EXPECT_EQ(EstimateSourceBitRate(10'485'760, kSeconds100), 858'993u);
  EXPECT_EQ(EstimateSourceBitRate(0, kSeconds100), 1'000'000u);
  EXPECT_EQ(EstimateSourceBitRate(4'000'000'000u, 10'000'000), 1'000'000u);  // implausible
  EXPECT_EQ(EstimateSourceBitRate(1000, 0), 1'000'000u);                     // no duration
  // 5 GiB in an hour: the whole size counts, not its low 32 bits (which would give 2.4 Mbit/s).
  EXPECT_EQ(EstimateSourceBitRate(uint64_t{5} << 30, 36'000'000'000LL), 12'216'795u);
}

TEST(ConvertParams, StandardFromOutputSize) {
  EXPECT_EQ(StandardFromSize(704, 288, VideoStandard::Ntsc), VideoStandard::Pal);
  EXPECT_EQ(StandardFromSize(704, 480, VideoStandard::Pal), VideoStandard::Ntsc);
  EXPECT_EQ(StandardFromSize(176, 120, VideoStandard::Pal), VideoStandard::Ntsc);
  EXPECT_EQ(StandardFromSize(160, 120, VideoStandard::Ntsc), VideoStandard::Pal);
  EXPECT_EQ(StandardFromSize(640, 480, VideoStandard::Ntsc), VideoStandard::Ntsc);  // unknown
  EXPECT_EQ(StandardFromSize(640, 480, VideoStandard::Pal), VideoStandard::Pal);
}

TEST(ConvertParams, DefaultsSpareAChosenVbrSizeAndRefuseNoBitRate) {
  VideoSettings settings;
  JobDefaults job{false, 352, 288, 858'993, true, false};
  EXPECT_EQ(ApplyDefaults(settings, job), DefaultsOutcome::Applied);
  EXPECT_EQ(settings.bitRateKbps, 858u);
  EXPECT_EQ(settings.GetParams().rate, 858'000);

  settings.width = 640;  // chosen by the user
  job.cbr = false;
  EXPECT_EQ(ApplyDefaults(settings, job), DefaultsOutcome::Skipped);
  EXPECT_EQ(settings.width, 640);

  VideoSettings fresh;
  job.estimatedBitRate = 999;
  EXPECT_EQ(ApplyDefaults(fresh, job), DefaultsOutcome::NoBitRate);
  EXPECT_EQ(fresh.bitRateKbps, 0u);

  fresh.SetRateMode(false, true);
  const ParamBlock block = fresh.GetParams();
  EXPECT_EQ(block.constantBitRate, 0);
  EXPECT_EQ(block.one, 1);
  EXPECT_EQ(block.rate, 85);  // the quality
}
