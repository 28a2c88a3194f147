#include "StreamSession.h"

#include <cstring>
#include <thread>

namespace netsource {

StreamSession::StreamSession(const SessionContext& context, std::shared_ptr<SessionFeed> feed)
    : pin_(context.pin), ready_(context.ready), feed_(std::move(feed)) {}

std::shared_ptr<SessionFeed> StreamSession::MakeFeed(const SessionContext& context,
                                                     SizeRule sizeRule, FillTraces traces) {
  return std::make_shared<SessionFeed>(context.ready, sizeRule, traces);
}

HRESULT StreamSession::FillBuffer(FillTarget& target) {
  if (!feed_) return NETSRC_S_NODATA;
  return feed_->Fill(target, pin_ ? pin_->BufferLimit() : kDefaultNodeCount);
}

bool StreamSession::GetHeader(uint8_t* destination) {
  if (!destination) return false;
  HeaderBytes header{};
  if (feed_) header = feed_->Header();
  std::memcpy(destination, header.data(), header.size());
  return true;
}

void StreamSession::WaitForData(std::chrono::milliseconds timeout) {
  if (feed_) feed_->Queue().WaitForData(timeout);
  else std::this_thread::sleep_for(timeout);
}

void StreamSession::WakeConsumer() {
  if (feed_) feed_->Queue().WakeConsumer();
}

}  // namespace netsource
