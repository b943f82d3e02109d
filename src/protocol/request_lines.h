// TRequestLines: the lines of one request, kept compactly: all their bytes in one buffer and
// the end offset of each line, so a block of millions of short lines costs its own bytes plus
// four per line rather than a string object per line. Lines are read by index (as a copy, or
// as a view valid until the list changes) and looked up by NAME=value like TLines.
//
// A request is built whole (`AddLine`) or streamed: bytes go to the open line (`AppendOpen`)
// until `CloseLine` makes it the next line. Only closed lines are part of the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/text_lines.h"

namespace fidora {

class TRequestLines {
 public:
  TRequestLines() = default;
  TRequestLines(std::initializer_list<std::string_view> lines);
  explicit TRequestLines(const TLines& lines);
  TRequestLines& operator=(std::initializer_list<std::string_view> lines);
  TRequestLines& operator=(const TLines& lines);

  size_t size() const { return ends_.size(); }
  int Count() const { return static_cast<int>(ends_.size()); }
  bool empty() const { return ends_.empty(); }

  // Line i (0-based; i < size()).
  std::string_view View(size_t i) const {
    const uint32_t start = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_.data() + start, ends_[i] - start);
  }
  // Copies of lines, const so that assigning to one (which would change nothing) does not
  // compile.
  const std::string operator[](size_t i) const { return std::string(View(i)); }
  const std::string front() const { return (*this)[0]; }
  const std::string back() const { return (*this)[size() - 1]; }

  // The value of the first line of the form NAME=value whose name equals `name` without
  // regard to case; empty when there is none.
  std::string Value(std::string_view name) const;
  // Index of that line; -1 when there is none.
  int IndexOfName(std::string_view name) const;
  TLines ToLines() const;

  // Empties the list and the open line; the memory stays for the next request.
  void clear();
  // Empties the list and gives its memory back.
  void Release();
  // Adds a whole line (after the open line's bytes, if any: do not mix the two ways).
  void AddLine(std::string_view line);
  void push_back(std::string_view line) { AddLine(line); }
  // Adds bytes to the open line.
  void AppendOpen(std::string_view bytes) { text_.append(bytes); }
  // Bytes of the open line so far.
  size_t OpenLength() const { return text_.size() - (ends_.empty() ? 0 : ends_.back()); }
  // The open line becomes the last line of the list (an empty one too).
  void CloseLine();
  // Makes room for `bytes` more bytes of text without growing step by step.
  void Reserve(size_t bytes) { text_.reserve(text_.size() + bytes); }

  // Bytes held: the text and the line index.
  size_t MemoryBytes() const { return text_.capacity() + ends_.capacity() * sizeof(uint32_t); }

  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::string;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string;
    const_iterator() = default;
    const_iterator(const TRequestLines* lines, size_t at) : lines_(lines), at_(at) {}
    std::string operator*() const { return (*lines_)[at_]; }
    const_iterator& operator++() {
      ++at_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++at_;
      return before;
    }
    difference_type operator-(const const_iterator& other) const {
      return static_cast<difference_type>(at_) - static_cast<difference_type>(other.at_);
    }
    bool operator==(const const_iterator& other) const { return at_ == other.at_; }

   private:
    const TRequestLines* lines_ = nullptr;
    size_t at_ = 0;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  friend bool operator==(const TRequestLines& a, const TRequestLines& b);

 private:
  std::string text_;
  std::vector<uint32_t> ends_;  // end offset of each closed line in text_
};

}  // namespace fidora
