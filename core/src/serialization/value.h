// The system's data value: a tagged union of eleven variants, exchanged by payloads, cookies
// and the Python bridge, and written on the wire as MessagePack.
//
// A Value is stored packed (see packed_item.h): one block holding its MessagePack form, so
// that a decoded item costs the bytes of its encoding, a whole tree is one allocation, encoding
// is a copy, and decoding input already in the smallest form is a check and a copy. Items are
// read in place through ValueView, ArrayView and MapView, which borrow from the Value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "common/bytes.h"
#include "serialization/packed_item.h"

namespace zq {

struct Timestamp {
  std::int64_t secs = 0;
  std::uint32_t nanos = 0;
  friend bool operator==(const Timestamp&, const Timestamp&) = default;
};

// The timestamp held by `len` (4, 8 or 12) bytes of timestamp extension data at `data`.
Timestamp timestamp_of_ext_data(const std::uint8_t* data, std::size_t len);

// An extension value to make a Value from.
struct Ext {
  std::int8_t type = 0;
  Bytes data;
  friend bool operator==(const Ext&, const Ext&) = default;
};

// An extension value read from a Value.
struct ExtView {
  std::int8_t type = 0;
  ByteView data;
};

class ArrayView;
class MapView;

// One item of a packed value, read in place; valid while the Value it comes from lives.
class ValueView {
 public:
  using Kind = ValueKind;

  explicit ValueView(const std::uint8_t* item) noexcept : p_(item) {}

  Kind kind() const { return packed::head(p_).kind; }

  // Accessors; each requires the matching kind().
  bool as_bool() const { return *p_ == mp::kTrue; }
  std::int64_t as_int() const;
  std::uint64_t as_uint() const { return load_be<std::uint64_t>(p_ + 1); }
  double as_float() const { return std::bit_cast<double>(load_be<std::uint64_t>(p_ + 1)); }
  std::string_view as_str() const {
    const packed::Head h = packed::head(p_);
    return {reinterpret_cast<const char*>(p_ + h.size), static_cast<std::size_t>(h.length)};
  }
  ByteView as_bin() const {
    const packed::Head h = packed::head(p_);
    return {p_ + h.size, static_cast<std::size_t>(h.length)};
  }
  inline ArrayView as_array() const;
  inline MapView as_map() const;
  Timestamp as_timestamp() const;
  ExtView as_ext() const {
    const packed::Head h = packed::head(p_);
    return {packed::ext_type(p_, h), {p_ + h.size, static_cast<std::size_t>(h.length)}};
  }

  // The item's packed bytes, nested items included.
  ByteView packed() const { return {p_, static_cast<std::size_t>(packed::skip(p_) - p_)}; }
  const std::uint8_t* data() const { return p_; }

  // Structural equality; floats compare by value (NaN never equals).
  friend bool operator==(ValueView a, ValueView b);

 private:
  const std::uint8_t* p_;
};

struct PairView {
  ValueView key;
  ValueView value;
};

namespace detail {

// Walks the items of an array, or the pairs of a map, by skipping each in turn.
template <class Item, std::size_t kItemsPerStep>
class PackedItems {
 public:
  class iterator {
   public:
    using value_type = Item;
    using difference_type = std::ptrdiff_t;
    iterator() = default;
    iterator(const std::uint8_t* p, std::uint64_t left) : p_(p), left_(left) {}
    Item operator*() const {
      if constexpr (kItemsPerStep == 1) {
        return Item(p_);
      } else {
        return Item{ValueView(p_), ValueView(packed::skip(p_))};
      }
    }
    iterator& operator++() {
      for (std::size_t i = 0; i < kItemsPerStep; ++i) p_ = packed::skip(p_);
      --left_;
      return *this;
    }
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    friend bool operator==(const iterator& a, const iterator& b) { return a.left_ == b.left_; }

   private:
    const std::uint8_t* p_ = nullptr;
    std::uint64_t left_ = 0;
  };

  PackedItems(const std::uint8_t* first, std::uint64_t count) : first_(first), count_(count) {}

  iterator begin() const { return {first_, count_}; }
  iterator end() const { return {nullptr, 0}; }
  std::size_t size() const { return static_cast<std::size_t>(count_); }
  bool empty() const { return count_ == 0; }
  // The item at `i`, reached by walking the ones before it.
  Item operator[](std::size_t i) const { return *std::next(begin(), static_cast<std::ptrdiff_t>(i)); }

 private:
  const std::uint8_t* first_;
  std::uint64_t count_;
};

}  // namespace detail

class ArrayView : public detail::PackedItems<ValueView, 1> {
  using PackedItems::PackedItems;
};

class MapView : public detail::PackedItems<PairView, 2> {
  using PackedItems::PackedItems;
};

ArrayView ValueView::as_array() const {
  const packed::Head h = packed::head(p_);
  return {p_ + h.size, h.length};
}

MapView ValueView::as_map() const {
  const packed::Head h = packed::head(p_);
  return {p_ + h.size, h.length};
}

struct ValuePair;

// An owned value in its packed form. Copying a Value copies all of it; no Value refers to
// another.
class Value {
 public:
  using Kind = ValueKind;
  // The items and pairs a new Array or Map is made of.
  using Array = std::vector<Value>;
  using Map = std::vector<ValuePair>;

  Value() noexcept { set_inline_nil(); }
  Value(const Value& other) { copy_from(other); }
  Value(Value&& other) noexcept {
    std::memcpy(static_cast<void*>(this), &other, sizeof(Value));
    other.set_inline_nil();
  }
  Value& operator=(const Value& other) {
    if (this != &other) *this = Value(other);
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    if (this != &other) {
      release();
      std::memcpy(static_cast<void*>(this), &other, sizeof(Value));
      other.set_inline_nil();
    }
    return *this;
  }
  ~Value() { release(); }

  static Value nil() { return Value(); }
  static Value boolean(bool b);
  static Value integer(std::int64_t i);
  static Value uinteger(std::uint64_t u);
  static Value floating(double d);
  static Value str(std::string_view text);
  static Value bin(ByteView bytes);
  static Value array(const Array& items);
  static Value map(const Map& pairs);
  static Value empty_map();
  static Value timestamp(Timestamp t);
  static Value ext(const Ext& e);

  // A value of `size` packed bytes, which `fill(std::uint8_t*)` writes: for the codec and
  // ValueBuilder, which write a checked packed form. `nesting` and `unencodable` describe it as
  // the accessors below say.
  template <class Fill>
  static Value from_packed(std::size_t size, std::uint32_t nesting, bool unencodable, Fill fill) {
    Value v;
    std::uint8_t* out = v.allocate(size);
    fill(out);
    v.nesting_ = nesting;
    v.unencodable_ = unencodable;
    return v;
  }

  // A value whose packed form fills all of `packed`, taken over as its block (copied when it is
  // small enough to be held inline). The same contract as from_packed.
  static Value from_packed_block(Bytes&& packed, std::uint32_t nesting, bool unencodable);

  ValueView view() const { return ValueView(data()); }
  Kind kind() const { return view().kind(); }

  // Accessors; each requires the matching kind().
  bool as_bool() const { return view().as_bool(); }
  std::int64_t as_int() const { return view().as_int(); }
  std::uint64_t as_uint() const { return view().as_uint(); }
  double as_float() const { return view().as_float(); }
  std::string_view as_str() const { return view().as_str(); }
  ByteView as_bin() const { return view().as_bin(); }
  ArrayView as_array() const { return view().as_array(); }
  MapView as_map() const { return view().as_map(); }
  Timestamp as_timestamp() const { return view().as_timestamp(); }
  ExtView as_ext() const { return view().as_ext(); }

  // The packed form.
  ByteView packed() const { return {data(), size_}; }
  // The arrays and maps on the value's deepest path, itself included: 0 for a scalar, 1 for a
  // flat array, whether empty or not.
  std::uint32_t nesting() const { return nesting_; }
  // Whether it holds an item that no encoder writes: timestamp nanos above 999999999, an Ext of
  // negative type, or a length or count above 2^32-1.
  bool holds_unencodable() const { return unencodable_; }

  friend bool operator==(const Value& a, const Value& b) { return a.view() == b.view(); }

 private:
  // Values of up to this many packed bytes need no allocation: a small map of a few short
  // entries fits.
  static constexpr std::size_t kInlineSize = 48;

  bool is_inline() const { return size_ <= kInlineSize; }
  const std::uint8_t* data() const { return is_inline() ? storage_.bytes : storage_.heap.data; }
  void set_inline_nil() noexcept {
    storage_.bytes[0] = mp::kNil;
    size_ = 1;
    nesting_ = 0;
    unencodable_ = false;
  }
  // Room for `size` bytes in place of a Nil; the caller fills them.
  std::uint8_t* allocate(std::size_t size);
  void release() noexcept {
    if (!is_inline()) detail::release_block(storage_.heap.data, storage_.heap.capacity);
  }
  void copy_from(const Value& other);
  template <class PutHead, class ForEach>
  static Value joined(std::uint64_t count, PutHead put_head, ForEach for_each);

  union Storage {
    std::uint8_t bytes[kInlineSize];
    struct {
      std::uint8_t* data;
      std::size_t capacity;
    } heap;
  } storage_;
  std::size_t size_;
  std::uint32_t nesting_;
  bool unencodable_;
};

struct ValuePair {
  Value key;
  Value value;
  friend bool operator==(const ValuePair&, const ValuePair&) = default;
};

}  // namespace zq
