// Splits RTSP text into tokens. A token is a view into the data plus the byte that ended it:
// LF for any line end (CR, LF, CR LF, LF CR), kEndMark at the end of the data, otherwise the
// delimiter itself. Leading spaces and tabs are skipped before every token.
//
// Word mode reads one word of a start line; delimiter mode reads up to a byte of a given set
// and joins folded lines (a line end followed by blanks), which is the only case where a token
// owns its bytes instead of viewing them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace streamclient {

constexpr uint8_t kEndMark = 255;   // terminator at the end of the data
constexpr uint8_t kLineEnd = '\n';  // terminator for any line end

struct Token {
  std::string_view view;  // the bytes, when the token lies in one piece
  std::string joined;     // the content of a folded token
  bool folded = false;
  uint8_t terminator = kEndMark;

  std::string_view Text() const { return folded ? std::string_view(joined) : view; }
  bool Empty() const { return Text().empty(); }
};

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view data) : data_(data) {}

  Token NextWord();
  Token Next(std::string_view delimiters);

  size_t Position() const { return pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }

 private:
  void SkipBlanks();
  // Consumes a line end at the read position, if there is one.
  bool ConsumeLineEnd();
  Token QuotedWord();

  std::string_view data_;
  size_t pos_ = 0;
};

}  // namespace streamclient
