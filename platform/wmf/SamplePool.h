// Sample buffers (INSSBuffer) for IWMWriter::AllocateSample. A released buffer goes back to
// its pool and is handed out again, so a writer fed at a steady rate stops allocating after
// its first few samples. Buffers may outlive the pool; they are then simply deleted.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "Wmsdk.h"

class SampleBuffer;

class SamplePool : public std::enable_shared_from_this<SamplePool> {
 public:
  static std::shared_ptr<SamplePool> Create() { return std::shared_ptr<SamplePool>(new SamplePool); }
  ~SamplePool();

  // A buffer of at least `size` bytes with its length set to `size`.
  HRESULT Allocate(DWORD size, INSSBuffer** buffer);

 private:
  friend class SampleBuffer;
  SamplePool() = default;
  void Recycle(SampleBuffer* buffer);

  std::mutex lock_;                  // guards idle_
  std::vector<SampleBuffer*> idle_;  // owned; handed out again by Allocate
};
