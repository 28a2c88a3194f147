#include "PlayerManager.h"

namespace streamclient {

PlayerManager& PlayerManager::Instance() {
  static PlayerManager manager;
  return manager;
}

int PlayerManager::Init() {
  std::lock_guard guard(lock_);
  if (initialised_) return 0;
  grabs_.Reset();
  freeIds_.clear();
  for (int id = 0; id < kMaxPlayers; ++id) freeIds_.push_back(id);
  pools_.udp.Fill(kFirstClientPort, kClientPortLimit);
  pools_.tcp.Fill(kFirstClientPort, kClientPortLimit);
  initialised_ = true;
  return 0;
}

int PlayerManager::Create(StreamSink* sink, int window, DataCallBack data, MsgFunc messages,
                          int transport) {
  std::lock_guard guard(lock_);
  if (inUse_ >= kMaxPlayers || freeIds_.empty()) return -1;
  const int id = freeIds_.front();
  freeIds_.pop_front();
  ++inUse_;
  auto player = std::make_unique<Player>();
  player->id = id;
  player->sink = sink;
  player->window = window;
  player->data = data;
  player->messages = messages;
  player->transport = transport;
  players_[id] = std::move(player);
  return id;
}

Player* PlayerManager::Find(int id) {
  std::lock_guard guard(lock_);
  const auto it = players_.find(id);
  return it == players_.end() ? nullptr : it->second.get();
}

void PlayerManager::Release(Player* player) {
  std::lock_guard guard(lock_);
  const auto it = players_.find(player->id);
  if (it == players_.end() || it->second.get() != player) return;
  freeIds_.push_back(player->id);
  --inUse_;
  players_.erase(it);
}

RtspTimings PlayerManager::Timings() {
  std::lock_guard guard(lock_);
  return timings_;
}

void PlayerManager::SetTimings(const RtspTimings& timings) {
  std::lock_guard guard(lock_);
  timings_ = timings;
}

}  // namespace streamclient
