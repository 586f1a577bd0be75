// MessagePack encoder: writes a Value in the smallest form of each item, appending to a byte
// buffer, plus the per-thread scratch buffers behind ScratchOutput and encode_value_to_bytes.
#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "serialization/msgpack.h"
#include "serialization/msgpack_markers.h"
#include "serialization/msgpack_writer.h"

// The per-item steps are forced inline so that the cursor stays in a register.
#define ZQ_HOT [[gnu::always_inline]] inline

namespace zq {
namespace {

using mp::kMaxLength;
using mp::put;
using mp::put_bin_header;
using mp::put_int;
using mp::put_length16;
using mp::put_length8;
using mp::put_str_header;
using mp::put_uint;

// The largest secs of the 4- and 8-byte timestamp forms (34 bits).
constexpr std::uint64_t kMaxTimestampSecs34 = (std::uint64_t{1} << 34) - 1;
constexpr std::uint32_t kMaxNanos = 999999999;
// The 12-byte timestamp form: c7 0c ff, 4 bytes of nanos, 8 bytes of secs.
constexpr std::size_t kTimestamp96Size = 15;
// Room for any number and for any header.
constexpr std::size_t kMaxNumberSize = 9;
constexpr std::size_t kMaxHeaderSize = 6;

// Copies `n` bytes for short texts with a few fixed-size moves instead of a call to memcpy.
ZQ_HOT void copy_short(std::uint8_t* dst, const void* src, std::size_t n) {
  const auto* s = static_cast<const std::uint8_t*>(src);
  if (n >= 8) {
    if (n <= 16) {
      std::memcpy(dst, s, 8);
      std::memcpy(dst + n - 8, s + n - 8, 8);
      return;
    }
    std::memcpy(dst, s, n);
    return;
  }
  if (n >= 4) {
    std::memcpy(dst, s, 4);
    std::memcpy(dst + n - 4, s + n - 4, 4);
    return;
  }
  if (n != 0) {
    dst[0] = s[0];
    dst[n / 2] = s[n / 2];
    dst[n - 1] = s[n - 1];
  }
}

// The write position and the end of the room written so far, passed and returned by value so
// that both stay in registers: kept in memory, they would be reloaded after every byte stored,
// which may alias them. A null `p` means the encode failed.
struct Cursor {
  std::uint8_t* p;
  std::uint8_t* end;
};

// Writes items at a Cursor into `out`, which is kept sized to its capacity while writing (Bytes
// never zero-fills) and trimmed to what was written by finish(). Each step takes the cursor and
// returns it advanced, or null after recording the error.
//
// With `runs`, byte strings of kGatherMin bytes or more are not copied: their place in the
// output is recorded instead, for ScratchOutput::copy_to.
class Encoder {
 public:
  Encoder(Bytes& out, std::vector<ScratchOutput::Run>* runs) : out_(out), runs_(runs) {
    const std::size_t used = out.size();
    out.resize(out.capacity());
    start_ = {out.data() + used, out.data() + out.size()};
  }
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  Cursor start() const { return start_; }
  SerializationError error() const { return error_; }

  // Trims the output to the cursor, or to the end of what was written before a failure; false
  // after a failure.
  bool finish(Cursor c) {
    out_.resize(static_cast<std::size_t>((c.p != nullptr ? c.p : failed_at_) - out_.data()));
    return c.p != nullptr;
  }

  // One item; the kinds of most items are written here, containers and the rare kinds by
  // value_slow().
  ZQ_HOT Cursor value(const Value& v, std::size_t depth, Cursor c) {
    switch (v.kind()) {
      case Value::Kind::Nil:
        c = room(c, 1);
        *c.p = mp::kNil;
        return advance(c, 1);
      case Value::Kind::Bool:
        c = room(c, 1);
        *c.p = v.as_bool() ? mp::kTrue : mp::kFalse;
        return advance(c, 1);
      case Value::Kind::Int:
        c = room(c, kMaxNumberSize);
        return advance(c, put_int(c.p, v.as_int()));
      case Value::Kind::UInt:
        c = room(c, kMaxNumberSize);
        return advance(c, put_uint(c.p, v.as_uint()));
      case Value::Kind::Float:
        c = room(c, kMaxNumberSize);
        return advance(c, put<std::uint64_t>(c.p, mp::kFloat64, std::bit_cast<std::uint64_t>(v.as_float())));
      case Value::Kind::Str:
        return str(v.as_str(), c);
      case Value::Kind::Bin:
        return bin(v.as_bin(), c);
      default:
        return value_slow(v, depth, c);
    }
  }

  // A map's header and pairs; its keys and values sit at `depth` + 1.
  Cursor map(const Value::Map& m, std::size_t depth, Cursor c) {
    if (depth >= kMaxEncodeDepth) return fail(SerializationError::DepthExceeded, c);
    if (m.size() > kMaxLength) return fail(SerializationError::NotEncodable, c);
    c = container_header(m.size(), mp::kFixMap, mp::kMap16, mp::kMap32, c);
    for (const ValuePair& pair : m) {
      c = value(pair.key, depth + 1, c);
      if (c.p == nullptr) return c;
      c = value(pair.value, depth + 1, c);
      if (c.p == nullptr) return c;
    }
    return c;
  }

 private:
  ZQ_HOT static Cursor advance(Cursor c, std::size_t n) { return {c.p + n, c.end}; }

  // The cursor with room for `n` bytes.
  ZQ_HOT Cursor room(Cursor c, std::size_t n) {
    if (static_cast<std::size_t>(c.end - c.p) < n) return grow(c.p, n);
    return c;
  }

  // Moves the written bytes into a buffer at least twice as large; returns the cursor there.
  [[gnu::noinline]] Cursor grow(std::uint8_t* p, std::size_t n) {
    const auto used = static_cast<std::size_t>(p - out_.data());
    out_.resize(used);
    out_.reserve(std::max({used + n, 2 * out_.capacity(), std::size_t{256}}));
    out_.resize(out_.capacity());
    return {out_.data() + used, out_.data() + out_.size()};
  }

  Cursor fail(SerializationError e, Cursor c) {
    error_ = e;
    failed_at_ = c.p;
    return {nullptr, nullptr};
  }

  ZQ_HOT Cursor container_header(std::size_t count, std::uint8_t fix_marker, std::uint8_t marker16,
                                 std::uint8_t marker32, Cursor c) {
    c = room(c, kMaxHeaderSize);
    if (count < 16) {
      *c.p = static_cast<std::uint8_t>(fix_marker | count);
      return advance(c, 1);
    }
    return advance(c, put_length16(c.p, count, marker16, marker32));
  }

  // The header that `put_header` writes, then `len` bytes of `data`.
  template <class PutHeader>
  ZQ_HOT Cursor bytes_item(const void* data, std::size_t len, Cursor c, PutHeader put_header) {
    if (len > kMaxLength) return fail(SerializationError::NotEncodable, c);
    if (runs_ != nullptr && len >= ScratchOutput::kGatherMin) return gathered(data, len, c, put_header);
    c = room(c, kMaxHeaderSize + len);
    c = advance(c, put_header(c.p, len));
    copy_short(c.p, data, len);
    return advance(c, len);
  }

  // The header, and a note that `len` bytes of `data` follow it.
  template <class PutHeader>
  [[gnu::noinline]] Cursor gathered(const void* data, std::size_t len, Cursor c, PutHeader put_header) {
    c = room(c, kMaxHeaderSize);
    c = advance(c, put_header(c.p, len));
    runs_->push_back({static_cast<std::size_t>(c.p - out_.data()), static_cast<const std::uint8_t*>(data), len});
    return c;
  }

  ZQ_HOT Cursor str(const std::string& s, Cursor c) { return bytes_item(s.data(), s.size(), c, put_str_header); }

  ZQ_HOT Cursor bin(const Bytes& b, Cursor c) { return bytes_item(b.data(), b.size(), c, put_bin_header); }

  [[gnu::noinline]] Cursor value_slow(const Value& v, std::size_t depth, Cursor c) {
    switch (v.kind()) {
      case Value::Kind::Array:
        return array(v.as_array(), depth, c);
      case Value::Kind::Map:
        return map(v.as_map(), depth, c);
      case Value::Kind::Timestamp:
        return timestamp(v.as_timestamp(), c);
      case Value::Kind::Ext:
        return ext(v.as_ext(), c);
      default:
        return fail(SerializationError::NotEncodable, c);
    }
  }

  Cursor array(const Value::Array& a, std::size_t depth, Cursor c) {
    if (depth >= kMaxEncodeDepth) return fail(SerializationError::DepthExceeded, c);
    if (a.size() > kMaxLength) return fail(SerializationError::NotEncodable, c);
    c = container_header(a.size(), mp::kFixArray, mp::kArray16, mp::kArray32, c);
    for (const Value& item : a) {
      c = value(item, depth + 1, c);
      if (c.p == nullptr) return c;
    }
    return c;
  }

  Cursor timestamp(const Timestamp& t, Cursor c) {
    if (t.nanos > kMaxNanos) return fail(SerializationError::NotEncodable, c);
    c = room(c, kTimestamp96Size);
    std::uint8_t* p = c.p;
    const auto secs = static_cast<std::uint64_t>(t.secs);
    if (secs > kMaxTimestampSecs34) {  // every negative secs lands here too
      p[0] = mp::kExt8;
      p[1] = 12;
      p[2] = static_cast<std::uint8_t>(mp::kTimestampType);
      store_be<std::uint32_t>(p + 3, t.nanos);
      store_be<std::uint64_t>(p + 7, secs);
      return advance(c, kTimestamp96Size);
    }
    const std::uint64_t packed = (std::uint64_t{t.nanos} << 34) | secs;
    if (packed >> 32 != 0) {
      p[0] = mp::kFixExt8;
      p[1] = static_cast<std::uint8_t>(mp::kTimestampType);
      store_be<std::uint64_t>(p + 2, packed);
      return advance(c, 10);
    }
    p[0] = mp::kFixExt4;
    p[1] = static_cast<std::uint8_t>(mp::kTimestampType);
    store_be<std::uint32_t>(p + 2, static_cast<std::uint32_t>(secs));
    return advance(c, 6);
  }

  Cursor ext(const Ext& e, Cursor c) {
    if (e.type < 0) return fail(SerializationError::NotEncodable, c);
    return bytes_item(e.data.data(), e.data.size(), c, [&](std::uint8_t* h, std::size_t len) {
      std::size_t header;
      switch (len) {
        case 1: h[0] = mp::kFixExt1; header = 1; break;
        case 2: h[0] = mp::kFixExt2; header = 1; break;
        case 4: h[0] = mp::kFixExt4; header = 1; break;
        case 8: h[0] = mp::kFixExt8; header = 1; break;
        case 16: h[0] = mp::kFixExt16; header = 1; break;
        default: header = put_length8(h, len, mp::kExt8, mp::kExt16, mp::kExt32); break;
      }
      h[header] = static_cast<std::uint8_t>(e.type);
      return header + 1;
    });
  }

  Bytes& out_;
  std::vector<ScratchOutput::Run>* const runs_;
  Cursor start_;
  std::uint8_t* failed_at_ = nullptr;
  SerializationError error_ = SerializationError::NotEncodable;
};

// Each thread keeps two sets of scratch buffers, so that repeated encodes on one thread reuse
// their allocations; freed when the thread ends. The one behind encode_value_to_bytes grows and
// is never shrunk. The one of caller-made outputs is apart, so that the body of a compressed
// container, encoded while the container's output is being built, finds its own buffer warm;
// it is not kept once it has grown beyond kKeptOutputMax, so that one huge output does not hold
// its memory for the thread's life.
thread_local ScratchOutput::Buffers thread_encode_buffer;
thread_local ScratchOutput::Buffers thread_output_buffer;
constexpr std::size_t kKeptOutputMax = std::size_t{16} << 20;

}  // namespace

Result<void, SerializationError> encode_value(const Value& value, Bytes& out, std::size_t depth) {
  Encoder encoder(out, nullptr);
  if (!encoder.finish(encoder.value(value, depth, encoder.start()))) return encoder.error();
  return {};
}

bool encodable(const Value& value, std::size_t depth) {
  switch (value.kind()) {
    case Value::Kind::Str:
      return value.as_str().size() <= kMaxLength;
    case Value::Kind::Bin:
      return value.as_bin().size() <= kMaxLength;
    case Value::Kind::Array:
      if (depth >= kMaxEncodeDepth || value.as_array().size() > kMaxLength) return false;
      return std::all_of(value.as_array().begin(), value.as_array().end(),
                         [&](const Value& item) { return encodable(item, depth + 1); });
    case Value::Kind::Map:
      if (depth >= kMaxEncodeDepth || value.as_map().size() > kMaxLength) return false;
      return std::all_of(value.as_map().begin(), value.as_map().end(), [&](const ValuePair& pair) {
        return encodable(pair.key, depth + 1) && encodable(pair.value, depth + 1);
      });
    case Value::Kind::Timestamp:
      return value.as_timestamp().nanos <= kMaxNanos;
    case Value::Kind::Ext:
      return value.as_ext().type >= 0 && value.as_ext().data.size() <= kMaxLength;
    default:
      return true;
  }
}

Result<void, SerializationError> encode_map_pairs(const Value::Map& pairs, Bytes& out) {
  Encoder encoder(out, nullptr);
  if (!encoder.finish(encoder.map(pairs, 0, encoder.start()))) return encoder.error();
  return {};
}

ScratchOutput::ScratchOutput() : ScratchOutput(thread_output_buffer) {}

// The buffers are taken out of their slot for the output's life and put back on every path.
ScratchOutput::ScratchOutput(Buffers& slot) : slot_(slot), buffers_(std::move(slot)) {
  buffers_.bytes.clear();
  buffers_.runs.clear();
}

ScratchOutput::~ScratchOutput() {
  if (&slot_ == &thread_output_buffer && buffers_.bytes.capacity() > kKeptOutputMax) return;
  slot_ = std::move(buffers_);
}

Result<void, SerializationError> ScratchOutput::encode(const Value& value) {
  const std::size_t runs_before = buffers_.runs.size();
  Encoder encoder(buffers_.bytes, &buffers_.runs);
  if (!encoder.finish(encoder.value(value, 0, encoder.start()))) return encoder.error();
  for (std::size_t i = runs_before; i < buffers_.runs.size(); ++i) gathered_ += buffers_.runs[i].size;
  return {};
}

void ScratchOutput::copy_to(std::uint8_t* out) const {
  const Bytes& bytes = buffers_.bytes;
  std::size_t from = 0;
  for (const Run& run : buffers_.runs) {
    // Runs are noted in order, each after the header written before it.
    std::memcpy(out, bytes.data() + from, run.at - from);
    out += run.at - from;
    std::memcpy(out, run.data, run.size);
    out += run.size;
    from = run.at;
  }
  if (bytes.size() != from) std::memcpy(out, bytes.data() + from, bytes.size() - from);
}

Result<Bytes, SerializationError> encode_value_to_bytes(const Value& value) {
  ScratchOutput scratch(thread_encode_buffer);
  if (auto status = scratch.encode(value); !status.ok()) return status.error();
  Bytes out(scratch.size());
  scratch.copy_to(out.data());
  return out;
}

}  // namespace zq
