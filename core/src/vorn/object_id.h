// VORN identifiers: the kinds of object, the blocks of vornids reserved for some kinds, the
// resolver from a vornid to its object_id, the conversions back from an object_id and from byte
// forms, and their errors. All arithmetic is checked: nothing wraps.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/bytes.h"
#include "common/result.h"

namespace zq {

struct ObjectType {
  std::uint8_t code;
  std::string_view name;
};

// A half-open block [start, end) of vornids.
struct ObjectIdRange {
  std::uint8_t object_type;
  std::uint64_t start;
  std::uint64_t end;
};

// In code order: 0 gbn, 2 user, ... 9 region, 255 freenet.
std::span<const ObjectType> object_types();
// Federation (8) and region (9).
std::span<const ObjectIdRange> object_id_ranges();

// The range of a kind number; none for every number but 8 and 9.
std::optional<ObjectIdRange> object_id_range(std::int64_t object_type);

struct VORNObject {
  std::optional<std::uint64_t> memo;  // the first object_id resolved on this record
  std::uint64_t vornid = 0;
};

enum class ObjectIdErrorKind : std::uint8_t {
  UnknownObjectType = 0,  // number
  NoObjectId = 1,         // name
  InvalidObjectId = 2,    // vornid, name
  NoObjectIdRange = 3,    // number
  VornidOutOfRange = 4,
};

struct ObjectIdError {
  ObjectIdErrorKind kind;
  std::int64_t number = 0;
  std::uint64_t vornid = 0;
  std::string_view name;

  friend bool operator==(const ObjectIdError&, const ObjectIdError&) = default;
};

// The memo when filled (whatever the kind and vornid now); else the vornid's position in the
// kind's range, stored in the memo. A failure leaves the memo as it was.
Result<std::uint64_t, ObjectIdError> resolve_object_id(VORNObject& record, std::int64_t object_type);

// "Unknown object type {}", "Object type {} has no supported object_id", ...
std::string display_object_id_error(const ObjectIdError& error);

// The range's start plus `object_id` (which may be negative). NoObjectIdRange for a kind without
// a range; VornidOutOfRange when the sum is negative. The range's end is not checked.
Result<std::uint64_t, ObjectIdError> vornid_from_object_id(std::int64_t object_id, std::int64_t object_type);

// All of `data` as one big-endian number; VornidOutOfRange above 2^64 - 1 (a non-zero byte
// before the last eight).
Result<std::uint64_t, ObjectIdError> vornid_from_short_bytes(ByteView data);

// Bytes 2 to 9 of `data` (as many as there are) as one big-endian number; 0 for two bytes or fewer.
std::uint64_t vornid_from_long_bytes(ByteView data);

// 24 zero bytes, then the vornid big-endian.
void vornid_to_long_bytes(std::uint64_t vornid, std::uint8_t (&out)[32]);
// The vornid big-endian, leading zeros kept.
void vornid_to_short_bytes(std::uint64_t vornid, std::uint8_t (&out)[8]);

}  // namespace zq
