// MessagePack decoder. A first pass checks one value without recursion, keeping the items still
// expected by each open array and map on a stack, and measures its packed form; input that is
// already in that form (everything the encoder writes) is then copied whole into the value's
// one block, other input is rewritten item by item into a block of exactly the measured size.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "common/utf8.h"
#include "serialization/big_endian.h"
#include "serialization/msgpack.h"
#include "serialization/msgpack_markers.h"
#include "serialization/packed_writer.h"

// The per-item steps are forced inline so that the cursor stays in a register.
#define ZQ_HOT [[gnu::always_inline]] inline

namespace zq {
namespace {

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

bool ext_read_as_bin(std::int8_t type, bool ext_as_bytes) {
  return ext_as_bytes && ((type >= 17 && type <= 27) || type == 29);
}

// The packed size of an ext item of `len` data bytes, as it will be read.
std::size_t packed_ext_size(std::int8_t type, const std::uint8_t* data, std::size_t len, bool ext_as_bytes) {
  if (type == mp::kTimestampType) {
    const Timestamp t = timestamp_of_ext_data(data, len);
    return packed::timestamp_size(t.secs, t.nanos);
  }
  if (ext_read_as_bin(type, ext_as_bytes)) return packed::bin_head_size(len) + len;
  return packed::ext_head_size(type, len) + len;
}

// What the first pass learns of a well-formed value.
struct Measure {
  const std::uint8_t* end;  // past the value
  std::size_t packed_size;
  std::uint32_t nesting;
  bool already_packed;  // the input bytes are the packed form
  bool unencodable;
};

class Checker {
 public:
  Checker(const std::uint8_t* begin, const std::uint8_t* end, bool ext_as_bytes)
      : begin_(begin), end_(end), ext_as_bytes_(ext_as_bytes) {}
  Checker(const Checker&) = delete;
  Checker& operator=(const Checker&) = delete;

  SerializationError error() const { return error_; }

  // Checks one value; false on the first failure, whose error() tells.
  bool run(Measure& out) {
    // left[d] counts the items still expected by the container open at depth d; depth 0 stands
    // for the value itself, which is one item.
    std::uint64_t left[kMaxDecodeContainers + 1];
    std::size_t depth = 0;
    left[0] = 1;
    const std::uint8_t* p = begin_;
    for (;;) {
      if (p == end_) return fail(SerializationError::UnexpectedEnd);
      const std::uint8_t m = *p++;
      std::uint64_t count;  // of the array or map that m opens; maps count keys and values
      std::uint64_t packed_count;
      if (m <= mp::kPositiveFixIntMax || m >= mp::kNegativeFixIntMin) goto finished;
      if (m < mp::kFixArray) {
        packed_count = m & 0x0f;
        count = 2 * packed_count;
        goto container;
      }
      if (m < mp::kFixStr) {
        count = packed_count = m & 0x0f;
        goto container;
      }
      if (m < mp::kNil) {
        if (!text(p, m & 0x1f)) return false;
        goto finished;
      }
      switch (m) {
        case mp::kNil:
        case mp::kFalse:
        case mp::kTrue:
          goto finished;
        case mp::kNeverUsed:
          return fail(SerializationError::ReservedMarker);
        case mp::kFloat32:
          if (!need(p, 4)) return false;
          p += 4;
          reshaped(4);  // widened to a float 64
          goto finished;
        case mp::kFloat64:
          if (!need(p, 8)) return false;
          p += 8;
          goto finished;
        case mp::kUInt8:
          if (!number<std::uint8_t, false>(p)) return false;
          goto finished;
        case mp::kUInt16:
          if (!number<std::uint16_t, false>(p)) return false;
          goto finished;
        case mp::kUInt32:
          if (!number<std::uint32_t, false>(p)) return false;
          goto finished;
        case mp::kUInt64:
          if (!number<std::uint64_t, false>(p)) return false;
          goto finished;
        case mp::kInt8:
          if (!number<std::uint8_t, true>(p)) return false;
          goto finished;
        case mp::kInt16:
          if (!number<std::uint16_t, true>(p)) return false;
          goto finished;
        case mp::kInt32:
          if (!number<std::uint32_t, true>(p)) return false;
          goto finished;
        case mp::kInt64:
          if (!number<std::uint64_t, true>(p)) return false;
          goto finished;
        case mp::kStr8:
        case mp::kStr16:
        case mp::kStr32: {
          std::size_t len;
          const int width = m - mp::kStr8;
          if (!length(p, width, len)) return false;
          resized(packed::str_head_size(len), header_size(width));
          if (!text(p, len)) return false;
          goto finished;
        }
        case mp::kBin8:
        case mp::kBin16:
        case mp::kBin32: {
          std::size_t len;
          const int width = m - mp::kBin8;
          if (!length(p, width, len)) return false;
          resized(packed::bin_head_size(len), header_size(width));
          if (!need(p, len)) return false;
          p += len;
          goto finished;
        }
        case mp::kFixExt1:
        case mp::kFixExt2:
        case mp::kFixExt4:
        case mp::kFixExt8:
        case mp::kFixExt16:
          if (!ext(p, std::size_t{1} << (m - mp::kFixExt1), 1)) return false;
          goto finished;
        case mp::kExt8:
        case mp::kExt16:
        case mp::kExt32: {
          std::size_t len;
          const int width = m - mp::kExt8;
          if (!length(p, width, len) || !ext(p, len, header_size(width))) return false;
          goto finished;
        }
        default: {  // kArray16 and kArray32, kMap16 and kMap32: the last markers below the negative fixints
          const bool is_map = m >= mp::kMap16;
          const int width = is_map ? m - mp::kMap16 + 1 : m - mp::kArray16 + 1;
          std::size_t n;
          if (!length(p, width, n)) return false;
          resized(packed::container_head_size(n), header_size(width));
          packed_count = n;
          count = is_map ? 2 * n : n;
          goto container;
        }
      }

    container:
      // An empty one is finished at once and opens nothing, so it meets no depth test; it still
      // counts towards the nesting.
      nesting_ = std::max(nesting_, static_cast<std::uint32_t>(depth + 1));
      if (packed_count == 0) goto finished;
      if (depth == kMaxDecodeContainers) return fail(SerializationError::DepthExceeded);
      left[++depth] = count;
      continue;

    finished:
      // A container that has received all its items is itself a finished item of the one
      // around it.
      while (--left[depth] == 0) {
        if (depth == 0) {
          out.end = p;
          out.packed_size = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(p - begin_) + size_change_);
          out.nesting = nesting_;
          out.already_packed = already_packed_;
          out.unencodable = unencodable_;
          return true;
        }
        --depth;
      }
    }
  }

 private:
  bool fail(SerializationError e) {
    error_ = e;
    return false;
  }

  // The size of a marker with a 1-, 2- or 4-byte field (`width` 0, 1 or 2).
  static std::size_t header_size(int width) { return 1 + (std::size_t{1} << width); }

  // The packed form differs from the input here, by `change` bytes.
  void reshaped(std::ptrdiff_t change) {
    already_packed_ = false;
    size_change_ += change;
  }

  // A head of `input_size` bytes whose packed form takes `packed_size`; heads of one kind differ
  // in size whenever they differ at all.
  void resized(std::size_t packed_size, std::size_t input_size) {
    if (packed_size != input_size) {
      reshaped(static_cast<std::ptrdiff_t>(packed_size) - static_cast<std::ptrdiff_t>(input_size));
    }
  }

  // A number of sizeof(Wire) bytes after its marker, signed or not. It is in its smallest form
  // when no shorter form holds it and its sign picks the marker (negative values take the
  // signed markers); an unsigned 64-bit value of 2^63 or more is a UInt, only ever in that form.
  template <class Wire, bool kSigned>
  ZQ_HOT bool number(const std::uint8_t*& p) {
    if (!need(p, sizeof(Wire))) return false;
    const Wire bits = load_be<Wire>(p);
    p += sizeof(Wire);
    if (!kSigned && bits > static_cast<std::uint64_t>(INT64_MAX)) return true;
    const auto v = kSigned ? static_cast<std::int64_t>(static_cast<std::make_signed_t<Wire>>(bits))
                           : static_cast<std::int64_t>(bits);
    const std::size_t size = packed::int_size(v);
    if (size != 1 + sizeof(Wire) || (v < 0) != kSigned) {
      reshaped(static_cast<std::ptrdiff_t>(size) - static_cast<std::ptrdiff_t>(1 + sizeof(Wire)));
    }
    return true;
  }

  ZQ_HOT bool need(const std::uint8_t* p, std::size_t n) {
    if (static_cast<std::size_t>(end_ - p) < n) return fail(SerializationError::UnexpectedEnd);
    return true;
  }

  // A length or count field of 1, 2 or 4 bytes (`width` 0, 1 or 2); advances past it.
  ZQ_HOT bool length(const std::uint8_t*& p, int width, std::size_t& len) {
    const std::size_t n = std::size_t{1} << width;
    if (!need(p, n)) return false;
    switch (width) {
      case 0: len = p[0]; break;
      case 1: len = load_be<std::uint16_t>(p); break;
      default: len = load_be<std::uint32_t>(p); break;
    }
    p += n;
    return true;
  }

  // decode_str_body: the text must be there and be UTF-8.
  ZQ_HOT bool text(const std::uint8_t*& p, std::size_t len) {
    if (!need(p, len)) return false;
    if (!is_ascii(p, len) && !is_valid_utf8(as_text({p, len}))) return fail(SerializationError::InvalidUtf8);
    p += len;
    return true;
  }

  // decode_ext_body: the type byte, then `len` bytes of data, both within the input; the input
  // head before them was `head_size` bytes long.
  bool ext(const std::uint8_t*& p, std::size_t len, std::size_t head_size) {
    if (static_cast<std::size_t>(end_ - p) < 1 + len) return fail(SerializationError::UnexpectedEnd);
    const auto type = static_cast<std::int8_t>(*p);
    const std::uint8_t* data = p + 1;
    if (type == mp::kTimestampType) {
      if (len != 4 && len != 8 && len != 12) return fail(SerializationError::BadTimestampLength);
      unencodable_ |= timestamp_of_ext_data(data, len).nanos > packed::kMaxNanos;
    } else if (type < 0) {
      return fail(SerializationError::NegativeExtType);
    }
    const std::size_t input_size = head_size + 1 + len;
    const std::size_t packed_size = packed_ext_size(type, data, len, ext_as_bytes_);
    // A timestamp's form follows from its value, so equal sizes mean equal bytes; an ext read
    // as Bin always changes its marker.
    if (packed_size != input_size || ext_read_as_bin(type, ext_as_bytes_)) {
      reshaped(static_cast<std::ptrdiff_t>(packed_size) - static_cast<std::ptrdiff_t>(input_size));
    }
    p = data + len;
    return true;
  }

  const std::uint8_t* const begin_;
  const std::uint8_t* const end_;
  const bool ext_as_bytes_;
  std::ptrdiff_t size_change_ = 0;
  std::uint32_t nesting_ = 0;
  bool already_packed_ = true;
  bool unencodable_ = false;
  SerializationError error_ = SerializationError::UnexpectedEnd;
};

// Rewrites a checked value in its packed form at `out`, which has room for exactly that.
void repack(const std::uint8_t* p, std::uint8_t* out, bool ext_as_bytes) {
  std::uint64_t pending = 1;
  do {
    const std::uint8_t m = *p;
    if (m <= mp::kPositiveFixIntMax || m >= mp::kNegativeFixIntMin || m == mp::kNil || m == mp::kFalse ||
        m == mp::kTrue) {
      *out++ = *p++;
      continue;
    }
    if (m < mp::kFixArray) {
      *out++ = *p++;
      pending += 2 * (m & 0x0fu);
      continue;
    }
    if (m < mp::kFixStr) {
      *out++ = *p++;
      pending += m & 0x0fu;
      continue;
    }
    if (m < mp::kNil) {
      const std::size_t len = m & 0x1fu;
      std::memcpy(out, p, 1 + len);
      out += 1 + len;
      p += 1 + len;
      continue;
    }
    ++p;
    switch (m) {
      case mp::kFloat32:
        out += packed::put_float(out, std::bit_cast<std::uint64_t>(double{std::bit_cast<float>(load_be<std::uint32_t>(p))}));
        p += 4;
        break;
      case mp::kFloat64:
        std::memcpy(out, p - 1, 9);
        out += 9;
        p += 8;
        break;
      case mp::kUInt8: out += mp::put_uint(out, p[0]); p += 1; break;
      case mp::kUInt16: out += mp::put_uint(out, load_be<std::uint16_t>(p)); p += 2; break;
      case mp::kUInt32: out += mp::put_uint(out, load_be<std::uint32_t>(p)); p += 4; break;
      case mp::kUInt64: out += mp::put_uint(out, load_be<std::uint64_t>(p)); p += 8; break;
      case mp::kInt8: out += mp::put_int(out, static_cast<std::int8_t>(p[0])); p += 1; break;
      case mp::kInt16: out += mp::put_int(out, static_cast<std::int16_t>(load_be<std::uint16_t>(p))); p += 2; break;
      case mp::kInt32: out += mp::put_int(out, static_cast<std::int32_t>(load_be<std::uint32_t>(p))); p += 4; break;
      case mp::kInt64: out += mp::put_int(out, static_cast<std::int64_t>(load_be<std::uint64_t>(p))); p += 8; break;
      case mp::kStr8:
      case mp::kStr16:
      case mp::kStr32:
      case mp::kBin8:
      case mp::kBin16:
      case mp::kBin32: {
        const bool is_str = m >= mp::kStr8;
        const int width = is_str ? m - mp::kStr8 : m - mp::kBin8;
        const std::size_t len = width == 0 ? p[0] : width == 1 ? load_be<std::uint16_t>(p) : load_be<std::uint32_t>(p);
        p += std::size_t{1} << width;
        out += is_str ? packed::put_str_head(out, len) : packed::put_bin_head(out, len);
        std::memcpy(out, p, len);
        out += len;
        p += len;
        break;
      }
      case mp::kArray16:
      case mp::kArray32:
      case mp::kMap16:
      case mp::kMap32: {
        const bool is_map = m >= mp::kMap16;
        const bool wide = m == mp::kArray32 || m == mp::kMap32;
        const std::uint64_t n = wide ? load_be<std::uint32_t>(p) : load_be<std::uint16_t>(p);
        p += wide ? 4 : 2;
        out += is_map ? packed::put_map_head(out, n) : packed::put_array_head(out, n);
        pending += is_map ? 2 * n : n;
        break;
      }
      default: {  // the ext forms
        std::size_t len;
        switch (m) {
          case mp::kExt8: len = p[0]; p += 1; break;
          case mp::kExt16: len = load_be<std::uint16_t>(p); p += 2; break;
          case mp::kExt32: len = load_be<std::uint32_t>(p); p += 4; break;
          default: len = std::size_t{1} << (m - mp::kFixExt1); break;
        }
        const auto type = static_cast<std::int8_t>(*p++);
        if (type == mp::kTimestampType) {
          const Timestamp t = timestamp_of_ext_data(p, len);
          out += packed::put_timestamp(out, t.secs, t.nanos);
        } else {
          out += ext_read_as_bin(type, ext_as_bytes) ? packed::put_bin_head(out, len)
                                                     : packed::put_ext_head(out, type, len);
          std::memcpy(out, p, len);
          out += len;
        }
        p += len;
        break;
      }
    }
  } while (--pending != 0);
}

// The checked value at `begin`, in a block of its own.
Value packed_copy(const std::uint8_t* begin, const Measure& measure, bool ext_as_bytes) {
  return Value::from_packed(measure.packed_size, measure.nesting, measure.unencodable, [&](std::uint8_t* out) {
    if (measure.already_packed) {
      std::memcpy(out, begin, measure.packed_size);
    } else {
      repack(begin, out, ext_as_bytes);
    }
  });
}

// Checks the value at `position` of `data`, whose start it returns in `begin`.
Result<Measure, SerializationError> check(ByteView data, std::size_t position, bool ext_as_bytes,
                                          const std::uint8_t*& begin) {
  if (position >= data.size()) return SerializationError::UnexpectedEnd;
  begin = data.data() + position;
  Checker checker(begin, data.data() + data.size(), ext_as_bytes);
  Measure measure;
  if (!checker.run(measure)) return checker.error();
  return measure;
}

}  // namespace

Result<Value, SerializationError> decode_value(ByteView data, std::size_t& position, bool ext_as_bytes) {
  const std::uint8_t* begin;
  const auto measure = check(data, position, ext_as_bytes, begin);
  if (!measure.ok()) return measure.error();
  position = static_cast<std::size_t>(measure->end - data.data());
  return packed_copy(begin, *measure, ext_as_bytes);
}

Result<Value, SerializationError> decode_value_taking(Bytes&& data, std::size_t& position, bool ext_as_bytes) {
  position = 0;
  const std::uint8_t* begin;
  const auto measure = check(ByteView(data.data(), data.size()), 0, ext_as_bytes, begin);
  if (!measure.ok()) return measure.error();
  position = static_cast<std::size_t>(measure->end - begin);
  // A buffer grown while it was filled may be far larger than the value: then it is copied.
  const bool snug = data.capacity() - data.size() <= data.size() / 8;
  if (measure->already_packed && position == data.size() && snug) {
    return Value::from_packed_block(std::move(data), measure->nesting, measure->unencodable);
  }
  return packed_copy(begin, *measure, ext_as_bytes);
}

Result<ReadValue, SerializationError> read_value(ByteView data, std::size_t& position, bool ext_as_bytes) {
  const std::uint8_t* begin;
  const auto measure = check(data, position, ext_as_bytes, begin);
  if (!measure.ok()) return measure.error();
  ReadValue read;
  if (measure->already_packed) {
    read.in_place_ = begin;
  } else {
    read.owned_ = packed_copy(begin, *measure, ext_as_bytes);
  }
  position = static_cast<std::size_t>(measure->end - data.data());
  return read;
}

}  // namespace zq
