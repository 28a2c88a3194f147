// Files written through the writer context's writer, read back with libavformat: container,
// codecs, sizes, frame counts, durations, and the title and description in the Content
// Description Object.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "WmWriterContext.h"
#include "WideString.h"

namespace {

constexpr int kWidth = 704;
constexpr int kHeight = 576;
constexpr int kFrames = 50;
constexpr REFERENCE_TIME kFrameTime = 400000;
constexpr int kAudioRate = 16000;
constexpr int kAudioBlockSamples = 640;  // 40 ms
constexpr char16_t kTitle[] = u"ASF Clip";
constexpr char16_t kDescription[] = u"Powered by Nivel Labs @_@";

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wmsinkXXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

struct Picture {
  GUID subtype;
  int width;
  int height;  // as in the format block: positive RGB is bottom-up
  WORD bits;
};

size_t PictureBytes(const Picture& p) {
  const int h = std::abs(p.height);
  if (p.subtype == WMMEDIASUBTYPE_YV12) return size_t(p.width) * h * 3 / 2;
  const size_t stride = (size_t(p.width) * p.bits / 8 + 3) & ~size_t{3};
  return stride * h;
}

// Soft waves with fine grain and a bright square moving across them: every frame differs and the encoder
// has motion and edges to work on, much as with camera pictures.
int Luma(int x, int y, int frame) {
  const int square = (x - frame * 6) % 400;
  const bool inside = square >= 0 && square < 64 && y / 64 == 3;
  return 110 + static_cast<int>(50 * std::sin((x + 3 * frame) / 40.0) * std::cos(y / 50.0)) +
         (inside ? 60 : 0) + ((x + 2 * frame) * 7 + y * 13) % 23;
}

void Paint(const Picture& p, int frame, BYTE* data) {
  const int height = std::abs(p.height);
  if (p.subtype == WMMEDIASUBTYPE_YV12) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < p.width; ++x) data[size_t(y) * p.width + x] = BYTE(Luma(x, y, frame));
    std::memset(data + size_t(p.width) * height, 128, size_t(p.width) * height / 2);
    return;
  }
  const int pixel = p.bits / 8;
  const size_t row = PictureBytes(p) / height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < p.width; ++x) {
      BYTE* px = data + y * row + size_t(x) * pixel;
      const int v = Luma(x, y, frame);
      px[0] = BYTE(v);
      px[1] = BYTE(v / 2 + 40);
      px[2] = BYTE(255 - v);
    }
}

HRESULT ConfigureInput(IWMWriter* writer, DWORD input, const GUID& subtype, const void* format,
                       size_t format_bytes) {
  DWORD formats = 0;
  if (HRESULT hr = writer->GetInputFormatCount(input, &formats); FAILED(hr)) return hr;
  for (DWORD i = 0; i < formats; ++i) {
    ComPtr<IWMInputMediaProps> props;
    writer->GetInputFormat(input, i, props.ReleaseAndGetAddressOf());
    MediaTypeBlock type;
    if (FAILED(type.ReadFrom(props)) || type.Type()->subtype != subtype) continue;
    std::memcpy(type.Type()->pbFormat, format, format_bytes);
    if (HRESULT hr = props->SetMediaType(type.Type()); FAILED(hr)) return hr;
    return writer->SetInputProps(input, props);
  }
  return NS_E_INVALID_INPUT_FORMAT;
}

HRESULT ConfigureVideo(WmWriterContext& context, const Picture& p) {
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = kFrameTime;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = p.width;
  info.bmiHeader.biHeight = p.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = p.bits;
  info.bmiHeader.biCompression = p.subtype == WMMEDIASUBTYPE_YV12 ? p.subtype.Data1 : BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(PictureBytes(p));
  return ConfigureInput(context.Writer(), context.VideoInput(), p.subtype, &info, sizeof info);
}

HRESULT ConfigureAudio(WmWriterContext& context) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 1;
  wave.nSamplesPerSec = kAudioRate;
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = 2;
  wave.nAvgBytesPerSec = kAudioRate * 2;
  return ConfigureInput(context.Writer(), context.AudioInput(), WMMEDIASUBTYPE_PCM, &wave,
                        sizeof wave);
}

void SetText(IWMHeaderInfo* header, const char16_t* name, const char16_t* text) {
  const size_t chars = std::char_traits<char16_t>::length(text);
  ASSERT_EQ(header->SetAttribute(0, name, WMT_TYPE_STRING, reinterpret_cast<const BYTE*>(text),
                                 static_cast<WORD>(chars * 2)),
            S_OK);
}

HRESULT WriteSample(IWMWriter* writer, DWORD input, REFERENCE_TIME time, const BYTE* data,
                    size_t size) {
  ComPtr<INSSBuffer> buffer;
  if (HRESULT hr = writer->AllocateSample(static_cast<DWORD>(size), buffer.ReleaseAndGetAddressOf());
      FAILED(hr))
    return hr;
  BYTE* target = nullptr;
  buffer->GetBuffer(&target);
  std::memcpy(target, data, size);
  return writer->WriteSample(input, time, WM_SF_CLEANPOINT, buffer);
}

// Writes kFrames pictures (and, with audio, as much 16 kHz sound) into `path`.
void WriteClip(WmWriterContext& context, const Picture& picture, const std::string& path) {
  IWMWriter* writer = context.Writer();
  ASSERT_TRUE(writer);
  ASSERT_EQ(ConfigureVideo(context, picture), S_OK);
  if (context.AudioEnabled()) {
    ASSERT_EQ(ConfigureAudio(context), S_OK);
  }
  ASSERT_EQ(writer->SetOutputFilename(Utf8ToWide(path).c_str()), S_OK);
  SetText(context.HeaderInfo(), u"Title", kTitle);
  SetText(context.HeaderInfo(), u"Description", kDescription);
  ASSERT_EQ(writer->BeginWriting(), S_OK);
  std::vector<BYTE> frame(PictureBytes(picture));
  std::vector<int16_t> sound(kAudioBlockSamples);
  for (int i = 0; i < kFrames; ++i) {
    Paint(picture, i, frame.data());
    ASSERT_EQ(WriteSample(writer, context.VideoInput(), i * kFrameTime, frame.data(), frame.size()),
              S_OK);
    if (!context.AudioEnabled()) continue;
    for (int s = 0; s < kAudioBlockSamples; ++s)
      sound[s] = static_cast<int16_t>(8000 * std::sin((i * kAudioBlockSamples + s) * 0.05));
    ASSERT_EQ(WriteSample(writer, context.AudioInput(), i * kFrameTime,
                          reinterpret_cast<const BYTE*>(sound.data()), sound.size() * 2),
              S_OK);
  }
  ASSERT_EQ(writer->EndWriting(), S_OK);
}

struct StreamSummary {
  AVCodecID codec = AV_CODEC_ID_NONE;
  int width = 0;
  int height = 0;
  int sample_rate = 0;
  int channels = 0;
  int packets = 0;
  int64_t first_pts = AV_NOPTS_VALUE;
  int64_t end_pts = 0;  // of the last packet, plus its duration (stream time base)
  AVRational time_base{};
};

struct FileSummary {
  std::string format;
  std::vector<StreamSummary> streams;
  std::string title;
  std::string comment;

  const StreamSummary* Of(AVMediaType type, const std::vector<AVMediaType>& types) const {
    for (size_t i = 0; i < streams.size(); ++i)
      if (types[i] == type) return &streams[i];
    return nullptr;
  }
  std::vector<AVMediaType> types;
};

FileSummary ReadBack(const std::string& path) {
  FileSummary summary;
  AVFormatContext* format = nullptr;
  EXPECT_EQ(avformat_open_input(&format, path.c_str(), nullptr, nullptr), 0);
  if (!format) return summary;
  avformat_find_stream_info(format, nullptr);
  summary.format = format->iformat->name;
  if (auto* e = av_dict_get(format->metadata, "title", nullptr, 0)) summary.title = e->value;
  if (auto* e = av_dict_get(format->metadata, "comment", nullptr, 0)) summary.comment = e->value;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVCodecParameters* par = format->streams[i]->codecpar;
    StreamSummary s;
    s.codec = par->codec_id;
    s.width = par->width;
    s.height = par->height;
    s.sample_rate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
    s.time_base = format->streams[i]->time_base;
    summary.streams.push_back(s);
    summary.types.push_back(par->codec_type);
  }
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(format, packet) >= 0) {
    StreamSummary& s = summary.streams[packet->stream_index];
    s.packets++;
    if (s.first_pts == AV_NOPTS_VALUE) s.first_pts = packet->pts;
    s.end_pts = std::max(s.end_pts, packet->pts + packet->duration);
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&format);
  return summary;
}

std::u16string Utf16Le(const std::vector<uint8_t>& bytes, size_t at, size_t length) {
  std::u16string text;
  for (size_t i = 0; i + 1 < length; i += 2) text += char16_t(bytes[at + i] | bytes[at + i + 1] << 8);
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

// Title and description from the Content Description Object in the file's header.
std::optional<std::pair<std::u16string, std::u16string>> ContentDescription(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  static const uint8_t kGuid[16] = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  constexpr size_t kHeaderPrefix = 30;
  for (size_t at = kHeaderPrefix; at + 34 <= bytes.size() && at < 65536;) {
    uint64_t size = 0;
    for (int i = 0; i < 8; ++i) size |= uint64_t(bytes[at + 16 + i]) << (8 * i);
    if (size < 24 || size > bytes.size() - at) return std::nullopt;
    if (std::memcmp(&bytes[at], kGuid, 16) == 0) {
      size_t lengths[5];
      size_t total = 34;
      for (int i = 0; i < 5; ++i) {
        lengths[i] = bytes[at + 24 + 2 * i] | bytes[at + 25 + 2 * i] << 8;
        total += lengths[i];
      }
      if (total != size) return std::nullopt;
      const size_t title = at + 34;
      const size_t description = title + lengths[0] + lengths[1] + lengths[2];
      return std::make_pair(Utf16Le(bytes, title, lengths[0]),
                            Utf16Le(bytes, description, lengths[3]));
    }
    at += size;
  }
  return std::nullopt;
}

struct Case {
  const char* name;
  WmSinkConfig config;
  Picture picture;
};

class AsfFileTest : public ::testing::TestWithParam<Case> {};

TEST_P(AsfFileTest, WritesPlayableFileWithWhatWasConfigured) {
  const Case& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("clip.wmv");
  WmWriterContext context;
  context.Build(c.config);
  WriteClip(context, c.picture, path);
  if (HasFatalFailure()) return;

  const FileSummary file = ReadBack(path);
  EXPECT_EQ(file.format, "asf");
  const StreamSummary* video = file.Of(AVMEDIA_TYPE_VIDEO, file.types);
  const StreamSummary* audio = file.Of(AVMEDIA_TYPE_AUDIO, file.types);
  ASSERT_TRUE(video);
  EXPECT_EQ(video->codec, AV_CODEC_ID_WMV2);
  EXPECT_EQ(video->width, kWidth);
  EXPECT_EQ(video->height, kHeight);
  EXPECT_EQ(video->packets, kFrames);
  const double seconds = double(video->end_pts - video->first_pts) * av_q2d(video->time_base);
  EXPECT_NEAR(seconds, kFrames * 0.04, 0.0015);
  if (c.config.audioEnabled) {
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->codec, AV_CODEC_ID_WMAV2);
    EXPECT_EQ(audio->sample_rate, kAudioRate);
    EXPECT_EQ(audio->channels, 1);
    EXPECT_GT(audio->packets, 0);
  } else {
    EXPECT_FALSE(audio);
  }
  EXPECT_EQ(file.title, "ASF Clip");
  EXPECT_EQ(file.comment, "Powered by Nivel Labs @_@");
  const auto content = ContentDescription(path);
  ASSERT_TRUE(content);
  EXPECT_EQ(content->first, kTitle);
  EXPECT_EQ(content->second, kDescription);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, AsfFileTest,
    ::testing::Values(
        Case{"Yv12CbrWithAudio", {kWidth, kHeight, 25, 1000000, TRUE, TRUE},
             {WMMEDIASUBTYPE_YV12, kWidth, kHeight, 12}},
        // Half-size bottom-up RGB, scaled up by the writer.
        Case{"Rgb24VbrWithAudio", {kWidth, kHeight, 25, 70, TRUE, FALSE},
             {WMMEDIASUBTYPE_RGB24, kWidth / 2, kHeight / 2, 24}},
        Case{"Rgb32CbrVideoOnly", {kWidth, kHeight, 25, 1000000, FALSE, TRUE},
             {WMMEDIASUBTYPE_RGB32, kWidth, -kHeight, 32}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(AsfFileRateTest, CbrFollowsTheBitRateAndVbrTheQuality) {
  TempDir dir;
  const Picture picture{WMMEDIASUBTYPE_YV12, kWidth, kHeight, 12};
  const auto size_of = [&](WmSinkConfig config, const char* name) {
    WmWriterContext context;
    context.Build(config);
    WriteClip(context, picture, dir.File(name));
    return std::filesystem::file_size(dir.File(name));
  };
  const auto low = size_of({kWidth, kHeight, 25, 300000, FALSE, TRUE}, "low.wmv");
  const auto high = size_of({kWidth, kHeight, 25, 3000000, FALSE, TRUE}, "high.wmv");
  const auto poor = size_of({kWidth, kHeight, 25, 10, FALSE, FALSE}, "poor.wmv");
  const auto fine = size_of({kWidth, kHeight, 25, 95, FALSE, FALSE}, "fine.wmv");
  EXPECT_LT(low * 3, high);
  EXPECT_LT(poor * 2, fine);
  // Within the buffer window: two seconds at 300 kbit/s may run at most three seconds'
  // worth ahead; a tenth more covers the container.
  EXPECT_LT(low, 300000u / 8 * (2 + 3) * 11 / 10);
}

}  // namespace
