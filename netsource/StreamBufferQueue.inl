// The producer's rule, a template so each session passes its own stop test without a call
// through a pointer per piece.
#pragma once

#include <algorithm>
#include <cstring>

namespace netsource {

// A producer re-checks its stop test at least this often while the queue stays full.
inline constexpr std::chrono::milliseconds kProducerWaitSlice{100};

template <typename GiveUp>
bool ProduceBlock(StreamBufferQueue& queue, const uint8_t* block, size_t length, GiveUp giveUp) {
  size_t done = 0;
  while (done < length) {
    const size_t piece = std::min<size_t>(length - done, kNodeBufferSize);
    BufferNode* node = queue.ReserveForWriting();
    if (!node) {
      if (giveUp()) return false;
      queue.WaitForRoom(kProducerWaitSlice);
      continue;
    }
    std::memcpy(node->data, block + done, piece);
    node->length = static_cast<uint32_t>(piece);
    queue.Commit(node);  // a flush may have cancelled it: the piece is then dropped with it
    done += piece;
  }
  return true;
}

}  // namespace netsource
