// The packed form of a Value, which is how every Value is stored: its MessagePack encoding with
// every item in the smallest form the encoder writes, items and pairs back to back in one block.
// Two kinds of item that the encoder refuses still have to be held, and take forms of their own:
//   - a timestamp whose nanos exceed 999999999 takes the 12-byte form (c7 0c ff nanos secs);
//   - a Str, Bin, Array or Map whose length or count exceeds 2^32-1, and an Ext of negative type,
//     takes an escape: c1 (never used by MessagePack), the marker of the item's 32-bit form
//     (db, c6, dd, df or c9), the length or count as 8 bytes, for an Ext its type byte, then the
//     content as usual.
// The readers here trust their input: a packed value was checked when it was made.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "serialization/big_endian.h"
#include "serialization/msgpack_markers.h"

namespace zq {

// Variant order is part of the model.
enum class ValueKind : std::uint8_t { Nil, Bool, Int, UInt, Float, Str, Bin, Array, Map, Timestamp, Ext };

namespace packed {

inline constexpr std::uint8_t kEscape = mp::kNeverUsed;
// The escape's marker, inner marker and 8-byte length.
inline constexpr std::size_t kEscapeHeadSize = 10;

// What precedes an item's content.
struct Head {
  ValueKind kind;
  std::uint8_t size;     // bytes of the head; for numbers, Nil and Bool the whole item
  std::uint64_t length;  // Str, Bin, Ext and Timestamp: content bytes; Array: items; Map: pairs
};

// The kind of an ext item by its type byte.
inline ValueKind ext_kind(std::uint8_t type) {
  return static_cast<std::int8_t>(type) == mp::kTimestampType ? ValueKind::Timestamp : ValueKind::Ext;
}

// The head of an escaped item at `p`.
inline Head escape_head(const std::uint8_t* p) {
  const std::uint64_t length = load_be<std::uint64_t>(p + 2);
  switch (p[1]) {
    case mp::kStr32: return {ValueKind::Str, kEscapeHeadSize, length};
    case mp::kBin32: return {ValueKind::Bin, kEscapeHeadSize, length};
    case mp::kArray32: return {ValueKind::Array, kEscapeHeadSize, length};
    case mp::kMap32: return {ValueKind::Map, kEscapeHeadSize, length};
    default: return {ValueKind::Ext, kEscapeHeadSize + 1, length};
  }
}

// The head of the item at `p`.
inline Head head(const std::uint8_t* p) {
  const std::uint8_t m = *p;
  if (m <= mp::kPositiveFixIntMax || m >= mp::kNegativeFixIntMin) return {ValueKind::Int, 1, 0};
  if (m < mp::kFixArray) return {ValueKind::Map, 1, std::uint64_t{m} & 0x0f};
  if (m < mp::kFixStr) return {ValueKind::Array, 1, std::uint64_t{m} & 0x0f};
  if (m < mp::kNil) return {ValueKind::Str, 1, std::uint64_t{m} & 0x1f};
  switch (m) {
    case mp::kNil: return {ValueKind::Nil, 1, 0};
    case kEscape: return escape_head(p);
    case mp::kFalse:
    case mp::kTrue: return {ValueKind::Bool, 1, 0};
    case mp::kBin8: return {ValueKind::Bin, 2, p[1]};
    case mp::kBin16: return {ValueKind::Bin, 3, load_be<std::uint16_t>(p + 1)};
    case mp::kBin32: return {ValueKind::Bin, 5, load_be<std::uint32_t>(p + 1)};
    case mp::kExt8: return {ext_kind(p[2]), 3, p[1]};
    case mp::kExt16: return {ext_kind(p[3]), 4, load_be<std::uint16_t>(p + 1)};
    case mp::kExt32: return {ext_kind(p[5]), 6, load_be<std::uint32_t>(p + 1)};
    case mp::kFloat64: return {ValueKind::Float, 9, 0};
    case mp::kUInt8: return {ValueKind::Int, 2, 0};
    case mp::kUInt16: return {ValueKind::Int, 3, 0};
    case mp::kUInt32: return {ValueKind::Int, 5, 0};
    case mp::kUInt64: return {p[1] >= 0x80 ? ValueKind::UInt : ValueKind::Int, 9, 0};
    case mp::kInt8: return {ValueKind::Int, 2, 0};
    case mp::kInt16: return {ValueKind::Int, 3, 0};
    case mp::kInt32: return {ValueKind::Int, 5, 0};
    case mp::kInt64: return {ValueKind::Int, 9, 0};
    case mp::kFixExt1: return {ext_kind(p[1]), 2, 1};
    case mp::kFixExt2: return {ext_kind(p[1]), 2, 2};
    case mp::kFixExt4: return {ext_kind(p[1]), 2, 4};
    case mp::kFixExt8: return {ext_kind(p[1]), 2, 8};
    case mp::kFixExt16: return {ext_kind(p[1]), 2, 16};
    case mp::kStr8: return {ValueKind::Str, 2, p[1]};
    case mp::kStr16: return {ValueKind::Str, 3, load_be<std::uint16_t>(p + 1)};
    case mp::kStr32: return {ValueKind::Str, 5, load_be<std::uint32_t>(p + 1)};
    case mp::kArray16: return {ValueKind::Array, 3, load_be<std::uint16_t>(p + 1)};
    case mp::kArray32: return {ValueKind::Array, 5, load_be<std::uint32_t>(p + 1)};
    case mp::kMap16: return {ValueKind::Map, 3, load_be<std::uint16_t>(p + 1)};
    default: return {ValueKind::Map, 5, load_be<std::uint32_t>(p + 1)};  // kMap32
  }
}

// The items that follow a head before the item ends: an array's items, a map's keys and values.
inline std::uint64_t nested_items(const Head& h) {
  if (h.kind == ValueKind::Array) return h.length;
  if (h.kind == ValueKind::Map) return 2 * h.length;
  return 0;
}

// Bytes of content after a head that are not nested items.
inline std::uint64_t content_bytes(const Head& h) {
  return h.kind == ValueKind::Array || h.kind == ValueKind::Map ? 0 : h.length;
}

// The first byte after the item at `p`, nested items included; walks without recursion.
inline const std::uint8_t* skip(const std::uint8_t* p) {
  std::uint64_t pending = 1;
  do {
    const Head h = head(p);
    p += h.size + content_bytes(h);
    pending += nested_items(h) - 1;
  } while (pending != 0);
  return p;
}

// The type code of an ext item: the last byte of its head.
inline std::int8_t ext_type(const std::uint8_t* p, const Head& h) {
  return static_cast<std::int8_t>(p[h.size - 1]);
}

}  // namespace packed
}  // namespace zq
