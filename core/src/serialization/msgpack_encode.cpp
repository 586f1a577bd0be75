// MessagePack encoder: writes a Value in the smallest form of each item, appending to a byte
// buffer, plus the per-thread scratch buffer behind encode_value_to_bytes.
#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "serialization/big_endian.h"
#include "serialization/byte_copy.h"
#include "serialization/msgpack.h"
#include "serialization/msgpack_markers.h"

namespace zq {
namespace {

constexpr std::uint64_t kMaxLength = 0xffffffffu;
// The largest secs of the 4- and 8-byte timestamp forms (34 bits).
constexpr std::uint64_t kMaxTimestampSecs34 = (std::uint64_t{1} << 34) - 1;
constexpr std::uint32_t kMaxNanos = 999999999;
// The 12-byte timestamp form: c7 0c ff, 4 bytes of nanos, 8 bytes of secs.
constexpr std::size_t kTimestamp96Size = 15;

// Appends to `out` through a raw cursor. The vector is kept sized to its capacity while
// writing (Bytes never zero-fills) and trimmed to what was written when the writer goes.
class Writer {
 public:
  explicit Writer(Bytes& out) : out_(out), pos_(out.size()) {
    out_.resize(out_.capacity());
    base_ = out_.data();
    cap_ = out_.size();
  }
  ~Writer() { out_.resize(pos_); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // A cursor with room for `n` bytes; commit() says how many were used.
  std::uint8_t* room(std::size_t n) {
    if (cap_ - pos_ < n) grow(n);
    return base_ + pos_;
  }
  void commit(std::size_t n) { pos_ += n; }

 private:
  // Moves the written bytes into a buffer at least twice as large, with one memcpy (growing
  // Bytes in place would copy them through its allocator byte by byte).
  void grow(std::size_t n) {
    Bytes bigger;
    bigger.resize(std::max({pos_ + n, 2 * cap_, std::size_t{256}}));
    if (pos_ != 0) std::memcpy(bigger.data(), base_, pos_);
    out_.swap(bigger);
    base_ = out_.data();
    cap_ = out_.size();
  }

  Bytes& out_;
  std::uint8_t* base_;
  std::size_t pos_;
  std::size_t cap_;
};

// Writes a marker and a big-endian number of type T; returns the bytes used.
template <class T>
inline std::size_t put(std::uint8_t* p, std::uint8_t marker, T v) {
  p[0] = marker;
  store_be<T>(p + 1, v);
  return 1 + sizeof(T);
}

inline std::size_t put_uint(std::uint8_t* p, std::uint64_t u) {
  if (u <= mp::kPositiveFixIntMax) {
    p[0] = static_cast<std::uint8_t>(u);
    return 1;
  }
  if (u <= 0xff) return put<std::uint8_t>(p, mp::kUInt8, static_cast<std::uint8_t>(u));
  if (u <= 0xffff) return put<std::uint16_t>(p, mp::kUInt16, static_cast<std::uint16_t>(u));
  if (u <= 0xffffffff) return put<std::uint32_t>(p, mp::kUInt32, static_cast<std::uint32_t>(u));
  return put<std::uint64_t>(p, mp::kUInt64, u);
}

inline std::size_t put_int(std::uint8_t* p, std::int64_t i) {
  if (i >= 0) return put_uint(p, static_cast<std::uint64_t>(i));
  if (i >= -32) {
    p[0] = static_cast<std::uint8_t>(i);
    return 1;
  }
  if (i >= -128) return put<std::uint8_t>(p, mp::kInt8, static_cast<std::uint8_t>(i));
  if (i >= -32768) return put<std::uint16_t>(p, mp::kInt16, static_cast<std::uint16_t>(i));
  if (i >= -2147483648LL) return put<std::uint32_t>(p, mp::kInt32, static_cast<std::uint32_t>(i));
  return put<std::uint64_t>(p, mp::kInt64, static_cast<std::uint64_t>(i));
}

// A header with a length or count in 2 or 4 bytes; `len` has been checked against kMaxLength.
inline std::size_t put_length16(std::uint8_t* p, std::uint64_t len, std::uint8_t marker16,
                                std::uint8_t marker32) {
  if (len <= 0xffff) return put<std::uint16_t>(p, marker16, static_cast<std::uint16_t>(len));
  return put<std::uint32_t>(p, marker32, static_cast<std::uint32_t>(len));
}

// A header with a length in 1, 2 or 4 bytes.
inline std::size_t put_length8(std::uint8_t* p, std::uint64_t len, std::uint8_t marker8,
                               std::uint8_t marker16, std::uint8_t marker32) {
  if (len <= 0xff) return put<std::uint8_t>(p, marker8, static_cast<std::uint8_t>(len));
  return put_length16(p, len, marker16, marker32);
}

class Encoder {
 public:
  explicit Encoder(Bytes& out) : w_(out) {}

  SerializationError error() const { return error_; }

  bool value(const Value& v, std::size_t depth) {
    switch (v.kind()) {
      case Value::Kind::Nil:
        *w_.room(1) = mp::kNil;
        w_.commit(1);
        return true;
      case Value::Kind::Bool:
        *w_.room(1) = v.as_bool() ? mp::kTrue : mp::kFalse;
        w_.commit(1);
        return true;
      case Value::Kind::Int:
        w_.commit(put_int(w_.room(9), v.as_int()));
        return true;
      case Value::Kind::UInt:
        w_.commit(put_uint(w_.room(9), v.as_uint()));
        return true;
      case Value::Kind::Float:
        w_.commit(
            put<std::uint64_t>(w_.room(9), mp::kFloat64, std::bit_cast<std::uint64_t>(v.as_float())));
        return true;
      case Value::Kind::Str:
        return str(v.as_str());
      case Value::Kind::Bin:
        return bin(v.as_bin());
      case Value::Kind::Array:
        return array(v.as_array(), depth);
      case Value::Kind::Map:
        return map(v.as_map(), depth);
      case Value::Kind::Timestamp:
        return timestamp(v.as_timestamp());
      case Value::Kind::Ext:
        return ext(v.as_ext());
    }
    return fail(SerializationError::NotEncodable);
  }

  // A map's header and pairs; its keys and values sit at `depth` + 1.
  bool map(const Value::Map& m, std::size_t depth) {
    if (depth >= kMaxEncodeDepth) return fail(SerializationError::DepthExceeded);
    if (m.size() > kMaxLength) return fail(SerializationError::NotEncodable);
    std::uint8_t* p = w_.room(5);
    if (m.size() < 16) {
      p[0] = static_cast<std::uint8_t>(mp::kFixMap | m.size());
      w_.commit(1);
    } else {
      w_.commit(put_length16(p, m.size(), mp::kMap16, mp::kMap32));
    }
    for (const ValuePair& pair : m) {
      if (!value(pair.key, depth + 1) || !value(pair.value, depth + 1)) return false;
    }
    return true;
  }

 private:
  bool fail(SerializationError e) {
    error_ = e;
    return false;
  }

  bool str(const std::string& s) {
    const std::size_t len = s.size();
    if (len > kMaxLength) return fail(SerializationError::NotEncodable);
    std::uint8_t* p = w_.room(5 + len);
    std::size_t header;
    if (len < 32) {
      p[0] = static_cast<std::uint8_t>(mp::kFixStr | len);
      header = 1;
    } else {
      header = put_length8(p, len, mp::kStr8, mp::kStr16, mp::kStr32);
    }
    if (len != 0) std::memcpy(p + header, s.data(), len);
    w_.commit(header + len);
    return true;
  }

  bool bin(const Bytes& b) {
    const std::size_t len = b.size();
    if (len > kMaxLength) return fail(SerializationError::NotEncodable);
    std::uint8_t* p = w_.room(5 + len);
    const std::size_t header = put_length8(p, len, mp::kBin8, mp::kBin16, mp::kBin32);
    if (len != 0) std::memcpy(p + header, b.data(), len);
    w_.commit(header + len);
    return true;
  }

  bool array(const Value::Array& a, std::size_t depth) {
    if (depth >= kMaxEncodeDepth) return fail(SerializationError::DepthExceeded);
    if (a.size() > kMaxLength) return fail(SerializationError::NotEncodable);
    std::uint8_t* p = w_.room(5);
    if (a.size() < 16) {
      p[0] = static_cast<std::uint8_t>(mp::kFixArray | a.size());
      w_.commit(1);
    } else {
      w_.commit(put_length16(p, a.size(), mp::kArray16, mp::kArray32));
    }
    for (const Value& item : a) {
      if (!value(item, depth + 1)) return false;
    }
    return true;
  }

  bool timestamp(const Timestamp& t) {
    if (t.nanos > kMaxNanos) return fail(SerializationError::NotEncodable);
    std::uint8_t* p = w_.room(kTimestamp96Size);
    const auto secs = static_cast<std::uint64_t>(t.secs);
    if (secs > kMaxTimestampSecs34) {  // every negative secs lands here too
      p[0] = mp::kExt8;
      p[1] = 12;
      p[2] = static_cast<std::uint8_t>(mp::kTimestampType);
      store_be<std::uint32_t>(p + 3, t.nanos);
      store_be<std::uint64_t>(p + 7, secs);
      w_.commit(kTimestamp96Size);
      return true;
    }
    const std::uint64_t packed = (std::uint64_t{t.nanos} << 34) | secs;
    if (packed >> 32 != 0) {
      p[0] = mp::kFixExt8;
      p[1] = static_cast<std::uint8_t>(mp::kTimestampType);
      store_be<std::uint64_t>(p + 2, packed);
      w_.commit(10);
    } else {
      p[0] = mp::kFixExt4;
      p[1] = static_cast<std::uint8_t>(mp::kTimestampType);
      store_be<std::uint32_t>(p + 2, static_cast<std::uint32_t>(secs));
      w_.commit(6);
    }
    return true;
  }

  bool ext(const Ext& e) {
    if (e.type < 0) return fail(SerializationError::NotEncodable);
    const std::size_t len = e.data.size();
    if (len > kMaxLength) return fail(SerializationError::NotEncodable);
    std::uint8_t* p = w_.room(6 + len);
    std::size_t header;
    switch (len) {
      case 1: p[0] = mp::kFixExt1; header = 1; break;
      case 2: p[0] = mp::kFixExt2; header = 1; break;
      case 4: p[0] = mp::kFixExt4; header = 1; break;
      case 8: p[0] = mp::kFixExt8; header = 1; break;
      case 16: p[0] = mp::kFixExt16; header = 1; break;
      default: header = put_length8(p, len, mp::kExt8, mp::kExt16, mp::kExt32); break;
    }
    p[header++] = static_cast<std::uint8_t>(e.type);
    if (len != 0) std::memcpy(p + header, e.data.data(), len);
    w_.commit(header + len);
    return true;
  }

  Writer w_;
  SerializationError error_ = SerializationError::NotEncodable;
};

// Grown by encode_value_to_bytes and never shrunk, so that repeated encodes on one thread
// reuse one allocation; freed when the thread ends.
thread_local Bytes thread_encode_buffer;

}  // namespace

Result<void, SerializationError> encode_value(const Value& value, Bytes& out, std::size_t depth) {
  Encoder encoder(out);
  if (!encoder.value(value, depth)) return encoder.error();
  return {};
}

Result<void, SerializationError> encode_map_pairs(const Value::Map& pairs, Bytes& out) {
  Encoder encoder(out);
  if (!encoder.map(pairs, 0)) return encoder.error();
  return {};
}

Result<Bytes, SerializationError> encode_value_to_bytes(const Value& value) {
  // The buffer is taken out of its slot for the call and put back on every path, even when
  // the copy below fails to allocate.
  struct Loan {
    Bytes buffer = std::exchange(thread_encode_buffer, Bytes());
    ~Loan() { thread_encode_buffer = std::move(buffer); }
  } loan;
  loan.buffer.clear();
  if (auto status = encode_value(value, loan.buffer, 0); !status.ok()) return status.error();
  return copy_to_bytes(loan.buffer.data(), loan.buffer.size());
}

}  // namespace zq
