// Writers of the heads of the packed form (packed_item.h): the smallest MessagePack form of each
// head, the escape beyond it, and timestamps. Each `put_*` writes at `p`, which has room for the
// matching `*_size`, and returns the bytes written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serialization/msgpack_writer.h"
#include "serialization/packed_item.h"

namespace zq::packed {

// The longest number, Nil or Bool item.
inline constexpr std::size_t kMaxScalarSize = 9;
// The longest head of any kind (an escaped Ext).
inline constexpr std::size_t kMaxHeadSize = kEscapeHeadSize + 1;
// The largest secs of the 4- and 8-byte timestamp forms (34 bits), and the largest nanos a
// timestamp can be encoded with.
inline constexpr std::uint64_t kMaxTimestampSecs34 = (std::uint64_t{1} << 34) - 1;
inline constexpr std::uint32_t kMaxNanos = 999999999;
// The 12-byte timestamp form: c7 0c ff, 4 bytes of nanos, 8 bytes of secs.
inline constexpr std::size_t kTimestamp96Size = 15;

// The size of an Int's smallest form, as mp::put_int writes it.
inline std::size_t int_size(std::int64_t i) {
  if (i >= 0) {
    const auto u = static_cast<std::uint64_t>(i);
    if (u <= mp::kPositiveFixIntMax) return 1;
    if (u <= 0xff) return 2;
    if (u <= 0xffff) return 3;
    return u <= 0xffffffff ? 5 : 9;
  }
  if (i >= -32) return 1;
  if (i >= -128) return 2;
  if (i >= -32768) return 3;
  return i >= -2147483648LL ? 5 : 9;
}

inline std::size_t put_escape(std::uint8_t* p, std::uint8_t marker32, std::uint64_t length) {
  p[0] = kEscape;
  p[1] = marker32;
  store_be<std::uint64_t>(p + 2, length);
  return kEscapeHeadSize;
}

inline std::size_t length_field_size(std::uint64_t length) {
  if (length <= 0xff) return 1;
  if (length <= 0xffff) return 2;
  return 4;
}

inline std::size_t str_head_size(std::uint64_t length) {
  if (length < 32) return 1;
  if (length > mp::kMaxLength) return kEscapeHeadSize;
  return 1 + length_field_size(length);
}
inline std::size_t put_str_head(std::uint8_t* p, std::uint64_t length) {
  if (length > mp::kMaxLength) return put_escape(p, mp::kStr32, length);
  return mp::put_str_header(p, length);
}

inline std::size_t bin_head_size(std::uint64_t length) {
  if (length > mp::kMaxLength) return kEscapeHeadSize;
  return 1 + length_field_size(length);
}
inline std::size_t put_bin_head(std::uint8_t* p, std::uint64_t length) {
  if (length > mp::kMaxLength) return put_escape(p, mp::kBin32, length);
  return mp::put_bin_header(p, length);
}

// Arrays and maps: a count below 16 in the marker, else in 2 or 4 bytes.
inline std::size_t container_head_size(std::uint64_t count) {
  if (count < 16) return 1;
  if (count <= 0xffff) return 3;
  if (count <= mp::kMaxLength) return 5;
  return kEscapeHeadSize;
}
inline std::size_t put_container_head(std::uint8_t* p, std::uint64_t count, std::uint8_t fix_marker,
                                      std::uint8_t marker16, std::uint8_t marker32) {
  if (count < 16) {
    p[0] = static_cast<std::uint8_t>(fix_marker | count);
    return 1;
  }
  if (count > mp::kMaxLength) return put_escape(p, marker32, count);
  return mp::put_length16(p, count, marker16, marker32);
}
inline std::size_t put_array_head(std::uint8_t* p, std::uint64_t count) {
  return put_container_head(p, count, mp::kFixArray, mp::kArray16, mp::kArray32);
}
inline std::size_t put_map_head(std::uint8_t* p, std::uint64_t count) {
  return put_container_head(p, count, mp::kFixMap, mp::kMap16, mp::kMap32);
}

// Whether an Ext can be written as MessagePack: the escape holds the others.
inline bool ext_encodable(std::int8_t type, std::uint64_t length) { return type >= 0 && length <= mp::kMaxLength; }

inline std::size_t ext_head_size(std::int8_t type, std::uint64_t length) {
  if (!ext_encodable(type, length)) return kEscapeHeadSize + 1;
  switch (length) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16: return 2;
    default: return 2 + length_field_size(length);
  }
}
inline std::size_t put_ext_head(std::uint8_t* p, std::int8_t type, std::uint64_t length) {
  std::size_t marker_size;
  if (!ext_encodable(type, length)) {
    marker_size = put_escape(p, mp::kExt32, length);
  } else {
    switch (length) {
      case 1: p[0] = mp::kFixExt1; marker_size = 1; break;
      case 2: p[0] = mp::kFixExt2; marker_size = 1; break;
      case 4: p[0] = mp::kFixExt4; marker_size = 1; break;
      case 8: p[0] = mp::kFixExt8; marker_size = 1; break;
      case 16: p[0] = mp::kFixExt16; marker_size = 1; break;
      default: marker_size = mp::put_length8(p, length, mp::kExt8, mp::kExt16, mp::kExt32); break;
    }
  }
  p[marker_size] = static_cast<std::uint8_t>(type);
  return marker_size + 1;
}

// Timestamps: the encoder's form while nanos are at most 999999999, else the 12-byte form.
inline std::size_t timestamp_size(std::int64_t secs, std::uint32_t nanos) {
  const auto s = static_cast<std::uint64_t>(secs);
  if (nanos > kMaxNanos || s > kMaxTimestampSecs34) return kTimestamp96Size;  // negative secs too
  return ((std::uint64_t{nanos} << 34) | s) >> 32 != 0 ? 10 : 6;
}
inline std::size_t put_timestamp(std::uint8_t* p, std::int64_t secs, std::uint32_t nanos) {
  const auto s = static_cast<std::uint64_t>(secs);
  switch (timestamp_size(secs, nanos)) {
    case kTimestamp96Size:
      p[0] = mp::kExt8;
      p[1] = 12;
      p[2] = static_cast<std::uint8_t>(mp::kTimestampType);
      store_be<std::uint32_t>(p + 3, nanos);
      store_be<std::uint64_t>(p + 7, s);
      return kTimestamp96Size;
    case 10:
      p[0] = mp::kFixExt8;
      p[1] = static_cast<std::uint8_t>(mp::kTimestampType);
      store_be<std::uint64_t>(p + 2, (std::uint64_t{nanos} << 34) | s);
      return 10;
    default:
      p[0] = mp::kFixExt4;
      p[1] = static_cast<std::uint8_t>(mp::kTimestampType);
      store_be<std::uint32_t>(p + 2, static_cast<std::uint32_t>(s));
      return 6;
  }
}

inline std::size_t put_float(std::uint8_t* p, std::uint64_t bits) {
  return mp::put<std::uint64_t>(p, mp::kFloat64, bits);
}

}  // namespace zq::packed
