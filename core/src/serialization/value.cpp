// Value's storage and builders, and the readers of ValueView that are not inline.
#include "serialization/value.h"

#include <algorithm>
#include <bit>

#include "serialization/packed_writer.h"

namespace zq {
namespace {

// A scalar written by `put(std::uint8_t*)` into a value's inline bytes.
template <class Put>
Value scalar(Put put) {
  std::uint8_t bytes[packed::kTimestamp96Size];
  const std::size_t size = put(bytes);
  return Value::from_packed(size, 0, false, [&](std::uint8_t* out) { std::memcpy(out, bytes, size); });
}

// An item made of a head and `content` bytes.
template <class HeadSize, class PutHead>
Value with_content(std::uint64_t length, ByteView content, bool unencodable, HeadSize head_size, PutHead put_head) {
  return Value::from_packed(head_size(length) + content.size(), 0, unencodable, [&](std::uint8_t* out) {
    out += put_head(out);
    if (!content.empty()) std::memcpy(out, content.data(), content.size());
  });
}

// Compares two items of the same kind that are not arrays or maps.
bool same_scalar(ValueView a, ValueView b) {
  if (a.kind() == ValueKind::Float) return a.as_float() == b.as_float();
  const ByteView x = a.packed();
  const ByteView y = b.packed();
  return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin());
}

}  // namespace

std::int64_t ValueView::as_int() const {
  const std::uint8_t m = *p_;
  if (m <= mp::kPositiveFixIntMax) return m;
  if (m >= mp::kNegativeFixIntMin) return static_cast<std::int8_t>(m);
  switch (m) {
    case mp::kUInt8: return p_[1];
    case mp::kUInt16: return load_be<std::uint16_t>(p_ + 1);
    case mp::kUInt32: return load_be<std::uint32_t>(p_ + 1);
    case mp::kInt8: return static_cast<std::int8_t>(p_[1]);
    case mp::kInt16: return static_cast<std::int16_t>(load_be<std::uint16_t>(p_ + 1));
    case mp::kInt32: return static_cast<std::int32_t>(load_be<std::uint32_t>(p_ + 1));
    default: return static_cast<std::int64_t>(load_be<std::uint64_t>(p_ + 1));  // cf below 2^63, d3
  }
}

Timestamp timestamp_of_ext_data(const std::uint8_t* data, std::size_t len) {
  switch (len) {
    case 4: return {load_be<std::uint32_t>(data), 0};
    case 8: {
      const std::uint64_t packed = load_be<std::uint64_t>(data);
      return {static_cast<std::int64_t>(packed & packed::kMaxTimestampSecs34), static_cast<std::uint32_t>(packed >> 34)};
    }
    default:
      return {static_cast<std::int64_t>(load_be<std::uint64_t>(data + 4)), load_be<std::uint32_t>(data)};
  }
}

Timestamp ValueView::as_timestamp() const {
  const packed::Head h = packed::head(p_);
  return timestamp_of_ext_data(p_ + h.size, static_cast<std::size_t>(h.length));
}

// Walks both values item by item, keeping the items of each still to compare in step.
bool operator==(ValueView a, ValueView b) {
  const std::uint8_t* p = a.data();
  const std::uint8_t* q = b.data();
  std::uint64_t pending = 1;
  do {
    const packed::Head x = packed::head(p);
    const packed::Head y = packed::head(q);
    if (x.kind != y.kind) return false;
    if (x.kind == ValueKind::Array || x.kind == ValueKind::Map) {
      if (x.length != y.length) return false;
      p += x.size;
      q += y.size;
      pending += packed::nested_items(x);
    } else {
      if (!same_scalar(ValueView(p), ValueView(q))) return false;
      p += x.size + x.length;
      q += y.size + y.length;
    }
  } while (--pending != 0);
  return true;
}

std::uint8_t* Value::allocate(std::size_t size) {
  if (size <= kInlineSize) {
    size_ = size;
    return storage_.bytes;
  }
  std::size_t capacity = size;
  std::uint8_t* block = detail::allocate_block(capacity);
  storage_.heap.data = block;
  storage_.heap.capacity = capacity;
  size_ = size;
  return block;
}

Value Value::from_packed_block(Bytes&& packed, std::uint32_t nesting, bool unencodable) {
  if (packed.size() <= kInlineSize) {
    return from_packed(packed.size(), nesting, unencodable,
                       [&](std::uint8_t* out) { std::memcpy(out, packed.data(), packed.size()); });
  }
  Value v;
  v.size_ = packed.size();
  v.storage_.heap.data = packed.release(v.storage_.heap.capacity);
  v.nesting_ = nesting;
  v.unencodable_ = unencodable;
  return v;
}

void Value::copy_from(const Value& other) {
  set_inline_nil();
  std::memcpy(allocate(other.size_), other.data(), other.size_);
  nesting_ = other.nesting_;
  unencodable_ = other.unencodable_;
}

Value Value::boolean(bool b) {
  return scalar([&](std::uint8_t* p) {
    p[0] = b ? mp::kTrue : mp::kFalse;
    return std::size_t{1};
  });
}

Value Value::integer(std::int64_t i) {
  return scalar([&](std::uint8_t* p) { return mp::put_int(p, i); });
}

Value Value::uinteger(std::uint64_t u) {
  return scalar([&](std::uint8_t* p) { return mp::put_uint(p, u); });
}

Value Value::floating(double d) {
  return scalar([&](std::uint8_t* p) { return packed::put_float(p, std::bit_cast<std::uint64_t>(d)); });
}

Value Value::timestamp(Timestamp t) {
  Value v = scalar([&](std::uint8_t* p) { return packed::put_timestamp(p, t.secs, t.nanos); });
  v.unencodable_ = t.nanos > packed::kMaxNanos;
  return v;
}

Value Value::str(std::string_view text) {
  return with_content(text.size(), as_bytes(text), text.size() > mp::kMaxLength, packed::str_head_size,
                      [&](std::uint8_t* p) { return packed::put_str_head(p, text.size()); });
}

Value Value::bin(ByteView bytes) {
  return with_content(bytes.size(), bytes, bytes.size() > mp::kMaxLength, packed::bin_head_size,
                      [&](std::uint8_t* p) { return packed::put_bin_head(p, bytes.size()); });
}

Value Value::ext(const Ext& e) {
  const std::uint64_t length = e.data.size();
  return with_content(
      length, e.data, !packed::ext_encodable(e.type, length),
      [&](std::uint64_t n) { return packed::ext_head_size(e.type, n); },
      [&](std::uint8_t* p) { return packed::put_ext_head(p, e.type, length); });
}

// An array or map of `count` items or pairs, whose values `for_each(f)` hands to `f` in order:
// the head, then their packed forms back to back, in one block.
template <class PutHead, class ForEach>
Value Value::joined(std::uint64_t count, PutHead put_head, ForEach for_each) {
  std::size_t size = packed::container_head_size(count);
  std::uint32_t nesting = 0;
  bool unencodable = count > mp::kMaxLength;
  for_each([&](const Value& v) {
    size += v.size_;
    nesting = std::max(nesting, v.nesting_);
    unencodable |= v.unencodable_;
  });
  return from_packed(size, nesting + 1, unencodable, [&](std::uint8_t* out) {
    out += put_head(out, count);
    for_each([&](const Value& v) {
      std::memcpy(out, v.data(), v.size_);
      out += v.size_;
    });
  });
}

Value Value::array(const Array& items) {
  return joined(items.size(), packed::put_array_head, [&](auto f) {
    for (const Value& item : items) f(item);
  });
}

Value Value::map(const Map& pairs) {
  return joined(pairs.size(), packed::put_map_head, [&](auto f) {
    for (const ValuePair& pair : pairs) {
      f(pair.key);
      f(pair.value);
    }
  });
}

Value Value::empty_map() {
  return from_packed(1, 1, false, [](std::uint8_t* out) { out[0] = mp::kFixMap; });
}

}  // namespace zq
