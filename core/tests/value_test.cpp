// The packed value model: what each value holds and how it is read in place, the forms of what
// the encoder refuses, nesting and equality, copies, the builder and in-place reading.
#include "serialization/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "hex_bytes.h"
#include "msgpack_test_values.h"
#include "serialization/msgpack.h"
#include "serialization/packed_writer.h"
#include "serialization/value_builder.h"

namespace zq {
namespace {

using namespace zq::test;

std::string packed_hex(const Value& v) { return to_hex(v.packed()); }

TEST(Value, ReadsBackWhatItWasMadeOf) {
  const Value v = MapOf({{Str("a"), Arr({Int(-200), UInt(std::uint64_t{1} << 63), Float(1.5)})},
                         {Bin("01 02"), Ts(-1, 7)},
                         {Nil(), ExtOf(28, "ff")},
                         {Bool(true), Str(std::string(40, 'x'))}});
  ASSERT_EQ(v.kind(), ValueKind::Map);
  const MapView pairs = v.as_map();
  ASSERT_EQ(pairs.size(), 4u);
  EXPECT_EQ(pairs[0].key.as_str(), "a");
  const ArrayView items = pairs[0].value.as_array();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].as_int(), -200);
  EXPECT_EQ(items[1].kind(), ValueKind::UInt);
  EXPECT_EQ(items[1].as_uint(), std::uint64_t{1} << 63);
  EXPECT_EQ(items[2].as_float(), 1.5);
  EXPECT_EQ(to_hex(pairs[1].key.as_bin()), "01 02");
  EXPECT_EQ(pairs[1].value.as_timestamp(), (Timestamp{-1, 7}));
  EXPECT_EQ(pairs[2].key.kind(), ValueKind::Nil);
  EXPECT_EQ(pairs[2].value.as_ext().type, 28);
  EXPECT_EQ(to_hex(pairs[2].value.as_ext().data), "ff");
  EXPECT_TRUE(pairs[3].key.as_bool());
  EXPECT_EQ(pairs[3].value.as_str(), std::string(40, 'x'));
  // The items are stored back to back in their smallest forms.
  EXPECT_EQ(to_hex(pairs[1].key.packed()), "c4 02 01 02");
  EXPECT_EQ(v.nesting(), 2u);
  EXPECT_FALSE(v.holds_unencodable());
}

TEST(Value, RefusedItemsAreHeldAndReadBack) {
  // Timestamps past 999999999 nanos take the 12-byte form; an Ext of negative type and anything
  // longer than 2^32-1 take the escape, so an Ext of type -1 stays apart from a timestamp.
  const Value late = Ts(5, 1000000000);
  EXPECT_EQ(packed_hex(late), "c7 0c ff 3b 9a ca 00 00 00 00 00 00 00 00 05");
  EXPECT_EQ(late.as_timestamp(), (Timestamp{5, 1000000000}));
  EXPECT_TRUE(late.holds_unencodable());

  const Value negative = ExtOf(-1, "00 00 00 00");
  EXPECT_EQ(packed_hex(negative), "c1 c9 00 00 00 00 00 00 00 04 ff 00 00 00 00");
  EXPECT_EQ(negative.kind(), ValueKind::Ext);
  EXPECT_EQ(negative.as_ext().type, -1);
  EXPECT_TRUE(negative.holds_unencodable());
  EXPECT_FALSE(negative == Ts(0, 0));

  const Value inside = Arr({Int(1), negative, Int(2)});
  EXPECT_TRUE(inside.holds_unencodable());
  ASSERT_EQ(inside.as_array().size(), 3u);
  EXPECT_EQ(inside.as_array()[2].as_int(), 2);  // skipped past the escape

  // The escape heads, with lengths beyond any header, read back whole.
  const std::uint64_t huge = std::uint64_t{1} << 32;
  const struct {
    ValueKind kind;
    std::size_t (*put)(std::uint8_t*, std::uint64_t);
    std::size_t (*size)(std::uint64_t);
  } heads[] = {
      {ValueKind::Str, packed::put_str_head, packed::str_head_size},
      {ValueKind::Bin, packed::put_bin_head, packed::bin_head_size},
      {ValueKind::Array, packed::put_array_head, packed::container_head_size},
      {ValueKind::Map, packed::put_map_head, packed::container_head_size},
      {ValueKind::Ext, [](std::uint8_t* p, std::uint64_t n) { return packed::put_ext_head(p, 3, n); },
       [](std::uint64_t n) { return packed::ext_head_size(3, n); }},
  };
  for (const auto& c : heads) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    std::uint8_t head[packed::kMaxHeadSize];
    const std::size_t written = c.put(head, huge);
    const packed::Head h = packed::head(head);
    EXPECT_EQ(head[0], packed::kEscape);
    EXPECT_EQ(h.kind, c.kind);
    EXPECT_EQ(h.size, written);
    EXPECT_EQ(h.size, c.size(huge));
    EXPECT_EQ(h.length, huge);
    if (c.kind == ValueKind::Ext) {
      EXPECT_EQ(packed::ext_type(head, h), 3);
    }
  }
}

TEST(Value, NestingCountsEveryArrayAndMapOnTheDeepestPath) {
  const struct {
    Value value;
    std::uint32_t nesting;
  } cases[] = {
      {Int(1), 0},
      {Arr({}), 1},
      {MapOf({}), 1},
      {Arr({Int(1), Arr({Arr({})}), MapOf({})}), 3},
      {MapOf({{Arr({}), Int(1)}}), 2},
      {nested_arrays(600, Nil()), 600},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c.value).substr(0, 60));
    EXPECT_EQ(c.value.nesting(), c.nesting);
    // Decoding finds the same nesting as making did.
    Bytes bytes(c.value.packed().begin(), c.value.packed().end());
    std::size_t pos = 0;
    const auto decoded = decode_value(bytes, pos, true);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(decoded->nesting(), c.nesting);
  }
}

TEST(Value, EqualityIsStructuralWithFloatsByValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    Value a;
    Value b;
    bool equal;
  } cases[] = {
      {Arr({Float(0.0)}), Arr({Float(-0.0)}), true},
      {Arr({Float(nan)}), Arr({Float(nan)}), false},
      {Int(5), Int(5), true},
      {Int(-1), UInt(std::numeric_limits<std::uint64_t>::max()), false},
      {Arr({Int(1)}), Arr({Int(1), Int(2)}), false},
      {MapOf({{Int(1), Int(2)}, {Int(3), Int(4)}}), MapOf({{Int(3), Int(4)}, {Int(1), Int(2)}}), false},
      {Arr({Arr({Int(1)}), Int(2)}), Arr({Arr({Int(1), Int(2)})}), false},
      {Str("a"), Bin("61"), false},
      {Ts(1, 2), Ts(1, 2), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c.a) + " vs " + describe(c.b));
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.b == c.a, c.equal);
  }
}

TEST(Value, CopiesAreWholeAndMovesLeaveNil) {
  for (const Value& original : {Int(7), Str(std::string(100, 'q'))}) {  // held inline, and in a block
    SCOPED_TRACE(original.packed().size());
    Value copy = original;
    EXPECT_EQ(copy, original);
    EXPECT_NE(copy.packed().data(), original.packed().data());
    Value moved = std::move(copy);
    EXPECT_EQ(moved, original);
    EXPECT_EQ(copy.kind(), ValueKind::Nil);  // NOLINT(bugprone-use-after-move): moved-from is specified
    Value assigned = Arr({Int(1)});
    assigned = moved;
    EXPECT_EQ(assigned, original);
    assigned = std::move(assigned);
    EXPECT_EQ(assigned, original);
  }
}

TEST(ValueBuilder, MakesWhatTheMakersMake) {
  ValueBuilder b;
  const std::size_t outer = b.open_map(3);
  b.str("k");
  b.integer(-1);
  b.str("list");
  const std::size_t inner = b.open_array(2);
  b.uinteger(std::numeric_limits<std::uint64_t>::max());
  b.floating(0.25);
  b.close(inner, 2, 2);
  b.nil();
  b.boolean(false);
  b.close(outer, 3, 3);
  const Value built = b.finish();
  const Value made = MapOf({{Str("k"), Int(-1)},
                            {Str("list"), Arr({UInt(std::numeric_limits<std::uint64_t>::max()), Float(0.25)})},
                            {Nil(), Bool(false)}});
  EXPECT_EQ(packed_hex(built), packed_hex(made));
  EXPECT_EQ(built.nesting(), 2u);

  // The builder is empty again and makes another value.
  b.str("again");
  EXPECT_EQ(b.finish(), Str("again"));
}

TEST(ValueBuilder, FewerItemsThanAnnouncedShortenTheHeadAndMoveWhatFollows) {
  // 20 items announced (a 3-byte head), 3 written (a 1-byte head), with a kept byte string
  // inside and one after the array, whose places move with the head.
  const Bytes long_bytes(5000, 0xab);
  ValueBuilder b;
  const std::size_t outer = b.open_array(2);
  const std::size_t inner = b.open_array(20);
  b.integer(1);
  b.bin_kept(long_bytes);
  b.integer(2);
  b.close(inner, 20, 3);
  b.bin_kept(long_bytes);
  b.close(outer, 2, 2);
  const Value built = b.finish();
  const Value made = Arr({Arr({Int(1), Value::bin(long_bytes), Int(2)}), Value::bin(long_bytes)});
  EXPECT_EQ(built, made);
  EXPECT_EQ(built.packed().size(), made.packed().size());

  // A map whose count drops from 16 pairs to none.
  const std::size_t map = b.open_map(16);
  b.close(map, 16, 0);
  EXPECT_EQ(packed_hex(b.finish()), "80");
}

TEST(ReadValue, InPlaceWhenTheInputIsPackedAlready) {
  const Bytes packed = from_hex("92 01 a2 68 69 ff");
  const Bytes wider = from_hex("92 cd 00 01 d9 02 68 69 ff");
  for (const Bytes* input : {&packed, &wider}) {
    std::size_t pos = 0;
    const auto read = read_value(*input, pos, true);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(pos, input->size() - 1);
    EXPECT_EQ(to_hex(read->view().packed()), "92 01 a2 68 69");
    const bool in_place = read->view().data() == input->data();
    EXPECT_EQ(in_place, input == &packed);
  }
  std::size_t pos = 0;
  const Bytes cut = from_hex("92 01");
  const auto failed = read_value(cut, pos, true);
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error(), SerializationError::UnexpectedEnd);
  EXPECT_EQ(pos, 0u);
}

TEST(DecodeValueTaking, TakesOverABufferThatHoldsThePackedValueSnugly) {
  Bytes long_text(from_hex("d9 40"));
  long_text.insert(long_text.end(), 64, 'z');
  const struct {
    const char* name;
    Bytes input;
    std::size_t spare;  // capacity beyond the bytes
    bool taken;
    std::size_t position;
  } cases[] = {
      {"packed, snug", long_text, 0, true, 66},
      {"packed, a little room", long_text, 8, true, 66},
      {"packed, much room", long_text, 66, false, 66},
      {"a wider form", [] {
         Bytes b = from_hex("da 00 40");  // str 16 of a length that fits str 8
         b.insert(b.end(), 64, 'z');
         return b;
       }(), 0, false, 67},
      {"bytes after the value", [&] {
         Bytes b = long_text;
         b.push_back(0xc0);
         return b;
       }(), 0, false, 66},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes input;
    input.reserve(c.input.size() + c.spare);
    append(input, c.input);
    const std::uint8_t* buffer = input.data();
    std::size_t position = 99;
    const auto value = decode_value_taking(std::move(input), position, true);
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(position, c.position);
    EXPECT_EQ(value->as_str(), std::string(64, 'z'));
    EXPECT_EQ(value->packed().data() == buffer, c.taken);
  }
  std::size_t position = 0;
  const auto failed = decode_value_taking(from_hex("92 01"), position, true);
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error(), SerializationError::UnexpectedEnd);
}

}  // namespace
}  // namespace zq
