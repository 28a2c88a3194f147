#include "FaultPlan.h"

#include "RequestReader.h"

namespace recsim {
namespace {

constexpr int kMinStatus = 100;
constexpr int kMaxStatus = 999;

}  // namespace

const MethodFault* FaultPlan::For(const std::string& method) const {
  auto found = byMethod.find(method);
  if (found == byMethod.end()) found = byMethod.find("*");
  return found == byMethod.end() ? nullptr : &found->second;
}

bool FaultPlan::AddRule(std::string_view rule, std::string& error) {
  const size_t colon = rule.find(':');
  if (colon == std::string_view::npos || colon == 0) {
    error = "a fault is METHOD:KIND[=VALUE]";
    return false;
  }
  const std::string method(rule.substr(0, colon));
  std::string_view kind = rule.substr(colon + 1);
  std::optional<long> value;
  if (const size_t equals = kind.find('='); equals != std::string_view::npos) {
    value = LeadingNumber(kind.substr(equals + 1));
    kind = kind.substr(0, equals);
    if (!value || *value < 0) {
      error = "fault value is not a number";
      return false;
    }
  }
  MethodFault& fault = byMethod[method];
  if (kind == "status" && value && *value >= kMinStatus && *value <= kMaxStatus) {
    fault.status = static_cast<int>(*value);
  } else if (kind == "delay" && value) {
    fault.delay = std::chrono::milliseconds(*value);
  } else if (kind == "silent") {
    fault.answerLimit = value.value_or(0);
  } else if (kind == "malformed" && !value) {
    fault.malformed = true;
  } else if (kind == "oversized" && !value) {
    fault.oversized = true;
  } else if (kind == "late" && value) {
    fault.late = std::chrono::milliseconds(*value);
  } else if (kind == "stale" && !value) {
    fault.stale = true;
  } else if (kind == "redirect" && value) {
    fault.redirects = *value;
  } else {
    error = "unknown fault '" + std::string(rule) + "'";
    return false;
  }
  return true;
}

}  // namespace recsim
