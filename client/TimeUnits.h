// The API's time unit is 1/64 second; the player SDK counts milliseconds.
#pragma once

#include <cstdint>

namespace streamclient {

constexpr int64_t kTimeUnitsPerSecond = 64;

// Computed in 64 bits: ms * 64 overflows 32 bits after about 18.6 hours of play.
constexpr int PlayedMsToUnits(uint32_t ms) {
  return static_cast<int>(static_cast<int64_t>(ms) * kTimeUnitsPerSecond / 1000);
}

}  // namespace streamclient
