#include "SessionFeed.h"

#include <cstring>

#include "recorder/Trace.h"

namespace netsource {

SessionFeed::SessionFeed(std::shared_ptr<StreamReadyEvent> ready, SizeRule sizeRule,
                         FillTraces traces)
    : ready_(std::move(ready)), sizeRule_(sizeRule), traces_(traces) {}

void SessionFeed::OnHeaderBlock(const uint8_t* data, size_t length) {
  recorder::TraceF("收到文件头 dwBufSize = %d...........", static_cast<int>(length));
  if (data && length >= recorder::kFileHeaderSize) {
    std::lock_guard guard(headerLock_);
    std::memcpy(header_.data(), data, recorder::kFileHeaderSize);
  }
  Enqueue(data, length);
}

void SessionFeed::OnStreamBlock(const uint8_t* data, size_t length) {
  recorder::TraceF("收到实时流数据 dwBufSize = %d", static_cast<int>(length));
  if (!found_ && data) {
    bool matched;
    {
      std::lock_guard guard(headerLock_);
      matched = ProbeFirstGroup(data, length, header_, sizeRule_);
    }
    if (matched) {
      found_ = true;
      if (ready_) ready_->Set();
    }
  }
  Enqueue(data, length);
}

void SessionFeed::Enqueue(const uint8_t* data, size_t length) {
  if (!data || halted_) return;
  const bool traced = traces_ == FillTraces::NoNode;
  ProduceBlock(queue_, data, length, [&] {
    if (traced) {
      recorder::Trace(
          "********************************************DealNetData GetWrite Buffer pNode "
          "NULL!\n");
    }
    return halted_.load();
  });
}

void SessionFeed::Halt() {
  halted_ = true;
  queue_.WakeProducers();
}

std::array<uint8_t, recorder::kFileHeaderSize> SessionFeed::Header() const {
  std::lock_guard guard(headerLock_);
  return header_;
}

HRESULT SessionFeed::Fill(FillTarget& target, LONG bufferLimit) {
  if (traces_ == FillTraces::Announce) recorder::Trace("***Fill Video Buffer!\n");
  if (!target.data) return E_POINTER;
  BufferNode* node = queue_.Peek(1);
  if (!node) {
    if (traces_ == FillTraces::NoNode)
      recorder::Trace("&&&&&&&&&&&&&&&&&&&&&&&Fill Video Buffer pNode NULL!\n");
    return NETSRC_S_NODATA;
  }
  if (target.capacity < node->length) return E_UNEXPECTED;
  const uint32_t length = node->length;
  std::memcpy(target.data, node->data, length);
  if (bufferLimit < nodeCount_) {
    queue_.Retire(1);
    --nodeCount_;
  } else {
    queue_.Recycle(1);
  }
  target.length = length;
  if (traces_ == FillTraces::Announce)
    recorder::TraceF("Fill Video Buffer OK, %d\n", static_cast<int>(length));
  return S_OK;
}

}  // namespace netsource
