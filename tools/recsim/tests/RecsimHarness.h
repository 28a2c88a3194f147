// Test harness for the simulator: recorder files with known bytes, a server in a temporary
// folder, and a plain-socket RTSP client that reads whole answers.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Net.h"
#include "Server.h"

namespace recsimtest {

using namespace std::chrono_literals;

struct RecordingShape {
  int frames = 25;
  int fps = 25;
  int keyEvery = 5;
};

// Writes a recorder file: FileHeader, then one group per frame (a video block of varying
// size and an audio block). Returns the bytes after the FileHeader (what media carries).
std::vector<uint8_t> WriteRecording(const std::filesystem::path& path, const RecordingShape& shape);

// The FileHeader every harness recording starts with.
std::vector<uint8_t> RecordingHeader();

struct Answer {
  std::string statusLine;
  int status = 0;
  std::map<std::string, std::string> headers;
  std::string body;
  std::string raw;
  std::string Header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
  }
};

class RtspClient {
 public:
  explicit RtspClient(uint16_t port);
  bool Connected() const { return fd_.Valid(); }

  void Send(const std::string& text);
  // The next whole answer, or nothing when none arrives in time or the server hung up.
  std::optional<Answer> Receive(std::chrono::milliseconds timeout = 3s);
  std::optional<Answer> Request(const std::string& text) {
    Send(text);
    return Receive();
  }
  // True when the server closed the connection within the timeout.
  bool ClosedWithin(std::chrono::milliseconds timeout);

 private:
  recsim::UniqueFd fd_;
  std::string pending_;
};

// A server over a fresh temporary folder holding "rec01.mp4" (25 frames at 25 fps) and a
// live channel folder "cam1" with the same file.
class ServerFixture {
 public:
  explicit ServerFixture(recsim::ServerOptions options = {});
  ~ServerFixture();

  recsim::Server& Get() { return *server_; }
  uint16_t Port() const { return server_->Port(); }
  std::string Url(const std::string& path) const;
  const std::vector<uint8_t>& Media() const { return media_; }
  const std::filesystem::path& Root() const { return root_; }

  // SETUP of `path` over TCP or UDP (client port `clientPort`), answer checked for 200.
  std::optional<Answer> Setup(RtspClient& client, const std::string& path, bool tcp,
                              uint16_t clientPort, int cseq = 1);
  // SETUP (CSeq 1), then PLAY from the start (CSeq 2); the SETUP answer.
  std::optional<Answer> SetupAndPlay(RtspClient& client, const std::string& path, bool tcp,
                                     uint16_t clientPort);

 private:
  std::filesystem::path root_;
  std::vector<uint8_t> media_;
  std::unique_ptr<recsim::Server> server_;
};

recsim::UniqueFd ConnectTcp(uint16_t port);

// Connects to the media port and reads until `count` bytes arrived, the server closed the
// connection or `timeout` passed.
std::vector<uint8_t> ReceiveTcpMedia(uint16_t serverPort, size_t count,
                                     std::chrono::milliseconds timeout);

// A UDP socket bound to 127.0.0.1 on a free port, to receive datagrams.
recsim::UniqueFd UdpReceiver(uint16_t& port);

// The server port announced in a SETUP answer's Transport.
uint16_t ServerPortOf(const Answer& answer);

}  // namespace recsimtest
