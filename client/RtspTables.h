// The RTSP method and status tables. Indices are what messages store: a method index for
// requests (kMethodResponse for answers) and a status index for answers, -1 when the name or
// code is not in its table.
#pragma once

#include <string_view>

namespace streamclient {

constexpr int kMethodPlay = 2;
constexpr int kMethodOptions = 7;
constexpr int kMethodResponse = 10;
constexpr int kMethodUnknown = 11;

constexpr int kStatusOk = 1;           // index of "200"
constexpr int kStatusMovedPermanently = 5;  // index of "301"
constexpr int kStatusSeeOther = 7;          // index of "303"; "302" lies between
constexpr int kFirstErrorStatus = 10;  // indices from here on are 4xx and 5xx answers

int MethodIndex(std::string_view name);
// The name of a method index; indices outside the table give "UNKNOWN".
std::string_view MethodName(int index);

int StatusIndex(std::string_view code);
// Code and reason phrase of a status index; empty texts outside the table.
std::string_view StatusCode(int index);
std::string_view StatusReason(int index);

}  // namespace streamclient
