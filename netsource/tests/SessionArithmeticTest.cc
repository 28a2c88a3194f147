// The numbers the sessions send to and take from their back ends: seek percentages of a
// recorder playback, server seek positions in 1/64 s, and server total times.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecorderPlaybackSession.h"
#include "SessionHolder.h"
#include "ServerSink.h"
#include "ServerStreamSession.h"
#include "recorder/Trace.h"

namespace netsource {
namespace {

constexpr LONGLONG kSecond = 10'000'000;

TEST(SessionArithmetic, PlaybackSeekPercentIsClampedAndTruncated) {
  EXPECT_EQ(50u, SeekPercent(5 * kSecond, 10 * kSecond));
  EXPECT_EQ(33u, SeekPercent(kSecond, 3 * kSecond));
  EXPECT_EQ(0u, SeekPercent(0, 10 * kSecond));
  EXPECT_EQ(100u, SeekPercent(20 * kSecond, 10 * kSecond));  // past the end
  EXPECT_EQ(0u, SeekPercent(-kSecond, 10 * kSecond));
  EXPECT_EQ(0u, SeekPercent(kSecond, 0));  // no length known: no division by zero
}

TEST(SessionArithmetic, ServerSeekPositionCountsWholeSeconds) {
  EXPECT_EQ(5760, ServerSeekPosition(905 * kSecond / 10));  // 90.5 s
  EXPECT_EQ(0, ServerSeekPosition(kSecond - 1));
  EXPECT_EQ(64, ServerSeekPosition(kSecond));
}

std::vector<std::string> g_traces;
void Collect(const char* text, void*) { g_traces.emplace_back(text); }

TEST(SessionArithmetic, TotalTimeGivesWholeSecondsAndTracesItsFields) {
  EXPECT_EQ(36'000'000'000, DurationOfTotalTime(230400));
  EXPECT_EQ(10'000'000, DurationOfTotalTime(100));
  EXPECT_EQ(0, DurationOfTotalTime(0xFFFFFFFF));

  ServerSink sink;
  recorder::SetTraceHook(Collect);
  g_traces.clear();
  sink.OnTotalTime(230400);
  sink.OnTotalTime(230400 + 3840 * 2 + 64 * 3 + 10);
  sink.OnTotalTime(-1);
  recorder::SetTraceHook(nullptr);
  EXPECT_EQ((std::vector<std::string>{"total time: 1:0:0!\n", "total time: 1:2:3!\n"}), g_traces);
  EXPECT_EQ(0, sink.Duration());
  EXPECT_EQ(-1, sink.Opened());
  sink.OnPresentationOpened(1);
  EXPECT_EQ(1, sink.Opened());
}

TEST(SessionHolder, WithoutASessionEveryOperationFails) {
  SessionHolder holder;
  EXPECT_EQ(E_FAIL, holder.Bind(nullptr));
  EXPECT_EQ(E_FAIL, holder.Run());
  EXPECT_EQ(E_FAIL, holder.Pause());
  EXPECT_EQ(E_FAIL, holder.Stop());
  EXPECT_EQ(E_FAIL, holder.ChangeStart());
  FillTarget target;
  EXPECT_EQ(E_FAIL, holder.FillBuffer(target));
  uint8_t header[40];
  EXPECT_EQ(E_FAIL, holder.GetHeader(header));
  EXPECT_EQ(-1, holder.GetDuration());
  EXPECT_EQ(0, holder.BeforeFill());
  holder.AfterNoData();
  holder.OnStreamStart();
}

}  // namespace
}  // namespace netsource
