// Builds one Value item by item, in its packed form, for a producer that walks a tree of its
// own (the Python bridge): items go into the calling thread's reusable scratch buffer, and
// finish() makes the Value with one allocation of exactly its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "serialization/packed_writer.h"
#include "serialization/value.h"

namespace zq {

class ValueBuilder {
 public:
  // Byte strings and texts this long or longer may be kept where they are until finish()
  // (bin_kept, str_kept).
  static constexpr std::size_t kKeptMin = 4096;

  // Uses the thread's scratch buffer in place; a builder made while another is alive on the same
  // thread starts with a buffer of its own.
  ValueBuilder();
  ~ValueBuilder();
  ValueBuilder(const ValueBuilder&) = delete;
  ValueBuilder& operator=(const ValueBuilder&) = delete;

  void nil() { *room(1) = mp::kNil, ++p_; }
  void boolean(bool b) { *room(1) = b ? mp::kTrue : mp::kFalse, ++p_; }
  void integer(std::int64_t i) { p_ += mp::put_int(room(packed::kMaxScalarSize), i); }
  void uinteger(std::uint64_t u) { p_ += mp::put_uint(room(packed::kMaxScalarSize), u); }
  void floating(double d) { p_ += packed::put_float(room(packed::kMaxScalarSize), std::bit_cast<std::uint64_t>(d)); }
  void str(std::string_view text) {
    std::uint8_t* p = room(packed::kEscapeHeadSize + text.size());
    p += packed::put_str_head(p, text.size());
    copy_bytes(p, text.data(), text.size());
    p_ = p + text.size();
    unencodable_ |= text.size() > mp::kMaxLength;
  }
  void bin(ByteView bytes) {
    std::uint8_t* p = room(packed::kEscapeHeadSize + bytes.size());
    p += packed::put_bin_head(p, bytes.size());
    copy_bytes(p, bytes.data(), bytes.size());
    p_ = p + bytes.size();
    unencodable_ |= bytes.size() > mp::kMaxLength;
  }
  // A byte string or text whose bytes are copied only by finish(): the caller keeps them alive
  // and unchanged until then. Shorter ones are copied at once.
  void bin_kept(ByteView bytes);
  void str_kept(std::string_view text);

  // An array or map announcing `count` items or pairs, which follow (a map's key, then its
  // value). Returns the mark that close() takes.
  std::size_t open_array(std::uint64_t count) { return open(count, packed::put_array_head); }
  std::size_t open_map(std::uint64_t count) { return open(count, packed::put_map_head); }
  // Ends the innermost open array or map, opened at `mark`, which received `written` items or
  // pairs, at most the count it announced.
  void close(std::size_t mark, std::uint64_t announced, std::uint64_t written) {
    --depth_;
    if (written != announced) recount(mark, written);
  }

  // The value built: exactly one item, every container closed. The builder is then empty.
  Value finish();

 private:
  struct Kept {
    std::size_t at;  // offset in the scratch bytes that the kept bytes follow
    ByteView bytes;
  };

  // The head that `put_head` writes, then a note that `bytes` follow it.
  template <class PutHead>
  void kept(ByteView bytes, PutHead put_head) {
    std::uint8_t* p = room(packed::kEscapeHeadSize);
    p_ = p + put_head(p, bytes.size());
    kept_.push_back({static_cast<std::size_t>(p_ - bytes_->data()), bytes});
    kept_size_ += bytes.size();
    unencodable_ |= bytes.size() > mp::kMaxLength;
  }

  std::uint8_t* room(std::size_t n) {
    if (static_cast<std::size_t>(end_ - p_) < n) grow(n);
    return p_;
  }
  void grow(std::size_t n);

  template <class PutHead>
  std::size_t open(std::uint64_t count, PutHead put_head) {
    std::uint8_t* p = room(packed::kEscapeHeadSize);
    const auto mark = static_cast<std::size_t>(p - bytes_->data());
    p_ = p + put_head(p, count);
    unencodable_ |= count > mp::kMaxLength;
    if (++depth_ > nesting_) nesting_ = depth_;
    return mark;
  }
  // Rewrites the head at `mark` for `count`, moving what follows when it gets shorter.
  void recount(std::size_t mark, std::uint64_t count);

  // The thread's scratch buffer or own_, sized to its capacity while building; p_ is the write
  // position.
  Bytes* bytes_;
  Bytes own_;
  std::vector<Kept> kept_;  // in order of `at`
  std::uint8_t* p_;
  std::uint8_t* end_;
  std::size_t kept_size_ = 0;
  std::uint32_t depth_ = 0;
  std::uint32_t nesting_ = 0;
  bool unencodable_ = false;
};

}  // namespace zq
