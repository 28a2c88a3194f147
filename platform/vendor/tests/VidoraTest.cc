#include "Vidora.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "FrameSink.h"
#include "TestStream.h"

extern "C" {
#include <libavformat/avformat.h>
}

using namespace std::chrono_literals;
using vendortest::MakeTestStream;
using vendortest::TestStream;
using vendortest::TestStreamOptions;

namespace {

constexpr DWORD kPool = 1310720;

// Sanitizers slow every thread many times over: pace limits are not checked under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
constexpr HWND kWindow = 4242;

// What the display callback and the frame sink saw, per port.
struct Seen {
  std::mutex lock;
  int displayed = 0;
  int painted = 0;
  LONG width = 0, height = 0, size = 0;
  std::vector<uint8_t> lastPicture;
};
Seen g_seen[VIDORA_MAX_PORT];

void OnDisplay(LONG port, BYTE* buffer, LONG size, LONG width, LONG height, LONG, LONG type,
               LONG) {
  ASSERT_EQ(type, VIDORA_FRAME_YV12);
  std::lock_guard guard(g_seen[port].lock);
  ++g_seen[port].displayed;
  g_seen[port].width = width;
  g_seen[port].height = height;
  g_seen[port].size = size;
  g_seen[port].lastPicture.assign(buffer, buffer + size);
}

void OnPaint(void* context, HWND, const FramePicture& picture) {
  auto* seen = static_cast<Seen*>(context);
  EXPECT_GT(picture.width, 0);
  std::lock_guard guard(seen->lock);
  ++seen->painted;
}

int Displayed(LONG port) {
  std::lock_guard guard(g_seen[port].lock);
  return g_seen[port].displayed;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// Feeds the stream in odd-sized chunks, retrying while the source buffer is full.
void Feed(LONG port, const std::vector<uint8_t>& bytes, size_t chunk) {
  for (size_t at = 0; at < bytes.size(); at += chunk) {
    const DWORD n = static_cast<DWORD>(std::min(chunk, bytes.size() - at));
    while (!Vidora_InputData(port, const_cast<BYTE*>(bytes.data() + at), n))
      std::this_thread::sleep_for(1ms);
  }
}

class VidoraPlayTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(VidoraPlayTest, DecodesPacesAndDisplaysAFedStream) {
  const LONG port = GetParam() == recorder::kMagic4HLQ ? 7 : 8;
  TestStreamOptions options;
  options.magic = GetParam();
  TestStream stream = MakeTestStream(options);
  ASSERT_TRUE(RegisterFrameSink(kWindow + port, OnPaint, &g_seen[port]));

  ASSERT_TRUE(Vidora_SetStreamOpenMode(port, VIDORA_STREAM_FILE));
  ASSERT_TRUE(Vidora_SetDisplayCallBack(port, OnDisplay));
  ASSERT_TRUE(Vidora_OpenStream(port, stream.header.data(), 40, kPool));
  ASSERT_TRUE(Vidora_ResetSourceBuffer(port));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Vidora_Play(port, kWindow + port));
  Feed(port, stream.groups, 333);

  // 25 frames at 25 fps: about one second of stream, shown in about one second.
  ASSERT_TRUE(WaitFor([&] { return Displayed(port) == 25; }, 10s));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 850ms);
  EXPECT_TRUE(WaitFor([&] { return Vidora_GetPlayedTimeEx(port) == 1000; }, 5s))
      << Vidora_GetPlayedTimeEx(port);
  {
    std::lock_guard guard(g_seen[port].lock);
    EXPECT_EQ(g_seen[port].width, 176);
    EXPECT_EQ(g_seen[port].height, 144);
    EXPECT_EQ(g_seen[port].size, 176 * 144 * 3 / 2);
    EXPECT_EQ(g_seen[port].painted, 25);
  }
  EXPECT_TRUE(Vidora_RefreshPlay(port));
  EXPECT_EQ(g_seen[port].painted, 26);

  EXPECT_TRUE(Vidora_Stop(port));
  EXPECT_EQ(Vidora_GetPlayedTimeEx(port), 0u);
  EXPECT_TRUE(Vidora_CloseStream(port));
  EXPECT_FALSE(Vidora_Play(port, 0));
  UnregisterFrameSink(kWindow + port);
  Vidora_SetDisplayCallBack(port, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Codecs, VidoraPlayTest,
                         ::testing::Values(recorder::kMagic4MLQ, recorder::kMagic4HLQ));

TEST(VidoraTest, PauseHoldsAndFastDoublesThePace) {
  const LONG port = 11;
  TestStreamOptions options;
  options.frames = 60;
  TestStream stream = MakeTestStream(options);
  ASSERT_TRUE(Vidora_SetStreamOpenMode(port, VIDORA_STREAM_FILE));
  ASSERT_TRUE(Vidora_OpenStream(port, stream.header.data(), 40, kPool));
  Feed(port, stream.groups, 4999);
  EXPECT_FALSE(Vidora_Pause(port, 1)) << "not playing yet";
  ASSERT_TRUE(Vidora_Play(port, 0));
  ASSERT_TRUE(WaitFor([&] { return Vidora_GetPlayedTimeEx(port) >= 200; }, 5s));

  ASSERT_TRUE(Vidora_Pause(port, 1));
  // A frame under way may still be counted: wait until the played time stands still.
  DWORD held = Vidora_GetPlayedTimeEx(port);
  auto since = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitFor(
      [&] {
        if (Vidora_GetPlayedTimeEx(port) != held) {
          held = Vidora_GetPlayedTimeEx(port);
          since = std::chrono::steady_clock::now();
        }
        return std::chrono::steady_clock::now() - since >= 300ms;
      },
      5s));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(Vidora_GetPlayedTimeEx(port), held);

  ASSERT_TRUE(Vidora_Fast(port));
  ASSERT_TRUE(Vidora_Fast(port));
  ASSERT_TRUE(Vidora_Pause(port, 0));
  const auto start = std::chrono::steady_clock::now();
  const DWORD from = Vidora_GetPlayedTimeEx(port);
  // A second of stream; at four times the pace it takes a quarter of that.
  ASSERT_TRUE(WaitFor([&] { return Vidora_GetPlayedTimeEx(port) - from >= 1000; }, 10s));
  const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start).count();
  // Clearly more stream than wall time passed; a sanitizer may slow decoding below the pace.
  if (!kSanitized) {
    EXPECT_LT(wall, 700) << "1000 ms of stream took " << wall << " ms";
  }
  EXPECT_TRUE(Vidora_CloseStream(port));
}

TEST(VidoraTest, DamagedStreamsPlayOnPastTheDamage) {
  const LONG port = 12;
  TestStreamOptions options;
  options.magic = recorder::kMagic4HLQ;
  options.frames = 100;
  options.garbageBytes = 333;
  options.flips = 40;
  TestStream stream = MakeTestStream(options);
  ASSERT_TRUE(Vidora_SetStreamOpenMode(port, VIDORA_STREAM_FILE));
  ASSERT_TRUE(Vidora_SetDisplayCallBack(port, OnDisplay));
  ASSERT_TRUE(Vidora_OpenStream(port, stream.header.data(), 40, kPool));
  for (int i = 0; i < VIDORA_MAX_SPEED_STEP; ++i) ASSERT_TRUE(Vidora_Fast(port));
  EXPECT_FALSE(Vidora_Fast(port)) << "16 times is the limit";
  ASSERT_TRUE(Vidora_Play(port, 0));
  Feed(port, stream.groups, 777);
  // Four seconds of stream at 16 times the pace; the groups the flips broke are lost, the
  // decoder recovers at the next key frame.
  EXPECT_TRUE(WaitFor([&] { return Displayed(port) >= 40; }, 10s)) << Displayed(port);
  EXPECT_GE(Vidora_GetPlayedTimeEx(port), 1600u);
  EXPECT_TRUE(Vidora_CloseStream(port));
  Vidora_SetDisplayCallBack(port, nullptr);
}

TEST(VidoraTest, RefusesBadPortsHeadersAndOverfullInput) {
  TestStream stream = MakeTestStream({});
  BYTE bytes[16] = {};
  EXPECT_FALSE(Vidora_OpenStream(-1, stream.header.data(), 40, kPool));
  EXPECT_FALSE(Vidora_OpenStream(VIDORA_MAX_PORT, stream.header.data(), 40, kPool));
  EXPECT_FALSE(Vidora_OpenStream(20, stream.header.data(), 39, kPool));
  auto unknown = stream.header;
  unknown[0] = 'X';
  EXPECT_FALSE(Vidora_OpenStream(20, unknown.data(), 40, kPool));
  EXPECT_FALSE(Vidora_InputData(20, bytes, sizeof bytes)) << "not open";
  EXPECT_FALSE(Vidora_Play(100, 0));
  EXPECT_EQ(Vidora_GetPlayedTimeEx(20), 0u);

  ASSERT_TRUE(Vidora_OpenStream(20, stream.header.data(), 40, VIDORA_MIN_SOURCE_BUFFER));
  EXPECT_FALSE(Vidora_OpenStream(20, stream.header.data(), 40, kPool)) << "already open";
  EXPECT_TRUE(Vidora_SetStreamOpenMode(20, VIDORA_STREAM_FILE)) << "for the next stream";
  EXPECT_FALSE(Vidora_Fast(20)) << "a live stream has one speed";
  std::vector<uint8_t> big(VIDORA_MIN_SOURCE_BUFFER - 10);
  EXPECT_TRUE(Vidora_InputData(20, big.data(), static_cast<DWORD>(big.size())));
  EXPECT_FALSE(Vidora_InputData(20, bytes, sizeof bytes)) << "does not fit";
  EXPECT_TRUE(Vidora_ResetSourceBuffer(20));
  EXPECT_TRUE(Vidora_InputData(20, bytes, sizeof bytes));
  EXPECT_TRUE(Vidora_CloseStream(20));
  EXPECT_FALSE(Vidora_CloseStream(20));
  ASSERT_TRUE(Vidora_OpenStream(20, stream.header.data(), 40, kPool));
  EXPECT_TRUE(Vidora_Fast(20)) << "opened as a file stream";
  EXPECT_TRUE(Vidora_CloseStream(20));
  EXPECT_TRUE(Vidora_SetStreamOpenMode(20, VIDORA_STREAM_REALTIME));
}

TEST(VidoraTest, SoundIsExclusiveOrShared) {
  TestStream stream = MakeTestStream({});
  ASSERT_TRUE(Vidora_OpenStream(30, stream.header.data(), 40, kPool));
  ASSERT_TRUE(Vidora_OpenStream(31, stream.header.data(), 40, kPool));
  EXPECT_FALSE(Vidora_PlaySound(32)) << "not open";
  EXPECT_TRUE(Vidora_PlaySoundShare(30));
  EXPECT_TRUE(Vidora_PlaySoundShare(31));
  EXPECT_TRUE(Vidora_PlaySound(30));
  EXPECT_FALSE(Vidora_StopSoundShare(31)) << "exclusive sound ended the shared one";
  EXPECT_FALSE(Vidora_PlaySoundShare(31));
  EXPECT_TRUE(Vidora_StopSound());
  EXPECT_FALSE(Vidora_StopSound());
  EXPECT_TRUE(Vidora_SetVolume(30, VIDORA_MAX_VOLUME));
  EXPECT_TRUE(Vidora_CloseStream(30));
  EXPECT_TRUE(Vidora_CloseStream(31));
  EXPECT_FALSE(Vidora_SetVolume(30, 1));
}

// Decodes a picture file back with libavformat's image reader `reader` and returns its
// size. The reader is named: probing by content may take picture bytes for raw audio.
std::pair<int, int> DecodedSize(const std::string& path, const char* reader) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), av_find_input_format(reader), nullptr) < 0)
    return {0, 0};
  std::pair<int, int> size{0, 0};
  if (avformat_find_stream_info(format, nullptr) >= 0 && format->nb_streams == 1)
    size = {format->streams[0]->codecpar->width, format->streams[0]->codecpar->height};
  avformat_close_input(&format);
  return size;
}

TEST(VidoraTest, PictureFilesDecodeBackAtTheirSize) {
  const LONG port = 40;
  TestStreamOptions options;
  options.width = 98;  // a BMP row of 294 bytes needs padding
  options.height = 64;
  options.frames = 3;
  TestStream stream = MakeTestStream(options);
  ASSERT_TRUE(Vidora_SetDisplayCallBack(port, OnDisplay));
  ASSERT_TRUE(Vidora_OpenStream(port, stream.header.data(), 40, kPool));
  Feed(port, stream.groups, 1000);
  ASSERT_TRUE(Vidora_Play(port, 0));
  ASSERT_TRUE(WaitFor([&] { return Displayed(port) >= 1; }, 5s));
  ASSERT_TRUE(Vidora_CloseStream(port));

  Seen& seen = g_seen[port];
  const auto dir = std::filesystem::temp_directory_path() / ("vidora" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string bmp = dir / "grab.bmp";
  const std::string jpeg = dir / "grab.jpg";
  ASSERT_TRUE(Vidora_ConvertToBmpFile(seen.lastPicture.data(), seen.size, seen.width,
                                      seen.height, VIDORA_FRAME_YV12, bmp.c_str()));
  ASSERT_TRUE(Vidora_ConvertToJpegFile(seen.lastPicture.data(), seen.size, seen.width,
                                       seen.height, VIDORA_FRAME_YV12, jpeg.c_str()));
  EXPECT_EQ(DecodedSize(bmp, "bmp_pipe"), std::make_pair(98, 64));
  EXPECT_EQ(DecodedSize(jpeg, "jpeg_pipe"), std::make_pair(98, 64));
  EXPECT_EQ(std::filesystem::file_size(bmp), 14u + 40u + 296u * 64u);

  EXPECT_FALSE(Vidora_ConvertToBmpFile(seen.lastPicture.data(), seen.size - 1, seen.width,
                                       seen.height, VIDORA_FRAME_YV12, bmp.c_str()));
  EXPECT_FALSE(Vidora_ConvertToBmpFile(seen.lastPicture.data(), seen.size, seen.width,
                                       seen.height, 99, bmp.c_str()));
  EXPECT_FALSE(Vidora_ConvertToJpegFile(seen.lastPicture.data(), seen.size, seen.width,
                                        seen.height, VIDORA_FRAME_YV12,
                                        (dir / "missing" / "x.jpg").c_str()));
  std::filesystem::remove_all(dir);
  Vidora_SetDisplayCallBack(port, nullptr);
}

}  // namespace
