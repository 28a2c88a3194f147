// The writer's inputs, its refusals, its sample buffers, the picture layouts it reads, and
// how it lays audio out in time.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "ComPtr.h"
#include "InputFormats.h"
#include "OwnedMediaType.h"
#include "WideString.h"
#include "Wmsdk.h"

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wmfXXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::u16string File(const char* name) const { return Utf8ToWide((path_ / name).string()); }

 private:
  std::filesystem::path path_;
};

// A stream with the codec's first format (for audio: the first 16 kHz mono one).
ComPtr<IWMStreamConfig> Stream(IWMProfileManager* manager, IWMProfile* profile, REFGUID type,
                               WORD number, const char16_t* connection) {
  auto info = ComPtr<IWMProfileManager>(manager).As<IWMCodecInfo>();
  DWORD formats = 0;
  info->GetCodecFormatCount(type, 0, &formats);
  for (DWORD j = 0; j < formats; ++j) {
    ComPtr<IWMStreamConfig> format;
    info->GetCodecFormat(type, 0, j, format.ReleaseAndGetAddressOf());
    OwnedMediaType media;
    ReadMediaType(format.As<IWMMediaProps>(), &media);
    const auto* wave = media.FormatAs<WAVEFORMATEX>();
    if (type == WMMEDIATYPE_Audio && (wave->nSamplesPerSec != 16000 || wave->nChannels != 1))
      continue;
    ComPtr<IWMStreamConfig> stream;
    profile->CreateNewStream(type, stream.ReleaseAndGetAddressOf());
    WM_MEDIA_TYPE t = media.Get();
    stream.As<IWMMediaProps>()->SetMediaType(&t);
    stream->SetStreamNumber(number);
    stream->SetConnectionName(connection);
    stream->SetBitrate(500000);
    return stream;
  }
  return nullptr;
}

ComPtr<IWMWriter> Writer(bool video, bool audio) {
  ComPtr<IWMProfileManager> manager;
  WMCreateProfileManager(manager.ReleaseAndGetAddressOf());
  ComPtr<IWMProfile> profile;
  manager->CreateEmptyProfile(WMT_VER_9_0, profile.ReleaseAndGetAddressOf());
  if (video) {
    EXPECT_EQ(profile->AddStream(Stream(manager, profile, WMMEDIATYPE_Video, 2, u"Video")), S_OK);
  }
  if (audio) {
    EXPECT_EQ(profile->AddStream(Stream(manager, profile, WMMEDIATYPE_Audio, 1, u"Audio")), S_OK);
  }
  ComPtr<IWMWriter> writer;
  WMCreateWriter(nullptr, writer.ReleaseAndGetAddressOf());
  EXPECT_EQ(writer->SetProfile(profile), S_OK);
  return writer;
}

HRESULT Write(IWMWriter* writer, DWORD input, REFERENCE_TIME time, size_t size, DWORD flags = 0) {
  ComPtr<INSSBuffer> buffer;
  if (HRESULT hr = writer->AllocateSample(static_cast<DWORD>(size), buffer.ReleaseAndGetAddressOf());
      FAILED(hr))
    return hr;
  BYTE* data = nullptr;
  buffer->GetBuffer(&data);
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<BYTE>(i * 31);
  return writer->WriteSample(input, time, flags, buffer);
}

OwnedMediaType InputType(IWMWriter* writer, DWORD input, DWORD format) {
  ComPtr<IWMInputMediaProps> props;
  EXPECT_EQ(writer->GetInputFormat(input, format, props.ReleaseAndGetAddressOf()), S_OK);
  OwnedMediaType type;
  ReadMediaType(props, &type);
  return type;
}

HRESULT SetInput(IWMWriter* writer, DWORD input, const OwnedMediaType& type) {
  ComPtr<IWMInputMediaProps> props;
  writer->GetInputProps(input, props.ReleaseAndGetAddressOf());
  WM_MEDIA_TYPE t = type.Get();
  if (HRESULT hr = props->SetMediaType(&t); FAILED(hr)) return hr;
  return writer->SetInputProps(input, props);
}

TEST(WriterInputsTest, OneInputPerStreamWithTheUncompressedFormats) {
  auto writer = Writer(true, true);
  DWORD inputs = 0;
  writer->GetInputCount(&inputs);
  ASSERT_EQ(inputs, 2u);
  ComPtr<IWMInputMediaProps> props;
  writer->GetInputProps(1, props.ReleaseAndGetAddressOf());
  WCHAR name[16];
  WORD chars = 16;
  ASSERT_EQ(props->GetConnectionName(name, &chars), S_OK);
  EXPECT_EQ(std::u16string(name), u"Audio");

  DWORD formats = 0;
  writer->GetInputFormatCount(0, &formats);
  const std::vector<GUID> expected = {WMMEDIASUBTYPE_IYUV,  WMMEDIASUBTYPE_YV12,
                                      WMMEDIASUBTYPE_YUY2,  WMMEDIASUBTYPE_UYVY,
                                      WMMEDIASUBTYPE_YVYU,  WMMEDIASUBTYPE_YVU9,
                                      WMMEDIASUBTYPE_RGB32, WMMEDIASUBTYPE_RGB24,
                                      WMMEDIASUBTYPE_RGB565, WMMEDIASUBTYPE_RGB555};
  ASSERT_EQ(formats, expected.size());
  for (DWORD i = 0; i < formats; ++i) EXPECT_EQ(InputType(writer, 0, i).Get().subtype, expected[i]);
  EXPECT_EQ(InputType(writer, 1, 0).Get().subtype, WMMEDIASUBTYPE_PCM);
}

TEST(WriterInputsTest, RefusesInputTypesItCannotConvert) {
  auto writer = Writer(true, true);
  OwnedMediaType rgb = InputType(writer, 0, 7);
  WM_MEDIA_TYPE t = rgb.Get();
  t.subtype = WMMEDIASUBTYPE_RGB8;  // palettised
  EXPECT_EQ(SetInput(writer, 0, OwnedMediaType(t)), NS_E_INVALID_INPUT_FORMAT);
  rgb.MutableFormatAs<VIDEOINFOHEADER>()->bmiHeader.biBitCount = 16;  // not RGB24's depth
  EXPECT_EQ(SetInput(writer, 0, rgb), NS_E_INVALID_INPUT_FORMAT);
  rgb.MutableFormatAs<VIDEOINFOHEADER>()->bmiHeader.biBitCount = 24;
  rgb.MutableFormatAs<VIDEOINFOHEADER>()->bmiHeader.biWidth = 0;
  EXPECT_EQ(SetInput(writer, 0, rgb), NS_E_INVALID_INPUT_FORMAT);

  OwnedMediaType pcm = InputType(writer, 1, 0);
  WAVEFORMATEX* wave = pcm.MutableFormatAs<WAVEFORMATEX>();
  wave->wBitsPerSample = 24;
  wave->nBlockAlign = 3;
  EXPECT_EQ(SetInput(writer, 1, pcm), NS_E_INVALID_INPUT_FORMAT);
  wave->wBitsPerSample = 16;
  wave->nBlockAlign = 7;  // disagrees with the channels and depth
  EXPECT_EQ(SetInput(writer, 1, pcm), NS_E_INVALID_INPUT_FORMAT);
  wave->nBlockAlign = 2;
  EXPECT_EQ(SetInput(writer, 1, pcm), S_OK);
  EXPECT_EQ(SetInput(writer, 1, InputType(writer, 0, 0)), E_INVALIDARG);  // video on audio
}

TEST(WriterStateTest, WritesOnlyBetweenBeginAndEnd) {
  TempDir dir;
  auto writer = Writer(true, false);
  const size_t picture = InputType(writer, 0, 0).Get().lSampleSize;
  EXPECT_EQ(Write(writer, 0, 0, picture), NS_E_INVALID_REQUEST);
  EXPECT_EQ(writer->BeginWriting(), NS_E_NOT_CONFIGURED);  // no file name
  EXPECT_EQ(writer->SetOutputFilename(u"/nonexistent-dir/x.wmv"), S_OK);
  EXPECT_EQ(writer->BeginWriting(), NS_E_FILE_OPEN_FAILED);
  EXPECT_EQ(writer->SetOutputFilename(dir.File("a.wmv").c_str()), S_OK);
  ASSERT_EQ(writer->BeginWriting(), S_OK);
  EXPECT_EQ(writer->BeginWriting(), NS_E_INVALID_REQUEST);
  EXPECT_EQ(Write(writer, 0, 0, picture - 1), E_INVALIDARG);  // short picture: refused
  EXPECT_EQ(Write(writer, 1, 0, picture), E_INVALIDARG);      // no such input
  EXPECT_EQ(Write(writer, 0, 0, picture), S_OK);
  EXPECT_EQ(writer->EndWriting(), S_OK);
  EXPECT_EQ(writer->EndWriting(), NS_E_INVALID_REQUEST);
  EXPECT_GT(std::filesystem::file_size(std::filesystem::path(WideToUtf8(dir.File("a.wmv")))), 0u);
}

TEST(SampleBufferTest, ReleasedBuffersAreHandedOutAgain) {
  auto writer = Writer(true, false);
  ComPtr<INSSBuffer> first;
  ASSERT_EQ(writer->AllocateSample(1000, first.ReleaseAndGetAddressOf()), S_OK);
  INSSBuffer* raw = first.Get();
  first.Reset();
  ComPtr<INSSBuffer> second;
  ASSERT_EQ(writer->AllocateSample(800, second.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(second.Get(), raw);
  DWORD length = 0, max = 0;
  second->GetLength(&length);
  second->GetMaxLength(&max);
  EXPECT_EQ(length, 800u);
  EXPECT_GE(max, 1000u);
  EXPECT_EQ(second->SetLength(max + 1), E_INVALIDARG);
  writer.Reset();  // buffers may outlive their writer
  EXPECT_EQ(second->SetLength(10), S_OK);
}

TEST(PictureLayoutTest, MapsPlanesAsTheFormatsStoreThem) {
  BITMAPINFOHEADER header{};
  header.biWidth = 8;
  header.biHeight = 4;
  header.biBitCount = 12;
  PictureLayout yv12;
  ASSERT_EQ(MakePictureLayout(WMMEDIASUBTYPE_YV12, header, &yv12), S_OK);
  EXPECT_EQ(yv12.size, 48u);
  std::vector<BYTE> data(yv12.size);
  const uint8_t* planes[4];
  int strides[4];
  MapPicture(yv12, data.data(), planes, strides);
  EXPECT_EQ(planes[0], data.data());
  EXPECT_EQ(planes[2], data.data() + 32);  // V comes first in memory
  EXPECT_EQ(planes[1], data.data() + 40);
  EXPECT_EQ(strides[1], 4);

  header.biWidth = 3;
  header.biBitCount = 24;
  PictureLayout rgb;
  ASSERT_EQ(MakePictureLayout(WMMEDIASUBTYPE_RGB24, header, &rgb), S_OK);
  EXPECT_EQ(rgb.strides[0], 12);  // 9 bytes padded to whole 32-bit words
  EXPECT_EQ(rgb.size, 48u);
  MapPicture(rgb, data.data(), planes, strides);
  EXPECT_EQ(planes[0], data.data() + 36);  // bottom-up: the first row is stored last
  EXPECT_EQ(strides[0], -12);
  header.biHeight = -4;
  ASSERT_EQ(MakePictureLayout(WMMEDIASUBTYPE_RGB24, header, &rgb), S_OK);
  MapPicture(rgb, data.data(), planes, strides);
  EXPECT_EQ(planes[0], data.data());
  EXPECT_EQ(strides[0], 12);
  header.biHeight = INT32_MIN;
  EXPECT_EQ(MakePictureLayout(WMMEDIASUBTYPE_RGB24, header, &rgb), NS_E_INVALID_INPUT_FORMAT);
}

struct Packets {
  int count = 0;
  double seconds = 0;       // from the first packet's start to the last one's end
  double last_start = 0;    // the last packet's start, from the first's
};

// The packets of the file's first stream and the time they span.
Packets FirstStream(const std::string& path) {
  Packets result;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return result;
  avformat_find_stream_info(format, nullptr);
  AVPacket* packet = av_packet_alloc();
  int64_t first = AV_NOPTS_VALUE, end = 0, last = 0;
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == 0) {
      ++result.count;
      if (first == AV_NOPTS_VALUE) first = packet->pts;
      last = std::max(last, packet->pts);
      end = std::max(end, packet->pts + packet->duration);
    }
    av_packet_unref(packet);
  }
  const double unit = av_q2d(format->streams[0]->time_base);
  result.seconds = double(end - first) * unit;
  result.last_start = double(last - first) * unit;
  av_packet_free(&packet);
  avformat_close_input(&format);
  return result;
}

TEST(VideoTimeTest, PicturesFasterThanTheFrameRateAreDroppedNotStretched) {
  TempDir dir;
  auto writer = Writer(true, false);  // 30 frames per second
  writer->SetOutputFilename(dir.File("fast.wmv").c_str());
  const size_t picture = InputType(writer, 0, 0).Get().lSampleSize;
  ASSERT_EQ(writer->BeginWriting(), S_OK);
  for (int i = 0; i < 120; ++i)  // two seconds at 60 pictures per second
    ASSERT_EQ(Write(writer, 0, i * kSecond / 60, picture), S_OK);
  ASSERT_EQ(writer->EndWriting(), S_OK);
  const Packets video = FirstStream(WideToUtf8(dir.File("fast.wmv")));
  EXPECT_EQ(video.count, 60);
  EXPECT_NEAR(video.last_start, 59 / 30.0, 0.002);
}

// One second of sound, then one more that claims to start at three seconds.
double WriteAudioWithGap(const TempDir& dir, const char* name, DWORD second_flags) {
  auto writer = Writer(false, true);
  writer->SetOutputFilename(dir.File(name).c_str());
  EXPECT_EQ(writer->BeginWriting(), S_OK);
  constexpr size_t kBlock = 640 * 2;  // 40 ms
  for (int i = 0; i < 25; ++i) EXPECT_EQ(Write(writer, 0, i * kSecond / 25, kBlock), S_OK);
  for (int i = 0; i < 25; ++i)
    EXPECT_EQ(Write(writer, 0, 3 * kSecond + i * kSecond / 25, kBlock, i ? 0 : second_flags), S_OK);
  EXPECT_EQ(writer->EndWriting(), S_OK);
  return FirstStream(WideToUtf8(dir.File(name))).seconds;
}

TEST(AudioTimeTest, SoundRunsOnUnlessADiscontinuityOpensAGap) {
  TempDir dir;
  EXPECT_NEAR(WriteAudioWithGap(dir, "joined.wma", 0), 2.0, 0.1);
  EXPECT_NEAR(WriteAudioWithGap(dir, "gap.wma", WM_SF_DISCONTINUITY), 4.0, 0.1);
}

}  // namespace

// The first input format of `subtype`; its index through `index`.
bool FindInputFormat(IWMWriter* writer, REFGUID subtype, DWORD* index) {
  DWORD count = 0;
  writer->GetInputFormatCount(0, &count);
  for (DWORD i = 0; i < count; ++i) {
    if (InputType(writer, 0, i).Get().subtype == subtype) {
      *index = i;
      return true;
    }
  }
  return false;
}

// The first decoded picture of the file's first stream, in planar 4:2:0; the mean of each
// plane (Y, U, V).
std::vector<double> FirstPictureMeans(const std::string& path) {
  std::vector<double> means;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return means;
  avformat_find_stream_info(format, nullptr);
  const AVCodecParameters* parameters = format->streams[0]->codecpar;
  AVCodecContext* decoder = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
  avcodec_parameters_to_context(decoder, parameters);
  avcodec_open2(decoder, decoder->codec, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  bool decoded = false;
  while (!decoded && av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == 0 && avcodec_send_packet(decoder, packet) >= 0)
      decoded = avcodec_receive_frame(decoder, frame) == 0;
    av_packet_unref(packet);
  }
  for (int plane = 0; decoded && plane < 3; ++plane) {
    const int width = plane ? (frame->width + 1) / 2 : frame->width;
    const int height = plane ? (frame->height + 1) / 2 : frame->height;
    double sum = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) sum += frame->data[plane][y * frame->linesize[plane] + x];
    means.push_back(sum / (width * height));
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  return means;
}

// Pictures already planar 4:2:0 at the stream's size are encoded from the caller's buffer
// itself: the chroma planes must still come out in their places, and the writer must let go
// of the buffer when WriteSample returns (upstream waits for its buffers to come back).
TEST(InPlacePictureTest, Yv12PicturesKeepTheirPlanesAndComeBack) {
  TempDir dir;
  auto writer = Writer(true, false);
  DWORD yv12 = 0;
  ASSERT_TRUE(FindInputFormat(writer, WMMEDIASUBTYPE_YV12, &yv12));
  const OwnedMediaType type = InputType(writer, 0, yv12);
  ASSERT_EQ(SetInput(writer, 0, type), S_OK);
  const auto* video = type.FormatAs<VIDEOINFOHEADER>();
  ASSERT_NE(video, nullptr);
  const size_t luma = size_t(video->bmiHeader.biWidth) * std::abs(video->bmiHeader.biHeight);
  const size_t picture = luma * 3 / 2;
  writer->SetOutputFilename(dir.File("yv12.wmv").c_str());
  ASSERT_EQ(writer->BeginWriting(), S_OK);
  for (int i = 0; i < 5; ++i) {
    ComPtr<INSSBuffer> buffer;
    ASSERT_EQ(writer->AllocateSample(DWORD(picture), buffer.ReleaseAndGetAddressOf()), S_OK);
    BYTE* data = nullptr;
    buffer->GetBuffer(&data);
    std::fill(data, data + luma, BYTE{100});
    std::fill(data + luma, data + luma + luma / 4, BYTE{200});  // V first in YV12
    std::fill(data + luma + luma / 4, data + picture, BYTE{60});
    ASSERT_EQ(writer->WriteSample(0, QWORD(i * kSecond / 30), 0, buffer), S_OK);
    buffer->AddRef();
    EXPECT_EQ(buffer->Release(), 1u) << "picture " << i << " still held by the writer";
  }
  ASSERT_EQ(writer->EndWriting(), S_OK);
  const std::vector<double> means = FirstPictureMeans(WideToUtf8(dir.File("yv12.wmv")));
  ASSERT_EQ(means.size(), 3u);
  EXPECT_NEAR(means[0], 100, 4);
  EXPECT_NEAR(means[1], 60, 4);   // U
  EXPECT_NEAR(means[2], 200, 4);  // V
}
