#include "serialization/value_builder.h"

#include <algorithm>

namespace zq {
namespace {

// The scratch buffer each thread lends its builders, and whether a builder has it; freed when
// the thread ends. One that has grown beyond kKeptScratchMax is not kept, so that one huge value
// does not hold its memory for the thread's life.
thread_local Bytes thread_builder_scratch;
thread_local bool thread_builder_scratch_lent = false;
constexpr std::size_t kKeptScratchMax = std::size_t{16} << 20;
constexpr std::size_t kFirstScratchSize = 256;

}  // namespace

ValueBuilder::ValueBuilder() : bytes_(thread_builder_scratch_lent ? &own_ : &thread_builder_scratch) {
  if (bytes_ != &own_) thread_builder_scratch_lent = true;
  if (bytes_->capacity() == 0) bytes_->reserve(kFirstScratchSize);
  bytes_->resize(bytes_->capacity());
  p_ = bytes_->data();
  end_ = bytes_->data() + bytes_->size();
}

ValueBuilder::~ValueBuilder() {
  if (bytes_ == &own_) return;
  thread_builder_scratch_lent = false;
  if (bytes_->capacity() > kKeptScratchMax) *bytes_ = Bytes();
}

void ValueBuilder::grow(std::size_t n) {
  const auto used = static_cast<std::size_t>(p_ - bytes_->data());
  bytes_->resize(used);
  bytes_->reserve(std::max(used + n, 2 * bytes_->capacity()));
  bytes_->resize(bytes_->capacity());
  p_ = bytes_->data() + used;
  end_ = bytes_->data() + bytes_->size();
}

void ValueBuilder::bin_kept(ByteView bytes) {
  if (bytes.size() < kKeptMin) return bin(bytes);
  kept(bytes, packed::put_bin_head);
}

void ValueBuilder::str_kept(std::string_view text) {
  if (text.size() < kKeptMin) return str(text);
  kept(as_bytes(text), packed::put_str_head);
}

void ValueBuilder::recount(std::size_t mark, std::uint64_t count) {
  std::uint8_t* head = bytes_->data() + mark;
  const packed::Head old = packed::head(head);
  std::uint8_t fresh[packed::kEscapeHeadSize];
  const std::size_t size = old.kind == ValueKind::Array ? packed::put_array_head(fresh, count)
                                                        : packed::put_map_head(fresh, count);
  // Fewer items never need a longer head.
  const std::size_t shrink = old.size - size;
  std::memcpy(head, fresh, size);
  if (shrink == 0) return;
  std::memmove(head + size, head + old.size, static_cast<std::size_t>(p_ - (head + old.size)));
  p_ -= shrink;
  for (Kept& k : kept_) {
    if (k.at > mark) k.at -= shrink;
  }
}

Value ValueBuilder::finish() {
  const auto written = static_cast<std::size_t>(p_ - bytes_->data());
  Value value = Value::from_packed(written + kept_size_, nesting_, unencodable_, [&](std::uint8_t* out) {
    std::size_t from = 0;
    for (const Kept& k : kept_) {
      std::memcpy(out, bytes_->data() + from, k.at - from);
      out += k.at - from;
      std::memcpy(out, k.bytes.data(), k.bytes.size());
      out += k.bytes.size();
      from = k.at;
    }
    copy_bytes(out, bytes_->data() + from, written - from);
  });
  p_ = bytes_->data();
  kept_.clear();
  kept_size_ = 0;
  nesting_ = 0;
  unencodable_ = false;
  return value;
}

}  // namespace zq
