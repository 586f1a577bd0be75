// A bounds-checked cursor over untrusted bytes: every read compares its size with the bytes
// that remain before touching them, and a failed read leaves the cursor where it was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "common/result.h"

namespace zq {

class ByteReader {
 public:
  explicit ByteReader(ByteView data) : data_(data) {}

  std::size_t offset() const { return offset_; }
  std::size_t remaining() const { return data_.size() - offset_; }
  // The unread bytes.
  ByteView rest() const { return data_.subspan(offset_); }

  // Truncated when no byte remains.
  Result<std::uint8_t> u8() {
    if (remaining() < 1) return WireError::truncated();
    return data_[offset_++];
  }

  // Truncated when fewer than two bytes remain.
  Result<std::uint16_t> u16be() {
    if (remaining() < 2) return WireError::truncated();
    const auto value = static_cast<std::uint16_t>((data_[offset_] << 8) | data_[offset_ + 1]);
    offset_ += 2;
    return value;
  }

  // The next `n` bytes as a view; Truncated when fewer remain.
  Result<ByteView> bytes(std::size_t n) {
    if (remaining() < n) return WireError::truncated();
    const ByteView view = data_.subspan(offset_, n);
    offset_ += n;
    return view;
  }

  // Moves past `n` bytes that a decoder of rest() has consumed; `n` must not exceed remaining().
  void skip(std::size_t n) { offset_ += n; }

 private:
  ByteView data_;
  std::size_t offset_ = 0;
};

}  // namespace zq
