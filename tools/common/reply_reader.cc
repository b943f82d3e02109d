#include "common/reply_reader.h"

#include <algorithm>
#include <cstring>

namespace fidora {
namespace {

constexpr char kBar = '\xA6';
constexpr std::string_view kProgress = "PROGRESS\xA6";
constexpr size_t kMaxLengthDigits = 18;  // fits in 64 bits

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

size_t ReplyReader::Feed(std::string_view bytes, ReplyListener* listener) {
  size_t pos = 0;
  while (pos < bytes.size() && state_ != State::kComplete) {
    const std::string_view rest = bytes.substr(pos);
    switch (state_) {
      case State::kLineStart:
        pos += ReadLineStart(rest, listener);
        break;
      case State::kProgressLine:
      case State::kTextReply:
        pos += ReadLine(rest, listener);
        break;
      case State::kHeaderRest:
        pos += ReadHeaderRest(rest);
        break;
      case State::kPayload:
        pos += ReadPayload(rest, listener);
        break;
      case State::kComplete:
        break;
    }
  }
  return pos;
}

// What the held first bytes of a line say it is, as far as they tell.
ReplyReader::LineKind ReplyReader::Classify() const {
  const std::string_view start(start_.data(), start_length_);
  if (start.size() <= kProgress.size() && kProgress.substr(0, start.size()) == start) {
    return start.size() == kProgress.size() ? LineKind::kProgress : LineKind::kUndecided;
  }
  if (start[0] != 'B') return LineKind::kText;
  if (start.size() == 1) return LineKind::kUndecided;
  if (start[1] != kBar) return LineKind::kText;
  for (size_t i = 2; i < start.size(); ++i) {
    if (IsDigit(start[i])) {
      if (i - 2 >= kMaxLengthDigits) return LineKind::kText;
      continue;
    }
    if (start[i] != kBar || i == 2) return LineKind::kText;
    return header_length_ > 0 ? LineKind::kHeader : LineKind::kText;
  }
  return LineKind::kUndecided;
}

size_t ReplyReader::ReadLineStart(std::string_view bytes, ReplyListener* listener) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n') {
      // A line too short to be anything else: a one-line reply.
      std::string_view text(start_.data(), start_length_);
      if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      state_ = State::kTextReply;
      Emit(text, true, listener);
      return i + 1;
    }
    start_[start_length_++] = c;
    if (start_length_ > 2 && IsDigit(c)) {
      header_length_ = header_length_ * 10 + static_cast<uint64_t>(c - '0');
    }
    switch (Classify()) {
      case LineKind::kUndecided:
        continue;
      case LineKind::kProgress:
        state_ = State::kProgressLine;
        Emit(std::string_view(start_.data(), start_length_), false, listener);
        return i + 1;
      case LineKind::kHeader:
        state_ = State::kHeaderRest;
        return i + 1;
      case LineKind::kText: {
        state_ = State::kTextReply;
        std::string_view text(start_.data(), start_length_);
        if (c == '\r') {
          text.remove_suffix(1);
          pending_cr_ = true;
        }
        Emit(text, false, listener);
        return i + 1;
      }
    }
  }
  return bytes.size();
}

// The rest of a progress line or of a one-line reply, up to its LF.
size_t ReplyReader::ReadLine(std::string_view bytes, ReplyListener* listener) {
  if (pending_cr_) {
    pending_cr_ = false;
    if (bytes[0] == '\n') {
      Emit({}, true, listener);
      return 1;
    }
    Emit("\r", false, listener);
  }
  const auto* lf = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
  if (lf) {
    std::string_view text(bytes.data(), static_cast<size_t>(lf - bytes.data()));
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    Emit(text, true, listener);
    return text.size() + (bytes[text.size()] == '\r' ? 2 : 1);
  }
  std::string_view text = bytes;
  if (text.back() == '\r') {
    text.remove_suffix(1);
    pending_cr_ = true;
  }
  Emit(text, false, listener);
  return bytes.size();
}

size_t ReplyReader::ReadHeaderRest(std::string_view bytes) {
  const auto* lf = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
  if (!lf) return bytes.size();
  info_.block = true;
  info_.block_length = header_length_;
  remaining_ = header_length_;
  state_ = State::kPayload;
  return static_cast<size_t>(lf - bytes.data()) + 1;
}

size_t ReplyReader::ReadPayload(std::string_view bytes, ReplyListener* listener) {
  const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining_, bytes.size()));
  const std::string_view chunk = bytes.substr(0, n);
  size_t i = 0;
  while (i < n) {
    if (after_cr_) {
      after_cr_ = false;
      if (chunk[i] == '\n') {
        ++i;
        continue;
      }
    }
    size_t j = i;
    while (j < n && chunk[j] != '\r' && chunk[j] != '\n') ++j;
    if (j == n) {
      Emit(chunk.substr(i), false, listener);
      break;
    }
    Emit(chunk.substr(i, j - i), true, listener);
    after_cr_ = chunk[j] == '\r';
    i = j + 1;
  }
  remaining_ -= n;
  if (remaining_ == 0) {
    if (line_open_) Emit({}, true, listener);  // the last line had no line end
    info_.ok = last_line_ok_;
    state_ = State::kComplete;
  }
  return n;
}

// Hands a piece to the listener and keeps the counts of the current line and reply.
void ReplyReader::Emit(std::string_view piece, bool line_end, ReplyListener* listener) {
  const bool progress = state_ == State::kProgressLine;
  if (!progress) TrackStatus(piece);
  if (listener && (line_end || !piece.empty())) {
    if (progress) {
      listener->OnProgress(piece, line_end);
    } else {
      listener->OnReplyLine(piece, line_end);
    }
  }
  if (!piece.empty()) line_open_ = true;
  if (line_end) EndLine();
}

void ReplyReader::TrackStatus(std::string_view piece) {
  for (size_t i = 0;
       i < piece.size() && status_match_ >= 0 && status_match_ < static_cast<int>(success_.size());
       ++i) {
    status_match_ =
        piece[i] == success_[static_cast<size_t>(status_match_)] ? status_match_ + 1 : -1;
  }
}

void ReplyReader::EndLine() {
  switch (state_) {
    case State::kProgressLine:
      ++info_.progress_lines;
      state_ = State::kLineStart;
      start_length_ = 0;
      header_length_ = 0;
      break;
    case State::kTextReply:
      EndReplyLine();
      info_.ok = last_line_ok_;
      state_ = State::kComplete;
      break;
    default:
      EndReplyLine();
      break;
  }
  line_open_ = false;
  status_match_ = 0;
}

void ReplyReader::EndReplyLine() {
  ++info_.lines;
  last_line_ok_ = status_match_ == static_cast<int>(success_.size());
}

}  // namespace fidora
