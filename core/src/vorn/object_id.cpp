// Object kinds, identifier ranges, resolving and converting vornids.
#include "vorn/object_id.h"

#include <array>
#include <cstring>

namespace zq {
namespace {

constexpr std::array<ObjectType, 10> kObjectTypes = {{
    {0, "gbn"},     {2, "user"}, {3, "company"},    {4, "project"}, {5, "product"},
    {6, "service"}, {7, "doo"},  {8, "federation"}, {9, "region"},  {255, "freenet"},
}};

constexpr std::array<ObjectIdRange, 2> kRanges = {{
    {8, 2000, 3000},
    {9, 100000, 100000 + (std::uint64_t{1} << 32)},
}};

std::optional<std::string_view> object_type_name(std::int64_t number) {
  for (const ObjectType& type : kObjectTypes) {
    if (type.code == number) return type.name;
  }
  return std::nullopt;
}

}  // namespace

std::span<const ObjectType> object_types() { return kObjectTypes; }
std::span<const ObjectIdRange> object_id_ranges() { return kRanges; }

std::optional<ObjectIdRange> object_id_range(std::int64_t object_type) {
  for (const ObjectIdRange& range : kRanges) {
    if (range.object_type == object_type) return range;
  }
  return std::nullopt;
}

Result<std::uint64_t, ObjectIdError> resolve_object_id(VORNObject& record, std::int64_t object_type) {
  if (record.memo) return *record.memo;
  const auto name = object_type_name(object_type);
  if (const auto range = object_id_range(object_type)) {
    if (record.vornid < range->start || record.vornid >= range->end) {
      return ObjectIdError{ObjectIdErrorKind::InvalidObjectId, 0, record.vornid, *name};
    }
    record.memo = record.vornid - range->start;
    return *record.memo;
  }
  if (name) return ObjectIdError{ObjectIdErrorKind::NoObjectId, 0, 0, *name};
  return ObjectIdError{ObjectIdErrorKind::UnknownObjectType, object_type, 0, {}};
}

std::string display_object_id_error(const ObjectIdError& error) {
  switch (error.kind) {
    case ObjectIdErrorKind::UnknownObjectType:
      return "Unknown object type " + std::to_string(error.number);
    case ObjectIdErrorKind::NoObjectId:
      return "Object type " + std::string(error.name) + " has no supported object_id";
    case ObjectIdErrorKind::InvalidObjectId:
      return "Invalid object_id " + std::to_string(error.vornid) + " for object type " + std::string(error.name);
    case ObjectIdErrorKind::NoObjectIdRange:
      return "no object_id range for type " + std::to_string(error.number);
    case ObjectIdErrorKind::VornidOutOfRange:
      return "vornid out of u64 range";
  }
  return {};
}

Result<std::uint64_t, ObjectIdError> vornid_from_object_id(std::int64_t object_id, std::int64_t object_type) {
  const auto range = object_id_range(object_type);
  if (!range) return ObjectIdError{ObjectIdErrorKind::NoObjectIdRange, object_type, 0, {}};
  // Magnitudes as unsigned: a start below 2^17 plus at most 2^63 - 1 stays below 2^64, and a
  // negative id is subtracted only when the start covers it.
  const auto magnitude = static_cast<std::uint64_t>(object_id);
  if (object_id >= 0) return range->start + magnitude;
  const std::uint64_t below = std::uint64_t{0} - magnitude;
  if (below > range->start) return ObjectIdError{ObjectIdErrorKind::VornidOutOfRange};
  return range->start - below;
}

Result<std::uint64_t, ObjectIdError> vornid_from_short_bytes(ByteView data) {
  std::size_t first = 0;
  while (first < data.size() && data[first] == 0) ++first;
  if (data.size() - first > 8) return ObjectIdError{ObjectIdErrorKind::VornidOutOfRange};
  std::uint64_t value = 0;
  for (std::size_t i = first; i < data.size(); ++i) value = (value << 8) | data[i];
  return value;
}

std::uint64_t vornid_from_long_bytes(ByteView data) {
  std::uint64_t value = 0;
  for (std::size_t i = 2; i < data.size() && i < 10; ++i) value = (value << 8) | data[i];
  return value;
}

void vornid_to_long_bytes(std::uint64_t vornid, std::uint8_t (&out)[32]) {
  std::memset(out, 0, 24);
  for (int i = 0; i < 8; ++i) out[24 + i] = static_cast<std::uint8_t>(vornid >> (56 - 8 * i));
}

void vornid_to_short_bytes(std::uint64_t vornid, std::uint8_t (&out)[8]) {
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(vornid >> (56 - 8 * i));
}

}  // namespace zq
