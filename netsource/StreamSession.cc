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

HRESULT StreamSession::FillBuffer(IMediaSample* sample) {
  if (!feed_) return NETSRC_S_NODATA;
  return feed_->Fill(sample, pin_ ? pin_->BufferLimit() : kDefaultNodeCount);
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

HRESULT SessionHolder::Bind(std::unique_ptr<StreamSession> session) {
  if (!session || session_) return E_FAIL;
  session_ = std::move(session);
  return S_OK;
}

void SessionHolder::WaitForData(std::chrono::milliseconds timeout) {
  if (session_) session_->WaitForData(timeout);
  else std::this_thread::sleep_for(timeout);
}

}  // namespace netsource
