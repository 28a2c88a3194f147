#include "PlayerFleet.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "client/StreamClient.h"

namespace clientload {
namespace {

constexpr int kMaxHandles = 100;  // the library's player table
constexpr int kTcpTransport = 0;
constexpr int kUdpTransport = 1;

struct Tally {
  std::atomic<uint64_t> received{0};
  std::atomic<uint64_t> mismatched{0};
};

std::array<Tally, kMaxHandles> g_tallies;
std::atomic<const std::string*> g_expected{nullptr};
std::atomic<int> g_disconnects{0};

int OnData(int handle, int, int dataType, unsigned char* buffer, int length) {
  const std::string* expected = g_expected.load();
  if (dataType != DATA_STREAM || handle < 0 || handle >= kMaxHandles || length <= 0 ||
      !expected)
    return 0;
  const auto size = static_cast<uint64_t>(length);
  Tally& tally = g_tallies[handle];
  const uint64_t offset = tally.received.fetch_add(size);
  if (offset > expected->size() || size > expected->size() - offset ||
      std::memcmp(expected->data() + offset, buffer, size) != 0)
    tally.mismatched += size;
  return 0;
}

int OnMessage(int, int msg, int, int) {
  if (msg == MSG_DISCONNECTED) ++g_disconnects;
  return 0;
}

}  // namespace

PlayerFleet::PlayerFleet(std::string stream) : stream_(std::move(stream)) {
  for (Tally& tally : g_tallies) {
    tally.received = 0;
    tally.mismatched = 0;
  }
  g_disconnects = 0;
  g_expected = &stream_;
}

PlayerFleet::~PlayerFleet() {
  StopAll();
  g_expected = nullptr;
}

int PlayerFleet::Open(int count, const std::string& url, bool udp) {
  if (InitStreamClientLib() != 0) return 0;
  for (int i = 0; i < count; ++i) {
    const int handle =
        QRLS_CreatePlayer(nullptr, 0, OnData, OnMessage, udp ? kUdpTransport : kTcpTransport);
    if (handle < 0) break;
    if (QRLS_OpenURL(handle, url.c_str(), 0) != 1) {
      QRLS_Destroy(handle);
      continue;
    }
    handles_.push_back(handle);
  }
  return static_cast<int>(handles_.size());
}

int PlayerFleet::Each(int (*call)(int handle), int success) {
  return static_cast<int>(std::count_if(handles_.begin(), handles_.end(),
                                        [&](int handle) { return call(handle) == success; }));
}

void PlayerFleet::StopAll() {
  for (int handle : handles_) QRLS_Stop(handle);
  handles_.clear();
}

FleetTotals PlayerFleet::Totals() const {
  FleetTotals totals;
  totals.players = static_cast<int>(handles_.size());
  for (int handle : handles_) {
    const uint64_t received = g_tallies[handle].received;
    totals.received += received;
    totals.mismatched += g_tallies[handle].mismatched;
    totals.lost += stream_.size() - std::min<uint64_t>(received, stream_.size());
    totals.complete += received >= stream_.size();
  }
  totals.disconnects = g_disconnects;
  return totals;
}

}  // namespace clientload
