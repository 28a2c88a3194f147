// A windowed player fed a real recording: the stream reaches the player SDK, which decodes
// and plays it, reports the played time and saves a displayed picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "ClientFixture.h"
#include "Recording.h"

namespace streamclient::test {
namespace {

using namespace std::chrono_literals;

// The recording as the server sends it: the FileHeader, then the groups.
struct Recording {
  std::string header;
  std::string groups;
};

Recording Record() {
  recgen::Options options;
  options.codec = recgen::VideoCodec::Mpeg4;
  options.width = 176;
  options.height = 144;
  options.frames = 75;
  options.groupFrames = 5;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("client_rec_" + std::to_string(::getpid()));
  options.output = path.string();
  recgen::WriteRecording(options);
  std::ifstream in(path, std::ios::binary);
  const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::filesystem::remove(path);
  return {file.substr(0, recorder::kFileHeaderSize), file.substr(recorder::kFileHeaderSize)};
}

class WindowedPlaybackTest : public ClientFixture {
 protected:
  LoopbackRtspServer server_;
};

TEST_F(WindowedPlaybackTest, PlaysReportsTimeAndGrabsAPicture) {
  const Recording recording = Record();
  ASSERT_FALSE(recording.groups.empty());
  server_.SetStreamHeader(recording.header);
  const int handle = Track(QRLS_CreatePlayer(&sink_, 1, RecordData, RecordMessage, 0));
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url("/rec/file01").c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_TRUE(server_.SendMedia(recording.groups));
  ASSERT_TRUE(Host().WaitForStream(recording.groups.size(), 5000));
  EXPECT_EQ(Host().Stream(), recording.groups);  // the host sees the same bytes as the SDK

  int time = 0;
  for (int i = 0; i < 100 && time == 0; ++i) {
    ASSERT_EQ(QRLS_GetCurTime(handle, &time), 0);
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_GT(time, 0);

  const std::filesystem::path picture =
      std::filesystem::temp_directory_path() / ("client_grab_" + std::to_string(::getpid()) + ".bmp");
  ASSERT_EQ(QRLS_GrabPic(handle, picture.c_str(), 0), 0);
  std::ifstream in(picture, std::ios::binary);
  char magic[2] = {};
  in.read(magic, 2);
  EXPECT_EQ(std::string(magic, 2), "BM");
  std::filesystem::remove(picture);
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

}  // namespace
}  // namespace streamclient::test
