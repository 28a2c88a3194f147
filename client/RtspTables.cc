#include "RtspTables.h"

#include <array>
#include <utility>

namespace streamclient {

namespace {
constexpr std::array<std::string_view, 12> kMethods = {
    "SETUP",   "TEARDOWN", "PLAY",          "PAUSE",         "RECORD",   "DESCRIBE",
    "ANNOUNCE", "OPTIONS", "SET_PARAMETER", "GET_PARAMETER", "RESPONSE", "UNKNOWN"};

constexpr std::array<std::pair<std::string_view, std::string_view>, 45> kStatuses = {{
    {"100", "Continue"},
    {"200", "OK"},
    {"201", "Created"},
    {"250", "Low On Storage Space"},
    {"300", "Multiple Choices"},
    {"301", "Moved Permanently"},
    {"302", "Moved Temporarily"},
    {"303", "See Other"},
    {"304", "Not Modified"},
    {"305", "Use Proxy"},
    {"400", "Bad Request"},
    {"401", "Unauthorized"},
    {"402", "Payment Required"},
    {"403", "Forbidden"},
    {"404", "Not Found"},
    {"405", "Method Not Allowed"},
    {"406", "Not Acceptable"},
    {"407", "Proxy Authentication Required"},
    {"408", "Request Time-out"},
    {"409", "Conflict"},
    {"410", "Gone"},
    {"411", "Length Required"},
    {"412", "Precondition Failed"},
    {"413", "Request Entity Too Large"},
    {"414", "Request-URI Too Large"},
    {"415", "Unsupported Media Type"},
    {"451", "Parameter Not Understood"},
    {"452", "Conference Not Found"},
    {"453", "Not Enough Bandwidth"},
    {"454", "Session Not Found"},
    {"455", "Method Not Valid In This State"},
    {"456", "Header Field Not Valid For Resource"},
    {"457", "Invalid Range"},
    {"458", "Parameter Is Read-Only"},
    {"459", "Aggregate Operation Not Allowed"},
    {"460", "Only Aggregate Operation Allowed"},
    {"461", "Unsupported Transport"},
    {"462", "Destination Unreachable"},
    {"500", "Internal Server Error"},
    {"501", "Not Implemented"},
    {"502", "Bad Gateway"},
    {"503", "Service Unavailable"},
    {"504", "Gateway Time-out"},
    {"505", "RTSP Version not supported"},
    {"551", "Option not supported"},
}};

bool InStatusTable(int index) { return index >= 0 && index < static_cast<int>(kStatuses.size()); }
}  // namespace

int MethodIndex(std::string_view name) {
  for (size_t i = 0; i < kMethods.size(); ++i) {
    if (kMethods[i] == name) return static_cast<int>(i);
  }
  return -1;
}

std::string_view MethodName(int index) {
  if (index < 0 || index >= static_cast<int>(kMethods.size())) return kMethods[kMethodUnknown];
  return kMethods[index];
}

int StatusIndex(std::string_view code) {
  for (size_t i = 0; i < kStatuses.size(); ++i) {
    if (kStatuses[i].first == code) return static_cast<int>(i);
  }
  return -1;
}

std::string_view StatusCode(int index) { return InStatusTable(index) ? kStatuses[index].first : ""; }

std::string_view StatusReason(int index) {
  return InStatusTable(index) ? kStatuses[index].second : "";
}

}  // namespace streamclient
