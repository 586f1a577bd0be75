// MessagePack decoder: reads one Value without recursion, keeping the open arrays and maps on
// an explicit stack and reading every item straight into its final place.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "common/utf8.h"
#include "serialization/big_endian.h"
#include "serialization/msgpack.h"
#include "serialization/msgpack_markers.h"

// The per-item steps are forced inline so that the cursor and the stack stay in registers.
#define ZQ_HOT [[gnu::always_inline]] inline

namespace zq {
namespace {

// The unread part of the input. Kept in a local and passed by reference to the inlined steps,
// so that both pointers stay in registers.
struct Input {
  const std::uint8_t* p;
  const std::uint8_t* end;
  std::size_t left() const { return static_cast<std::size_t>(end - p); }
};

// Open containers kept without a heap allocation; deeper input moves the stack to the heap.
constexpr std::size_t kInlineFrames = 32;

// An open container. Its list is sized ahead with Nil slots (the reservation, then growth
// when the announced count goes beyond it), and items are read straight into the slots: an
// array's items, or a map's keys and values in turn.
struct Frame {
  Value* next;  // the slot after the one being read
  Value* end;   // the end of the sized part
  Value* container;
  std::uint64_t unsized;  // items (array) or pairs (map) announced beyond the sized part
};

// A map's pairs are its keys and values back to back, so that its slots are walked like an
// array's: two Values per pair.
static_assert(sizeof(ValuePair) == 2 * sizeof(Value) && offsetof(ValuePair, value) == sizeof(Value));

ZQ_HOT Value* slots_of(Value::Array& list) { return list.data(); }
ZQ_HOT Value* slots_of(Value::Map& list) { return &list.data()->key; }
// The slot `n` places after `slot`, within one array or one map's pairs.
ZQ_HOT Value* slot_after(Value* slot, std::size_t n) {
  return std::launder(reinterpret_cast<Value*>(reinterpret_cast<char*>(slot) + n * sizeof(Value)));
}
// The end of `n` slots from `first`; never read through.
ZQ_HOT Value* slots_end(Value* first, std::size_t n) {
  return reinterpret_cast<Value*>(reinterpret_cast<char*>(first) + n * sizeof(Value));
}

// Every slot an item is read into is a fresh Nil, whose destructor does nothing, so the item
// is built straight over it: no temporary Value and no reset of the old alternative. `make`
// must not throw (anything that allocates is made before, or built with Value::emplace), so
// the slot always holds a value.
template <class Make>
ZQ_HOT void build(Value& slot, Make make) {
  ::new (static_cast<void*>(&slot)) Value(make());
}

template <class T>
ZQ_HOT T load_word(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// True when the `n` bytes at `p` are all ASCII; lets most texts skip the full UTF-8 check.
ZQ_HOT bool is_ascii(const std::uint8_t* p, std::size_t n) {
  constexpr std::uint64_t kHigh64 = 0x8080808080808080ull;
  constexpr std::uint32_t kHigh32 = 0x80808080u;
  if (n >= 8) {
    std::uint64_t any = load_word<std::uint64_t>(p + n - 8);
    for (std::size_t i = 0; i + 8 <= n; i += 8) any |= load_word<std::uint64_t>(p + i);
    return (any & kHigh64) == 0;
  }
  if (n >= 4) return ((load_word<std::uint32_t>(p) | load_word<std::uint32_t>(p + n - 4)) & kHigh32) == 0;
  std::uint8_t any = 0;
  for (std::size_t i = 0; i < n; ++i) any |= p[i];
  return any < 0x80;
}

// Adds Nil slots to a full list: as many as it holds (at least one), never more than it still
// announces, so that growth doubles and stays in step with the items actually read. Points the
// frame at the new slots.
template <class List>
void grow(List& list, Frame& frame) {
  const std::size_t held = list.size();
  const auto more =
      static_cast<std::size_t>(std::min<std::uint64_t>(frame.unsized, std::max<std::size_t>(held, 1)));
  frame.unsized -= more;
  list.resize(held + more);
  constexpr std::size_t kSlotsPerItem = sizeof(typename List::value_type) / sizeof(Value);
  frame.next = slot_after(slots_of(list), held * kSlotsPerItem);
  frame.end = slots_end(slots_of(list), list.size() * kSlotsPerItem);
}

// The item behind an ext header: the timestamp extension, another negative type (an error),
// a Bin for types 17..27 and 29 when asked, else an Ext. `data` holds `len` bytes.
bool read_ext(std::int8_t type, const std::uint8_t* data, std::size_t len, bool ext_as_bytes, Value& slot,
              SerializationError& error) {
  if (type == mp::kTimestampType) {
    Timestamp t;
    switch (len) {
      case 4:
        t.secs = load_be<std::uint32_t>(data);
        break;
      case 8: {
        const std::uint64_t packed = load_be<std::uint64_t>(data);
        t.secs = static_cast<std::int64_t>(packed & ((std::uint64_t{1} << 34) - 1));
        t.nanos = static_cast<std::uint32_t>(packed >> 34);
        break;
      }
      case 12:
        t.nanos = load_be<std::uint32_t>(data);
        t.secs = static_cast<std::int64_t>(load_be<std::uint64_t>(data + 4));
        break;
      default:
        error = SerializationError::BadTimestampLength;
        return false;
    }
    build(slot, [&] { return Value::timestamp(t); });
    return true;
  }
  if (type < 0) {
    error = SerializationError::NegativeExtType;
    return false;
  }
  Bytes bytes(data, len);
  if (ext_as_bytes && ((type >= 17 && type <= 27) || type == 29)) {
    build(slot, [&] { return Value::bin(std::move(bytes)); });
  } else {
    build(slot, [&] { return Value::ext(Ext{type, std::move(bytes)}); });
  }
  return true;
}

class Decoder {
 public:
  Decoder(const std::uint8_t* begin, const std::uint8_t* end, bool ext_as_bytes)
      : begin_(begin),
        end_(end),
        ext_as_bytes_(ext_as_bytes),
        reserve_budget_(static_cast<std::size_t>(end - begin)) {}
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  SerializationError error() const { return error_; }

  // Decodes one value into `result` and returns the cursor past it, or null on the first
  // failure.
  const std::uint8_t* run(Value& result) {
    Input in{begin_, end_};
    // frames[0] stands for the result: it has no slots and no container, so finishing an item
    // there ends the run; its nonzero `unsized` sends that test off the common path.
    Frame* frames = inline_frames_;
    frames[0] = {nullptr, nullptr, nullptr, 1};
    Frame* top = frames;  // the innermost open container; its depth is top - frames
    // top's cursor, kept in locals while its items are read: the items' own stores could
    // otherwise alias the frame and force it to be reloaded.
    Value* next = nullptr;
    Value* end = nullptr;
    Value* slot = &result;
    for (;;) {
      if (in.p == in.end) return fail(SerializationError::UnexpectedEnd);
      const std::uint8_t m = *in.p++;
      std::size_t count;  // of the container that m opens
      bool is_map;
      if (m <= mp::kPositiveFixIntMax) {
        build(*slot, [&] { return Value::integer(m); });
        goto finished;
      }
      if (m >= mp::kNegativeFixIntMin) {
        build(*slot, [&] { return Value::integer(static_cast<std::int8_t>(m)); });
        goto finished;
      }
      if (m < mp::kFixArray) {
        count = m & 0x0f;
        is_map = true;
        goto container;
      }
      if (m < mp::kFixStr) {
        count = m & 0x0f;
        is_map = false;
        goto container;
      }
      if (m < mp::kNil) {
        if (!read_str(in, m & 0x1f, *slot)) return nullptr;
        goto finished;
      }
      switch (m) {
        case mp::kNil:  // the slot already holds it
          goto finished;
        case mp::kNeverUsed:
          return fail(SerializationError::ReservedMarker);
        case mp::kFalse:
        case mp::kTrue:
          build(*slot, [&] { return Value::boolean(m == mp::kTrue); });
          goto finished;
        case mp::kFloat32: {
          std::uint32_t bits;
          if (!read(in, bits)) return nullptr;
          build(*slot, [&] { return Value::floating(std::bit_cast<float>(bits)); });
          goto finished;
        }
        case mp::kFloat64: {
          std::uint64_t bits;
          if (!read(in, bits)) return nullptr;
          build(*slot, [&] { return Value::floating(std::bit_cast<double>(bits)); });
          goto finished;
        }
        case mp::kUInt8:
          if (!read_int<std::uint8_t>(in, *slot)) return nullptr;
          goto finished;
        case mp::kUInt16:
          if (!read_int<std::uint16_t>(in, *slot)) return nullptr;
          goto finished;
        case mp::kUInt32:
          if (!read_int<std::uint32_t>(in, *slot)) return nullptr;
          goto finished;
        case mp::kUInt64: {
          std::uint64_t u;
          if (!read(in, u)) return nullptr;
          if (u <= static_cast<std::uint64_t>(INT64_MAX)) {
            build(*slot, [&] { return Value::integer(static_cast<std::int64_t>(u)); });
          } else {
            build(*slot, [&] { return Value::uinteger(u); });
          }
          goto finished;
        }
        case mp::kInt8:
          if (!read_int<std::int8_t, std::uint8_t>(in, *slot)) return nullptr;
          goto finished;
        case mp::kInt16:
          if (!read_int<std::int16_t, std::uint16_t>(in, *slot)) return nullptr;
          goto finished;
        case mp::kInt32:
          if (!read_int<std::int32_t, std::uint32_t>(in, *slot)) return nullptr;
          goto finished;
        case mp::kInt64:
          if (!read_int<std::int64_t, std::uint64_t>(in, *slot)) return nullptr;
          goto finished;
        case mp::kStr8:
        case mp::kStr16:
        case mp::kStr32: {
          std::size_t len;
          if (!read_length(in, m - mp::kStr8, len) || !read_str(in, len, *slot)) return nullptr;
          goto finished;
        }
        case mp::kBin8:
        case mp::kBin16:
        case mp::kBin32: {
          std::size_t len;
          if (!read_length(in, m - mp::kBin8, len)) return nullptr;
          if (in.left() < len) return fail(SerializationError::UnexpectedEnd);
          Bytes bytes(in.p, len);
          build(*slot, [&] { return Value::bin(std::move(bytes)); });
          in.p += len;
          goto finished;
        }
        case mp::kFixExt1:
        case mp::kFixExt2:
        case mp::kFixExt4:
        case mp::kFixExt8:
        case mp::kFixExt16:
          if (!ext_body(in, std::size_t{1} << (m - mp::kFixExt1), *slot)) return nullptr;
          goto finished;
        case mp::kExt8:
        case mp::kExt16:
        case mp::kExt32: {
          std::size_t len;
          if (!read_length(in, m - mp::kExt8, len) || !ext_body(in, len, *slot)) return nullptr;
          goto finished;
        }
        case mp::kArray16:
        case mp::kArray32:
          if (!read_length(in, m - mp::kArray16 + 1, count)) return nullptr;
          is_map = false;
          goto container;
        default:  // kMap16 and kMap32, the last markers below the negative fixints
          if (!read_length(in, m - mp::kMap16 + 1, count)) return nullptr;
          is_map = true;
          goto container;
      }

    container:
      if (count == 0) {  // finished at once and opens nothing, so no depth test
        if (is_map) {
          build(*slot, [] { return Value::map({}); });
        } else {
          build(*slot, [] { return Value::array({}); });
        }
        goto finished;
      }
      if (const auto depth = static_cast<std::size_t>(top - frames); depth == kInlineFrames) {
        if (frames == inline_frames_) {
          frames = move_frames_to_heap();
          top = frames + kInlineFrames;
        }
      } else if (depth == kMaxDecodeContainers) {
        return fail(SerializationError::DepthExceeded);
      }
      top->next = next;
      top->end = end;
      ++top;
      // At least the first item's slot; a count beyond the reservation grows as items arrive.
      {
        std::size_t sized;
        Value* first;
        std::size_t slots;
        if (is_map) {
          sized = std::max<std::size_t>(reservation(count, 2), 1);
          slot->emplace<Value::Kind::Map>(sized);
          first = slots_of(slot->as_map());
          slots = 2 * sized;
        } else {
          sized = std::max<std::size_t>(reservation(count, 1), 1);
          slot->emplace<Value::Kind::Array>(sized);
          first = slots_of(slot->as_array());
          slots = sized;
        }
        next = slot_after(first, 1);
        end = slots_end(first, slots);
        *top = {next, end, slot, count - sized};
        slot = first;
      }
      continue;

    finished:
      // The next slot of the innermost container; a container that has all its items is
      // itself a finished item of the one around it.
      for (;;) {
        if (next != end) {
          slot = next;
          next = slot_after(slot, 1);
          break;
        }
        if (top->unsized != 0) {
          if (top->container == nullptr) return in.p;
          if (top->container->kind() == Value::Kind::Map) {
            grow(top->container->as_map(), *top);
          } else {
            grow(top->container->as_array(), *top);
          }
          slot = top->next;
          next = slot_after(slot, 1);
          end = top->end;
          break;
        }
        --top;
        next = top->next;
        end = top->end;
      }
    }
  }

 private:
  std::nullptr_t fail(SerializationError e) {
    error_ = e;
    return nullptr;
  }

  // Reads a big-endian T after checking that it is there.
  template <class T>
  ZQ_HOT bool read(Input& in, T& v) {
    if (in.left() < sizeof(T)) return fail(SerializationError::UnexpectedEnd), false;
    v = load_be<T>(in.p);
    in.p += sizeof(T);
    return true;
  }

  // A length or count field of 1, 2 or 4 bytes (`width_code` 0, 1 or 2).
  ZQ_HOT bool read_length(Input& in, int width_code, std::size_t& len) {
    switch (width_code) {
      case 0: {
        std::uint8_t v;
        if (!read(in, v)) return false;
        len = v;
        return true;
      }
      case 1: {
        std::uint16_t v;
        if (!read(in, v)) return false;
        len = v;
        return true;
      }
      default: {
        std::uint32_t v;
        if (!read(in, v)) return false;
        len = v;
        return true;
      }
    }
  }

  // An integer stored as Wire (unsigned) and read as T.
  template <class T, class Wire = T>
  ZQ_HOT bool read_int(Input& in, Value& slot) {
    Wire bits;
    if (!read(in, bits)) return false;
    build(slot, [&] { return Value::integer(static_cast<T>(bits)); });
    return true;
  }

  // decode_str_body: the text must be there and be UTF-8.
  ZQ_HOT bool read_str(Input& in, std::size_t len, Value& slot) {
    if (in.left() < len) return fail(SerializationError::UnexpectedEnd), false;
    if (!is_ascii(in.p, len) && !is_valid_utf8(as_text({in.p, len}))) {
      return fail(SerializationError::InvalidUtf8), false;
    }
    // Copied once, into the string the slot holds (a short text lands in its inline buffer).
    const auto* text = reinterpret_cast<const char*>(in.p);
    slot.emplace<Value::Kind::Str>(text, len);
    in.p += len;
    return true;
  }

  // decode_ext_body: the type byte, then `len` bytes of data, both within the input.
  ZQ_HOT bool ext_body(Input& in, std::size_t len, Value& slot) {
    if (in.left() < 1 + len) return fail(SerializationError::UnexpectedEnd), false;
    const std::uint8_t* data = in.p + 1;
    const auto type = static_cast<std::int8_t>(*in.p);
    in.p += 1 + len;
    SerializationError error = SerializationError::UnexpectedEnd;
    if (read_ext(type, data, len, ext_as_bytes_, slot, error)) return true;
    return fail(error), false;
  }

  // Every item takes at least one input byte, so the reservations of one decode never need to
  // add up to more than the input's length; drawing them from that budget keeps a short input
  // of large counts from reserving more than a small multiple of its own size.
  ZQ_HOT std::size_t reservation(std::size_t count, std::size_t slots_per_item) {
    const std::size_t n = std::min({count, kMaxDecodeReserve, reserve_budget_ / slots_per_item});
    reserve_budget_ -= n * slots_per_item;
    return n;
  }

  Frame* move_frames_to_heap() {
    heap_frames_.reset(new Frame[kMaxDecodeContainers + 1]);
    std::copy(inline_frames_, inline_frames_ + kInlineFrames + 1, heap_frames_.get());
    return heap_frames_.get();
  }

  const std::uint8_t* const begin_;
  const std::uint8_t* const end_;
  const bool ext_as_bytes_;
  std::size_t reserve_budget_;
  SerializationError error_ = SerializationError::UnexpectedEnd;
  Frame inline_frames_[kInlineFrames + 1];
  std::unique_ptr<Frame[]> heap_frames_;
};

}  // namespace

Result<Value, SerializationError> decode_value(ByteView data, std::size_t& position, bool ext_as_bytes) {
  if (position >= data.size()) return SerializationError::UnexpectedEnd;
  Decoder decoder(data.data() + position, data.data() + data.size(), ext_as_bytes);
  Value result;
  const std::uint8_t* end = decoder.run(result);
  if (end == nullptr) return decoder.error();
  position = static_cast<std::size_t>(end - data.data());
  return result;
}

}  // namespace zq
