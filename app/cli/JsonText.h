// Minimal JSON output for the command line: escaped strings and one-line objects.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace recast::cli {

// `text` as a JSON string literal, quotes included. Bytes that are not valid UTF-8 (file names
// on Linux need not be) become U+FFFD so the output is always valid JSON.
std::string JsonString(std::string_view text);

// Builds {"key":value,...} in the order the fields are added.
class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view value);
  JsonObject& Add(std::string_view key, const char* value) {
    return Add(key, std::string_view(value));
  }
  JsonObject& Add(std::string_view key, bool value);
  template <std::integral T>
  requires(!std::same_as<T, bool>) JsonObject& Add(std::string_view key, T value) {
    return AddNumber(key, static_cast<int64_t>(value));
  }
  // A value that is already JSON (an array or object built apart), or null.
  JsonObject& AddRaw(std::string_view key, std::string_view json);
  JsonObject& AddNull(std::string_view key) { return AddRaw(key, "null"); }
  // A number with `decimals` digits after the point.
  JsonObject& AddFixed(std::string_view key, double value, int decimals);
  std::string Text() const { return body_ + "}"; }

 private:
  JsonObject& AddNumber(std::string_view key, int64_t value);
  void Key(std::string_view key);
  std::string body_ = "{";
};

}  // namespace recast::cli
