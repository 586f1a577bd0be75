// VORN identifiers: resolving for each kind of number, the memo, error texts, and the checked
// conversions from object_ids and byte forms at their limits.
#include "vorn/object_id.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace zq {
namespace {

constexpr std::int64_t kI64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kI64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::uint64_t kU64Max = std::numeric_limits<std::uint64_t>::max();

TEST(ResolveObjectIdTest, RangesKindsAndNumbers) {
  const struct {
    std::uint64_t vornid;
    std::int64_t type;
    std::string expected;
  } cases[] = {
      {2000, 8, "ok 0"},
      {2999, 8, "ok 999"},
      {3000, 8, "Invalid object_id 3000 for object type federation"},
      {1999, 8, "Invalid object_id 1999 for object type federation"},
      {100000, 9, "ok 0"},
      {4295067295, 9, "ok 4294967295"},
      {4295067296, 9, "Invalid object_id 4295067296 for object type region"},
      {kU64Max, 9, "Invalid object_id 18446744073709551615 for object type region"},
      {5, 2, "Object type user has no supported object_id"},
      {5, 255, "Object type freenet has no supported object_id"},
      {5, 0, "Object type gbn has no supported object_id"},
      {5, 1, "Unknown object type 1"},
      {5, 10, "Unknown object type 10"},
      {5, 256, "Unknown object type 256"},
      {5, -1, "Unknown object type -1"},
      {5, kI64Min, "Unknown object type -9223372036854775808"},
      {5, 8 + 256, "Unknown object type 264"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.vornid) + " kind " + std::to_string(c.type));
    VORNObject record{std::nullopt, c.vornid};
    auto r = resolve_object_id(record, c.type);
    const std::string text = r.ok() ? "ok " + std::to_string(*r) : display_object_id_error(r.error());
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(record.memo.has_value(), r.ok());
  }
}

TEST(ResolveObjectIdTest, MemoIsReturnedForAnyKindAndVornid) {
  VORNObject record{std::nullopt, 2500};
  EXPECT_FALSE(resolve_object_id(record, 9).ok());
  EXPECT_FALSE(record.memo.has_value());
  EXPECT_EQ(*resolve_object_id(record, 8), 500u);
  for (std::int64_t type : {9, 1, 2, -5}) EXPECT_EQ(*resolve_object_id(record, type), 500u) << type;
  record.vornid = 100500;
  EXPECT_EQ(*resolve_object_id(record, 9), 500u);
}

TEST(ObjectIdErrorTest, ConversionErrorTexts) {
  EXPECT_EQ(display_object_id_error({ObjectIdErrorKind::NoObjectIdRange, -3}), "no object_id range for type -3");
  EXPECT_EQ(display_object_id_error({ObjectIdErrorKind::VornidOutOfRange}), "vornid out of u64 range");
}

TEST(VornidFromObjectIdTest, SumsWithoutOverflow) {
  const struct {
    std::int64_t object_id;
    std::int64_t type;
    std::optional<std::uint64_t> vornid;
    ObjectIdErrorKind error = ObjectIdErrorKind::VornidOutOfRange;
  } cases[] = {
      {5, 8, 2005},
      {0, 9, 100000},
      {1000, 8, 3000},
      {-2000, 8, 0},
      {-2001, 8, std::nullopt},
      {-100000, 9, 0},
      {-100001, 9, std::nullopt},
      {kI64Max, 9, std::uint64_t{kI64Max} + 100000},
      {kI64Min, 8, std::nullopt},
      {kI64Min, 9, std::nullopt},
      {1, 3, std::nullopt, ObjectIdErrorKind::NoObjectIdRange},
      {kI64Min, -1, std::nullopt, ObjectIdErrorKind::NoObjectIdRange},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.object_id) + " kind " + std::to_string(c.type));
    auto r = vornid_from_object_id(c.object_id, c.type);
    ASSERT_EQ(r.ok(), c.vornid.has_value());
    if (r.ok()) {
      EXPECT_EQ(*r, *c.vornid);
    } else {
      EXPECT_EQ(r.error().kind, c.error);
      if (c.error == ObjectIdErrorKind::NoObjectIdRange) {
        EXPECT_EQ(r.error().number, c.type);
      }
    }
  }
}

TEST(VornidBytesTest, ShortFormReadsAtMostSixtyFourBits) {
  using B = std::vector<std::uint8_t>;
  const struct {
    B data;
    std::optional<std::uint64_t> vornid;
  } cases[] = {
      {{}, 0},
      {{1}, 1},
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2}, 258},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, kU64Max},
      {{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, kU64Max},
      {{1, 0, 0, 0, 0, 0, 0, 0, 0}, std::nullopt},
      {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data.size());
    auto r = vornid_from_short_bytes(c.data);
    ASSERT_EQ(r.ok(), c.vornid.has_value());
    if (r.ok()) {
      EXPECT_EQ(*r, *c.vornid);
    }
  }
}

TEST(VornidBytesTest, LongFormAndRoundTrips) {
  std::vector<std::uint8_t> twelve;
  for (std::uint8_t i = 0; i < 12; ++i) twelve.push_back(i);
  EXPECT_EQ(vornid_from_long_bytes(twelve), 0x0203040506070809u);
  EXPECT_EQ(vornid_from_long_bytes(std::vector<std::uint8_t>{0, 0, 1, 2}), 258u);
  EXPECT_EQ(vornid_from_long_bytes(std::vector<std::uint8_t>{0x61, 0x62}), 0u);
  EXPECT_EQ(vornid_from_long_bytes({}), 0u);
  for (std::uint64_t vornid : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{0x0102030405060708}, kU64Max}) {
    std::uint8_t long_form[32];
    std::uint8_t short_form[8];
    vornid_to_long_bytes(vornid, long_form);
    vornid_to_short_bytes(vornid, short_form);
    EXPECT_EQ(*vornid_from_short_bytes(short_form), vornid);
    EXPECT_EQ(*vornid_from_short_bytes(long_form), vornid);
    EXPECT_EQ(vornid_from_long_bytes(long_form), 0u);
    EXPECT_EQ(long_form[31], static_cast<std::uint8_t>(vornid));
  }
}

TEST(ObjectTablesTest, KindsAndRanges) {
  std::string kinds;
  for (const auto& type : object_types()) kinds += std::to_string(type.code) + ":" + std::string(type.name) + " ";
  EXPECT_EQ(kinds, "0:gbn 2:user 3:company 4:project 5:product 6:service 7:doo 8:federation 9:region 255:freenet ");
  ASSERT_EQ(object_id_ranges().size(), 2u);
  EXPECT_EQ(object_id_ranges()[0].start, 2000u);
  EXPECT_EQ(object_id_ranges()[0].end, 3000u);
  EXPECT_EQ(object_id_ranges()[1].start, 100000u);
  EXPECT_EQ(object_id_ranges()[1].end, 4295067296u);
}

}  // namespace
}  // namespace zq
