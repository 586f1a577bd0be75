// Owned byte strings for the short texts of records: URL components, query keys and values. Up to
// 24 bytes live inside the object, so the usual text costs no allocation and is copied with a few
// word moves; a longer one lives on the heap. Not NUL-terminated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/bytes.h"

namespace zq {

class Text {
 public:
  static constexpr std::size_t kInlineCapacity = 24;
  static_assert(kInlineCapacity <= 24, "short texts are copied by copy_short_bytes");

  Text() noexcept = default;
  Text(std::string_view text) { init(text.data(), text.size()); }
  Text(const char* text) : Text(std::string_view(text)) {}
  Text(const std::string& text) : Text(std::string_view(text)) {}
  Text(const Text& other) {
    if (other.on_heap()) {
      init(other.heap_, other.size_);
    } else {
      // The whole inline block, whatever the length: two word-pair moves, no branch on size.
      std::memcpy(inline_, other.inline_, kInlineCapacity);
      size_ = other.size_;
    }
  }
  Text(Text&& other) noexcept { take(other); }
  Text& operator=(const Text& other) {
    assign(other.view());
    return *this;
  }
  Text& operator=(Text&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~Text() { release(); }

  // Replaces the bytes with `text`, which may point into this Text: a short copy whose source
  // lies at or after its destination is copied whole.
  void assign(std::string_view text) {
    if (text.size() <= kInlineCapacity && !on_heap()) {
      copy_short_bytes(inline_, text.data(), text.size());
      size_ = text.size();
      return;
    }
    assign_slow(text.data(), text.size());
  }

  const char* data() const noexcept { return on_heap() ? heap_ : inline_; }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  std::string_view view() const noexcept { return {data(), size_}; }
  operator std::string_view() const noexcept { return view(); }
  char operator[](std::size_t i) const noexcept { return data()[i]; }

  // Writes the bytes at `out` and returns their end. An inline text is written as its whole
  // inline block, whatever its length, so `out` needs room for kInlineCapacity bytes even when
  // the text is shorter (the bytes past its end are left undefined): the copy then has no branch
  // on the length. For writers that size their output with that slack, such as the URL printer.
  char* write_to(char* out) const noexcept {
    const std::size_t n = size_;  // read before the bytes written, which may alias it
    if (n > kInlineCapacity) [[unlikely]] {
      std::memcpy(out, heap_, n);
    } else {
      std::memcpy(out, inline_, kInlineCapacity);
    }
    return out + n;
  }

  // Lengths first: texts of other lengths, the usual case, differ without a look at the bytes.
  friend bool operator==(const Text& a, const Text& b) noexcept { return a == b.view(); }
  friend bool operator==(const Text& a, std::string_view b) noexcept {
    return a.size_ == b.size() && (b.empty() || std::memcmp(a.data(), b.data(), b.size()) == 0);
  }
  friend bool operator==(const Text& a, const char* b) noexcept { return a.view() == std::string_view(b); }
  friend bool operator==(const Text& a, const std::string& b) noexcept { return a.view() == std::string_view(b); }

 private:
  bool on_heap() const noexcept { return size_ > kInlineCapacity; }

  void init(const char* text, std::size_t n) {
    if (n <= kInlineCapacity) {
      copy_short_bytes(inline_, text, n);
    } else {
      heap_ = allocate_copy(text, n);
    }
    size_ = n;
  }
  void take(Text& other) noexcept {
    std::memcpy(inline_, other.inline_, kInlineCapacity);
    size_ = other.size_;
    other.size_ = 0;
  }
  void release() noexcept {
    if (on_heap()) delete[] heap_;
  }

  // Out of line: the heap cases, rare for the texts this type holds.
  static char* allocate_copy(const char* text, std::size_t n);
  void assign_slow(const char* text, std::size_t n);

  // Zeroed when made, so that whole-block copies never read bytes nothing wrote.
  union {
    char inline_[kInlineCapacity] = {};
    char* heap_;  // while size_ > kInlineCapacity
  };
  std::size_t size_ = 0;
};

}  // namespace zq
