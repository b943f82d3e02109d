// Cuts the byte stream a client receives into replies.
//
// Before its reply the server may send any number of progress lines ("PROGRESS¦" + text + CR LF);
// they are not the reply. The reply is either one line ending in LF (a CR before the LF is not part
// of it), or a block: the header "B¦" + decimal length + "¦" + any text + CR LF, then exactly that
// many bytes of lines, each ending at CR, LF or CR LF. A header whose length is not a positive
// decimal number is a one-line reply, as the server treats such a header in a request.
//
// The reader keeps no text of its own: it hands out pieces of lines as they arrive and holds only
// a few bytes while it decides what a line is. Feeding it never allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fidora {

// Receives the lines the reader finds. A line may come in several pieces; the piece that ends it
// has `line_end` set (it may be empty). Line ends themselves are never part of a piece.
class ReplyListener {
 public:
  virtual ~ReplyListener() = default;
  // A progress line, "PROGRESS¦" included.
  virtual void OnProgress(std::string_view piece, bool line_end) = 0;
  // A line of the reply: the one line of a one-line reply, or a line of a block's payload.
  virtual void OnReplyLine(std::string_view piece, bool line_end) = 0;
};

struct ReplyInfo {
  bool block = false;         // the reply came as a block
  uint64_t block_length = 0;  // the length its header announced
  uint32_t lines = 0;         // reply lines (1 for a one-line reply)
  uint32_t progress_lines = 0;
  bool ok = false;  // the last reply line begins with the success text ("STAT¦OK¦")
};

class ReplyReader {
 public:
  static constexpr std::string_view kStatusOk = "STAT\xA6OK\xA6";

  ReplyReader() = default;
  // `success` is what the last line of a successful reply begins with instead of "STAT¦OK¦"
  // (another server's reply, "+PONG"); it must outlive the reader.
  explicit ReplyReader(std::string_view success) : success_(success) {}

  // Reads on into the current reply and stops right after its last byte. Returns the number of
  // bytes consumed: all of them, unless the reply was complete before their end (the rest belongs
  // to whatever follows the reply). `listener` may be null.
  size_t Feed(std::string_view bytes, ReplyListener* listener);

  bool complete() const { return state_ == State::kComplete; }
  // What the reply was; meaningful once complete().
  const ReplyInfo& info() const { return info_; }
  // Forgets the reply, ready for the next one.
  void Reset() { *this = ReplyReader(success_); }

 private:
  enum class State { kLineStart, kProgressLine, kTextReply, kHeaderRest, kPayload, kComplete };
  enum class LineKind { kUndecided, kProgress, kHeader, kText };

  size_t ReadLineStart(std::string_view bytes, ReplyListener* listener);
  size_t ReadLine(std::string_view bytes, ReplyListener* listener);
  size_t ReadHeaderRest(std::string_view bytes);
  size_t ReadPayload(std::string_view bytes, ReplyListener* listener);

  LineKind Classify() const;
  void Emit(std::string_view piece, bool line_end, ReplyListener* listener);
  void TrackStatus(std::string_view piece);
  void EndReplyLine();
  void EndLine();

  std::string_view success_ = kStatusOk;
  State state_ = State::kLineStart;
  ReplyInfo info_;
  // The first bytes of a line, held until they tell a progress line, a block header and a one-line
  // reply apart: at most "B¦" + 18 digits + "¦".
  std::array<char, 24> start_{};
  size_t start_length_ = 0;
  uint64_t header_length_ = 0;
  bool pending_cr_ =
      false;  // a CR ended the last piece of a line; it belongs to the text unless LF follows
  bool after_cr_ = false;  // in a payload: the last byte was a CR, so an LF now ends nothing
  bool line_open_ =
      false;  // in a payload: bytes of a line have been handed out since the last line end
  uint64_t remaining_ = 0;  // payload bytes still to come
  int status_match_ = 0;    // bytes of the success text the line begins with; -1 once it differs
  bool last_line_ok_ = false;
};

}  // namespace fidora
