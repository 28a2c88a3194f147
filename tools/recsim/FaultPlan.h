// FaultPlan: the misbehaviour a test asks of the simulator. Rules are per request method
// ("*" for every method without a rule of its own), written on the command line as
// METHOD:KIND[=VALUE]:
//   status=CODE      answer with CODE instead of doing the request
//   delay=MS         wait MS milliseconds before answering
//   silent[=N]       answer the first N requests (default 0), then none at all
//   malformed        answer with a status line without a code and a header without a colon
//   oversized        answer with a header block far larger than a client's 1024-byte buffer
//   late=MS          send the answer MS milliseconds later, answering later requests meanwhile
//                    (so their answers overtake it)
//   stale            send an error answer carrying the previous CSeq before the real answer
//   redirect=N       (SETUP) answer with 302 to the next hop of the URL, N times, then serve
// and, for the media, byte counts after which the media or the control connection closes.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace recsim {

struct MethodFault {
  std::optional<int> status;
  std::chrono::milliseconds delay{0};
  std::optional<long> answerLimit;
  bool malformed = false;
  bool oversized = false;
  std::chrono::milliseconds late{0};
  bool stale = false;
  long redirects = 0;
};

struct FaultPlan {
  std::map<std::string, MethodFault> byMethod;
  uint64_t closeMediaAfter = 0;    // media bytes; 0 = never
  uint64_t closeControlAfter = 0;  // media bytes; 0 = never

  // The rule for a method, or nothing.
  const MethodFault* For(const std::string& method) const;

  // Adds one METHOD:KIND[=VALUE] rule; false with a reason when it does not parse.
  bool AddRule(std::string_view rule, std::string& error);
};

}  // namespace recsim
