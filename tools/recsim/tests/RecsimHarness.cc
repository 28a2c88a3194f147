#include "RecsimHarness.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "RequestReader.h"
#include "recorder/StreamFormat.h"

namespace recsimtest {
namespace {

using namespace recorder;

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

recsim::UniqueFd ConnectTcp(uint16_t port) {
  recsim::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    return recsim::UniqueFd();
  return fd;
}

namespace {

// Splits an answer at the end of its header block and its Content-Length body.
std::optional<Answer> TakeAnswer(std::string& pending) {
  const size_t end = pending.find("\r\n\r\n");
  if (end == std::string::npos) return std::nullopt;
  Answer answer;
  std::string block = pending.substr(0, end + 2);
  size_t start = 0;
  for (size_t newline; (newline = block.find("\r\n", start)) != std::string::npos;
       start = newline + 2) {
    const std::string line = block.substr(start, newline - start);
    if (start == 0) {
      answer.statusLine = line;
      continue;
    }
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) answer.headers[line.substr(0, colon)] = line.substr(colon + 2);
  }
  const size_t space = answer.statusLine.find(' ');
  answer.status = space == std::string::npos
                      ? 0
                      : static_cast<int>(recsim::LeadingNumber(answer.statusLine.substr(space + 1))
                                             .value_or(0));
  const size_t length =
      static_cast<size_t>(recsim::LeadingNumber(answer.Header("Content-Length")).value_or(0));
  if (pending.size() < end + 4 + length) return std::nullopt;
  answer.body = pending.substr(end + 4, length);
  answer.raw = pending.substr(0, end + 4 + length);
  pending.erase(0, end + 4 + length);
  return answer;
}

}  // namespace

std::vector<uint8_t> RecordingHeader() {
  FileHeader header;
  header.magic = kMagic4HLQ;
  header.version = kVersionExplicitSize;
  header.systemType = kSystemVideoAudio;
  header.videoStandard = kStandardPal;
  header.videoResolution = 352 | 288 << 16;
  header.audioCodec = kAudioAdpcm;
  const auto bytes = Serialize(header);
  return {bytes.begin(), bytes.end()};
}

std::vector<uint8_t> WriteRecording(const std::filesystem::path& path, const RecordingShape& shape) {
  std::vector<uint8_t> media;
  for (int i = 0; i < shape.frames; ++i) {
    GroupHeader group;
    group.startCode = kGroupStartCode;
    group.word4 = 0x1000;
    group.audioWord = 0x1001;
    group.blockCountWord = 2;
    group.frameType = i % shape.keyEvery == 0 ? kFrameTypeKey : kFrameTypeOther;
    group.frameRateCode = kFrameRateBase + static_cast<uint32_t>(shape.fps);
    Append(media, Serialize(group));
    BlockHeader video;
    video.type = kBlockVideo1;
    video.length = 300 + static_cast<uint32_t>(i * 397 % 7000);
    Append(media, Serialize(video));
    for (uint32_t b = 0; b < video.length; ++b) media.push_back(static_cast<uint8_t>(b * 7 + i));
    BlockHeader audio;
    audio.type = kBlockAudio1;
    audio.length = 160;
    Append(media, Serialize(audio));
    media.insert(media.end(), audio.length, static_cast<uint8_t>(i));
  }
  std::vector<uint8_t> file = RecordingHeader();
  Append(file, media);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return media;
}

RtspClient::RtspClient(uint16_t port) : fd_(ConnectTcp(port)) {}

void RtspClient::Send(const std::string& text) {
  std::atomic<bool> never{false};
  recsim::SendAll(fd_.Get(), text, never);
}

std::optional<Answer> RtspClient::Receive(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto answer = TakeAnswer(pending_)) return answer;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !recsim::WaitReadable(fd_.Get(), left)) return std::nullopt;
    char chunk[4096];
    const ssize_t n = ::recv(fd_.Get(), chunk, sizeof chunk, 0);
    if (n <= 0) return std::nullopt;
    pending_.append(chunk, static_cast<size_t>(n));
  }
}

bool RtspClient::ClosedWithin(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (!recsim::WaitReadable(fd_.Get(), 50ms)) continue;
    char chunk[4096];
    if (::recv(fd_.Get(), chunk, sizeof chunk, 0) <= 0) return true;
  }
  return false;
}

ServerFixture::ServerFixture(recsim::ServerOptions options) {
  root_ = std::filesystem::temp_directory_path() /
          ("recsim" + std::to_string(::getpid()) + "_" +
           std::to_string(reinterpret_cast<uintptr_t>(this)));
  std::filesystem::create_directories(root_ / "cam1");
  media_ = WriteRecording(root_ / "rec01.mp4", {});
  WriteRecording(root_ / "cam1" / "loop.264", {});
  options.root = root_.string();
  std::string error;
  server_ = recsim::Server::Start(std::move(options), error);
  if (!server_) throw std::runtime_error(error);
}

ServerFixture::~ServerFixture() {
  server_.reset();
  std::filesystem::remove_all(root_);
}

std::string ServerFixture::Url(const std::string& path) const {
  return "rtsp://127.0.0.1:" + std::to_string(Port()) + path;
}

std::optional<Answer> ServerFixture::Setup(RtspClient& client, const std::string& path,
                                           bool tcp, uint16_t clientPort, int cseq) {
  const std::string port = std::to_string(clientPort);
  auto answer = client.Request(
      "SETUP " + Url(path) + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
      "\r\nTransport: RTP/AVP/" + (tcp ? "TCP" : "UDP") + ";unicast;client_port=" + port + "-" +
      std::to_string(clientPort + 1) + "\r\nUser-agent: Qrlplayer\r\n\r\n");
  EXPECT_TRUE(answer && answer->status == 200) << (answer ? answer->raw : "no answer");
  return answer;
}

std::optional<Answer> ServerFixture::SetupAndPlay(RtspClient& client, const std::string& path,
                                                  bool tcp, uint16_t clientPort) {
  auto setup = Setup(client, path, tcp, clientPort);
  if (!setup) return setup;
  const auto play = client.Request("PLAY " + Url(path) +
                                   " RTSP/1.0\r\nCSeq: 2\r\nRange: npt=0.0-\r\n\r\n");
  EXPECT_TRUE(play && play->status == 200);
  return setup;
}

std::vector<uint8_t> ReceiveTcpMedia(uint16_t serverPort, size_t count,
                                     std::chrono::milliseconds timeout) {
  std::vector<uint8_t> received;
  recsim::UniqueFd fd = ConnectTcp(serverPort);
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (received.size() < count && std::chrono::steady_clock::now() < end) {
    if (!recsim::WaitReadable(fd.Get(), 20ms)) continue;
    uint8_t chunk[5108];
    const ssize_t n = ::recv(fd.Get(), chunk, std::min(sizeof chunk, count - received.size()), 0);
    if (n <= 0) break;
    received.insert(received.end(), chunk, chunk + n);
  }
  return received;
}

recsim::UniqueFd UdpReceiver(uint16_t& port) {
  recsim::UniqueFd fd = recsim::BindUdp();
  const int size = 4 << 20;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  port = recsim::LocalPort(fd.Get());
  return fd;
}

uint16_t ServerPortOf(const Answer& answer) {
  const std::string transport = answer.Header("Transport");
  const size_t at = transport.find("server_port=");
  if (at == std::string::npos) return 0;
  return static_cast<uint16_t>(recsim::LeadingNumber(transport.substr(at + 12)).value_or(0));
}

}  // namespace recsimtest
