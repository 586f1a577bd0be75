// MessagePack writers of the smallest form of each number and length header, shared by the
// value encoder and the codecs that write their MessagePack item by item.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/bytes.h"
#include "serialization/big_endian.h"
#include "serialization/msgpack_markers.h"

namespace zq::mp {

// The largest length or count a header can carry.
inline constexpr std::uint64_t kMaxLength = 0xffffffffu;

// The cursor writers write at `p`, which has room for the longest form (9 bytes for a number,
// 5 for a header), and return the bytes used. Internal linkage, as they had inside the encoder,
// keeps its inlining and code layout as they were.

// A marker and a big-endian number of type T.
template <class T>
static inline std::size_t put(std::uint8_t* p, std::uint8_t marker, T v) {
  p[0] = marker;
  store_be<T>(p + 1, v);
  return 1 + sizeof(T);
}

static inline std::size_t put_uint(std::uint8_t* p, std::uint64_t u) {
  if (u <= kPositiveFixIntMax) {
    p[0] = static_cast<std::uint8_t>(u);
    return 1;
  }
  if (u <= 0xff) return put<std::uint8_t>(p, kUInt8, static_cast<std::uint8_t>(u));
  if (u <= 0xffff) return put<std::uint16_t>(p, kUInt16, static_cast<std::uint16_t>(u));
  if (u <= 0xffffffff) return put<std::uint32_t>(p, kUInt32, static_cast<std::uint32_t>(u));
  return put<std::uint64_t>(p, kUInt64, u);
}

static inline std::size_t put_int(std::uint8_t* p, std::int64_t i) {
  if (i >= 0) return put_uint(p, static_cast<std::uint64_t>(i));
  if (i >= -32) {
    p[0] = static_cast<std::uint8_t>(i);
    return 1;
  }
  if (i >= -128) return put<std::uint8_t>(p, kInt8, static_cast<std::uint8_t>(i));
  if (i >= -32768) return put<std::uint16_t>(p, kInt16, static_cast<std::uint16_t>(i));
  if (i >= -2147483648LL) return put<std::uint32_t>(p, kInt32, static_cast<std::uint32_t>(i));
  return put<std::uint64_t>(p, kInt64, static_cast<std::uint64_t>(i));
}

// A header with a length or count in 2 or 4 bytes; `len` has been checked against kMaxLength.
static inline std::size_t put_length16(std::uint8_t* p, std::uint64_t len, std::uint8_t marker16,
                                       std::uint8_t marker32) {
  if (len <= 0xffff) return put<std::uint16_t>(p, marker16, static_cast<std::uint16_t>(len));
  return put<std::uint32_t>(p, marker32, static_cast<std::uint32_t>(len));
}

// A header with a length in 1, 2 or 4 bytes.
static inline std::size_t put_length8(std::uint8_t* p, std::uint64_t len, std::uint8_t marker8,
                                      std::uint8_t marker16, std::uint8_t marker32) {
  if (len <= 0xff) return put<std::uint8_t>(p, marker8, static_cast<std::uint8_t>(len));
  return put_length16(p, len, marker16, marker32);
}

// A str header: the length in the marker below 32 bytes, else in 1, 2 or 4 bytes. One exit, as
// the encoder had it: g++ then lays the encoder out as before.
static inline std::size_t put_str_header(std::uint8_t* p, std::uint64_t len) {
  std::size_t header;
  if (len < 32) {
    p[0] = static_cast<std::uint8_t>(kFixStr | len);
    header = 1;
  } else {
    header = put_length8(p, len, kStr8, kStr16, kStr32);
  }
  return header;
}

static inline std::size_t put_bin_header(std::uint8_t* p, std::uint64_t len) {
  return put_length8(p, len, kBin8, kBin16, kBin32);
}

// Appenders over the cursor writers, for a buffer built item by item. Bytes never zero-fills,
// so sizing for the longest form and trimming to what was written costs no stores.

static inline void append_uint(Bytes& out, std::uint64_t u) {
  const std::size_t at = out.size();
  out.resize(at + 9);
  out.resize(at + put_uint(out.data() + at, u));
}

// A header from `put_header` followed by `bytes`, which is at most kMaxLength long.
template <class PutHeader>
static inline void append_with_header(Bytes& out, ByteView bytes, PutHeader put_header) {
  const std::size_t at = out.size();
  out.resize(at + 5 + bytes.size());
  const std::size_t header = put_header(out.data() + at, bytes.size());
  if (!bytes.empty()) std::memcpy(out.data() + at + header, bytes.data(), bytes.size());
  out.resize(at + header + bytes.size());
}

static inline void append_str(Bytes& out, std::string_view text) {
  append_with_header(out, as_bytes(text), put_str_header);
}
static inline void append_bin(Bytes& out, ByteView bytes) { append_with_header(out, bytes, put_bin_header); }

}  // namespace zq::mp
