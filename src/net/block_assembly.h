// TBlockAssembly: a block request whose header has been read, put together as its payload
// arrives. Payload bytes are split into lines at once (a line ends at CR, LF or CR LF; a NUL
// ends the text, what follows it is skipped), so a long block costs a little work per receive
// event instead of one long split at the end, and its lines take their own bytes plus four
// each.
#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/request_lines.h"

namespace fidora {

class TBlockAssembly {
 public:
  // Starts a block of `length` payload bytes (> 0) announced by a header of `header_bytes`
  // bytes. Room for `reserve` bytes of text is set aside (not touched until written).
  void Start(int64_t length, int header_bytes, int64_t reserve);
  bool Active() const { return active_; }
  // Payload bytes still to come.
  int64_t Remaining() const { return remaining_; }
  // Takes at most Remaining() of the bytes; returns how many it took.
  size_t Feed(std::string_view bytes);
  // The finished block's lines go to `request` (its old contents are dropped); the assembly
  // is free for the next block. Only when Active() and Remaining() is 0.
  void Finish(TRequestLines& request);
  // Bytes of the connection held here: the header and the payload received so far.
  int64_t HeldBytes() const { return active_ ? header_bytes_ + (length_ - remaining_) : 0; }
  // Forgets the block and gives its memory back.
  void Release();

 private:
  TRequestLines lines_;
  int64_t length_ = 0;
  int64_t remaining_ = 0;
  int header_bytes_ = 0;
  bool active_ = false;
  bool after_cr_ = false;  // the last byte fed ended a line with CR; an LF now belongs to it
  bool stopped_ = false;   // a NUL came: the rest of the payload is skipped
};

}  // namespace fidora
