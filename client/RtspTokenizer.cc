#include "RtspTokenizer.h"

namespace streamclient {

namespace {
constexpr std::string_view kWordBreaks = " \t=:;,-";
constexpr char kQuote = '"';
constexpr char kEscape = '\\';

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsControl(char c) { return static_cast<uint8_t>(c) < 0x20 || c == 0x7f; }
bool IsLineEndByte(char c) { return c == '\r' || c == '\n'; }
}  // namespace

void Tokenizer::SkipBlanks() {
  while (pos_ < data_.size() && IsBlank(data_[pos_])) ++pos_;
}

bool Tokenizer::ConsumeLineEnd() {
  if (pos_ >= data_.size() || !IsLineEndByte(data_[pos_])) return false;
  const char first = data_[pos_++];
  const char partner = first == '\r' ? '\n' : '\r';
  if (pos_ < data_.size() && data_[pos_] == partner) ++pos_;
  return true;
}

Token Tokenizer::QuotedWord() {
  const size_t start = ++pos_;  // past the opening quote
  while (pos_ < data_.size() && data_[pos_] != kQuote) {
    if (data_[pos_] == kEscape && pos_ + 1 < data_.size() && data_[pos_ + 1] == kQuote) ++pos_;
    ++pos_;
  }
  Token token;
  token.view = data_.substr(start, pos_ - start);
  if (pos_ < data_.size()) ++pos_;  // the closing quote
  token.terminator = pos_ < data_.size() ? static_cast<uint8_t>(data_[pos_]) : kEndMark;
  return token;
}

Token Tokenizer::NextWord() {
  SkipBlanks();
  Token token;
  token.view = data_.substr(pos_, 0);
  if (AtEnd()) return token;
  if (ConsumeLineEnd()) {
    token.terminator = kLineEnd;
    return token;
  }
  if (data_[pos_] == kQuote) return QuotedWord();
  const size_t start = pos_;
  while (pos_ < data_.size() && !IsControl(data_[pos_]) &&
         kWordBreaks.find(data_[pos_]) == std::string_view::npos) {
    ++pos_;
  }
  token.view = data_.substr(start, pos_ - start);
  if (pos_ < data_.size()) token.terminator = static_cast<uint8_t>(data_[pos_]);
  return token;
}

Token Tokenizer::Next(std::string_view delimiters) {
  SkipBlanks();
  Token token;
  const size_t start = pos_;
  size_t pieceStart = pos_;
  auto flushPiece = [&] { token.joined.append(data_.substr(pieceStart, pos_ - pieceStart)); };
  while (pos_ < data_.size()) {
    const char c = data_[pos_];
    if (IsLineEndByte(c)) {
      const size_t lineEnd = pos_;
      ConsumeLineEnd();
      const bool continues = pos_ < data_.size() && IsBlank(data_[pos_]);
      const bool nothingRead = lineEnd == start;
      if (!continues || nothingRead) {
        if (token.folded) {
          pos_ = lineEnd;
          flushPiece();
          ConsumeLineEnd();
        }
        token.view = data_.substr(start, lineEnd - start);
        token.terminator = kLineEnd;
        return token;
      }
      const size_t consumed = pos_;
      pos_ = lineEnd;
      flushPiece();
      pos_ = consumed;
      token.folded = true;
      SkipBlanks();
      pieceStart = pos_;
      continue;
    }
    if (delimiters.find(c) != std::string_view::npos) {
      if (token.folded) flushPiece();
      token.view = data_.substr(start, pos_ - start);
      token.terminator = static_cast<uint8_t>(c);
      ++pos_;
      return token;
    }
    ++pos_;
  }
  if (token.folded) flushPiece();
  token.view = data_.substr(start, pos_ - start);
  token.terminator = kEndMark;
  return token;
}

}  // namespace streamclient
