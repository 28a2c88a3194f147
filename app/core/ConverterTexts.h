// The messages of the converter and their captions, and how they reach the user: the window
// shows a message box with one OK button, the batch command line prints them to stderr.
#pragma once

#include <functional>
#include <string_view>

namespace recast {

using MessageSink = std::function<void(std::string_view text, std::string_view caption)>;

namespace texts {

constexpr std::string_view kCaptionAttention = "Attention";
constexpr std::string_view kCaptionAttentionBang = "Attention!";

constexpr std::string_view kFiltersMissing = "Have not install necessary filter(s)!";
constexpr std::string_view kConfigVideoFailed = "Failed to config video!";
constexpr std::string_view kConfigAudioFailed = "Failed to config audio!";
constexpr std::string_view kLinkError = "无法开始转换，filter 链接错误!";
constexpr std::string_view kCannotStart = "Cannot start convert!";
constexpr std::string_view kComFailed = "Failed to initialze COM";

}  // namespace texts
}  // namespace recast
