// The MessagePack codec: exact bytes of each form and its width boundaries, decode results and
// errors, the nesting limits of both directions and what a failed encode leaves behind.
#include "serialization/msgpack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "hex_bytes.h"
#include "msgpack_test_values.h"

namespace zq {
namespace {

using namespace zq::test;

const char* name_of(SerializationError e) {
  switch (e) {
    case SerializationError::DepthExceeded: return "DepthExceeded";
    case SerializationError::UnexpectedEnd: return "UnexpectedEnd";
    case SerializationError::ReservedMarker: return "ReservedMarker";
    case SerializationError::InvalidUtf8: return "InvalidUtf8";
    case SerializationError::BadTimestampLength: return "BadTimestampLength";
    case SerializationError::NegativeExtType: return "NegativeExtType";
    case SerializationError::NotEncodable: return "NotEncodable";
  }
  return "?";
}

std::string encode_hex(const Value& v) {
  Bytes out;
  const auto status = encode_value(v, out);
  return status.ok() ? to_hex(out) : std::string("error ") + name_of(status.error());
}

// Decodes the whole of `bytes` as one value; "error X" or "leftover" when it is not that.
std::string decode_describe(const Bytes& bytes, bool ext_as_bytes) {
  std::size_t pos = 0;
  auto r = decode_value(bytes, pos, ext_as_bytes);
  if (!r.ok()) return std::string("error ") + name_of(r.error());
  if (pos != bytes.size()) return "leftover after " + std::to_string(pos);
  return describe(*r);
}

constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::uint64_t kUInt64Max = std::numeric_limits<std::uint64_t>::max();

TEST(MsgpackEncode, SmallestFormOfEachScalar) {
  const struct {
    Value value;
    const char* hex;
  } cases[] = {
      {Nil(), "c0"},
      {Bool(false), "c2"},
      {Bool(true), "c3"},
      // Int: every width switch and both neighbours.
      {Int(0), "00"},
      {Int(127), "7f"},
      {Int(128), "cc 80"},
      {Int(255), "cc ff"},
      {Int(256), "cd 01 00"},
      {Int(65535), "cd ff ff"},
      {Int(65536), "ce 00 01 00 00"},
      {Int(4294967295), "ce ff ff ff ff"},
      {Int(4294967296), "cf 00 00 00 01 00 00 00 00"},
      {Int(kInt64Max), "cf 7f ff ff ff ff ff ff ff"},
      {Int(-1), "ff"},
      {Int(-32), "e0"},
      {Int(-33), "d0 df"},
      {Int(-128), "d0 80"},
      {Int(-129), "d1 ff 7f"},
      {Int(-32768), "d1 80 00"},
      {Int(-32769), "d2 ff ff 7f ff"},
      {Int(-2147483648LL), "d2 80 00 00 00"},
      {Int(-2147483649LL), "d3 ff ff ff ff 7f ff ff ff"},
      {Int(kInt64Min), "d3 80 00 00 00 00 00 00 00"},
      // UInt: unsigned forms only, by the same bounds.
      {UInt(0), "00"},
      {UInt(127), "7f"},
      {UInt(128), "cc 80"},
      {UInt(256), "cd 01 00"},
      {UInt(65536), "ce 00 01 00 00"},
      {UInt(4294967296), "cf 00 00 00 01 00 00 00 00"},
      {UInt(kUInt64Max), "cf ff ff ff ff ff ff ff ff"},
      // Float: always eight bytes, whatever the value.
      {Float(1.5), "cb 3f f8 00 00 00 00 00 00"},
      {Float(0.0), "cb 00 00 00 00 00 00 00 00"},
      {Float(-0.0), "cb 80 00 00 00 00 00 00 00"},
      {Float(std::numeric_limits<double>::infinity()), "cb 7f f0 00 00 00 00 00 00"},
      // Timestamp: 4-byte form up to 2^32-1 secs without nanos, 8-byte form up to 2^34-1 secs,
      // 12-byte form above that and for every negative secs.
      {Ts(0, 0), "d6 ff 00 00 00 00"},
      {Ts(1, 0), "d6 ff 00 00 00 01"},
      {Ts(4294967295, 0), "d6 ff ff ff ff ff"},
      {Ts(4294967296, 0), "d7 ff 00 00 00 01 00 00 00 00"},
      {Ts(1, 1), "d7 ff 00 00 00 04 00 00 00 01"},
      {Ts(17179869183, 999999999), "d7 ff ee 6b 27 ff ff ff ff ff"},
      {Ts(17179869184, 0), "c7 0c ff 00 00 00 00 00 00 00 04 00 00 00 00"},
      {Ts(-1, 0), "c7 0c ff 00 00 00 00 ff ff ff ff ff ff ff ff"},
      {Ts(kInt64Min, 999999999), "c7 0c ff 3b 9a c9 ff 80 00 00 00 00 00 00 00"},
      // Containers in order, duplicate keys kept, any variant as key.
      {Arr({Int(1), MapOf({{Str("a"), Nil()}})}), "92 01 81 a1 61 c0"},
      {MapOf({{Int(1), Int(2)}, {Int(1), Int(3)}}), "82 01 02 01 03"},
      {MapOf({{Arr({}), MapOf({})}}), "81 90 80"},
      {ExtOf(0, ""), "c7 00 00"},
      {ExtOf(127, "aa"), "d4 7f aa"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c.value));
    EXPECT_EQ(encode_hex(c.value), c.hex);
  }
}

enum class Shape { Str, Bin, Array, Map, Ext };

// `n` items of one shape: n 'a' characters, n 0x5a bytes, n nils, n nil-to-nil pairs, or an
// extension of type 5 with n 0x5a bytes. Returns the value and the bytes after its header.
std::pair<Value, Bytes> make_shaped(Shape shape, std::size_t n) {
  switch (shape) {
    case Shape::Str: return {Str(std::string(n, 'a')), Bytes(n, 'a')};
    case Shape::Bin: return {Value::bin(Bytes(n, 0x5a)), Bytes(n, 0x5a)};
    case Shape::Array: return {Value::array(Value::Array(n)), Bytes(n, 0xc0)};
    case Shape::Map: return {Value::map(Value::Map(n)), Bytes(2 * n, 0xc0)};
    case Shape::Ext: return {Value::ext({5, Bytes(n, 0x5a)}), Bytes(n, 0x5a)};
  }
  return {};
}

TEST(MsgpackCodec, LengthAndCountWidthsBothWays) {
  const struct {
    Shape shape;
    std::size_t n;
    const char* header;  // for Ext, with the type byte
  } cases[] = {
      {Shape::Str, 0, "a0"},
      {Shape::Str, 31, "bf"},
      {Shape::Str, 32, "d9 20"},
      {Shape::Str, 255, "d9 ff"},
      {Shape::Str, 256, "da 01 00"},
      {Shape::Str, 65535, "da ff ff"},
      {Shape::Str, 65536, "db 00 01 00 00"},
      {Shape::Bin, 0, "c4 00"},
      {Shape::Bin, 255, "c4 ff"},
      {Shape::Bin, 256, "c5 01 00"},
      {Shape::Bin, 65535, "c5 ff ff"},
      {Shape::Bin, 65536, "c6 00 01 00 00"},
      {Shape::Array, 0, "90"},
      {Shape::Array, 15, "9f"},
      {Shape::Array, 16, "dc 00 10"},
      {Shape::Array, 65535, "dc ff ff"},
      {Shape::Array, 65536, "dd 00 01 00 00"},
      {Shape::Map, 0, "80"},
      {Shape::Map, 15, "8f"},
      {Shape::Map, 16, "de 00 10"},
      {Shape::Map, 65535, "de ff ff"},
      {Shape::Map, 65536, "df 00 01 00 00"},
      {Shape::Ext, 0, "c7 00 05"},
      {Shape::Ext, 1, "d4 05"},
      {Shape::Ext, 2, "d5 05"},
      {Shape::Ext, 3, "c7 03 05"},
      {Shape::Ext, 4, "d6 05"},
      {Shape::Ext, 5, "c7 05 05"},
      {Shape::Ext, 8, "d7 05"},
      {Shape::Ext, 16, "d8 05"},
      {Shape::Ext, 17, "c7 11 05"},
      {Shape::Ext, 255, "c7 ff 05"},
      {Shape::Ext, 256, "c8 01 00 05"},
      {Shape::Ext, 65535, "c8 ff ff 05"},
      {Shape::Ext, 65536, "c9 00 01 00 00 05"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.header) + " with " + std::to_string(c.n) + " items");
    auto [value, body] = make_shaped(c.shape, c.n);
    Bytes expected = from_hex(c.header);
    append(expected, body);

    Bytes out;
    ASSERT_TRUE(encode_value(value, out).ok());
    EXPECT_EQ(to_hex(ByteView(out).first(std::min(out.size(), from_hex(c.header).size()))), c.header);
    EXPECT_TRUE(out == expected);

    std::size_t pos = 0;
    auto decoded = decode_value(expected, pos, true);
    ASSERT_TRUE(decoded.ok()) << name_of(decoded.error());
    EXPECT_EQ(pos, expected.size());
    EXPECT_TRUE(*decoded == value);
  }
}

TEST(MsgpackEncode, ErrorsKeepTheBytesBeforeTheFailingItem) {
  const struct {
    const char* name;
    Value value;
    SerializationError error;
    const char* written;  // after the "aa" already in the buffer
  } cases[] = {
      {"nanos above 999999999", Ts(0, 1000000000), SerializationError::NotEncodable, ""},
      {"negative ext type", ExtOf(-5, "00"), SerializationError::NotEncodable, ""},
      {"timestamp ext type", ExtOf(-1, "00 00 00 00"), SerializationError::NotEncodable, ""},
      {"bad item inside an array", Arr({Int(1), Ts(0, 4294967295u), Int(2)}),
       SerializationError::NotEncodable, "93 01"},
      {"bad map value", MapOf({{Str("k"), ExtOf(-128, "")}}), SerializationError::NotEncodable, "81 a1 6b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out = from_hex("aa");
    const auto status = encode_value(c.value, out);
    ASSERT_FALSE(status.ok());
    EXPECT_STREQ(name_of(status.error()), name_of(c.error));
    EXPECT_EQ(to_hex(out), std::string("aa") + (*c.written ? " " : "") + c.written);
  }
}

TEST(MsgpackEncode, AppendsToWhatTheBufferHolds) {
  Bytes out = from_hex("01 02");
  out.reserve(1000);
  ASSERT_TRUE(encode_value(Str("hi"), out).ok());
  ASSERT_TRUE(encode_value(Int(-1), out).ok());
  EXPECT_EQ(to_hex(out), "01 02 a2 68 69 ff");
}

TEST(MsgpackEncode, ContainersNestUpTo512Deep) {
  // Arrays and maps at depths 0..511 encode; one at depth 512 fails, empty or not, while a
  // scalar there is fine.
  Bytes out;
  EXPECT_TRUE(encode_value(nested_arrays(512, Int(7)), out).ok());
  EXPECT_EQ(out.size(), 513u);

  out.clear();
  const auto too_deep = encode_value(nested_arrays(513, Int(7)), out);
  ASSERT_FALSE(too_deep.ok());
  EXPECT_EQ(too_deep.error(), SerializationError::DepthExceeded);
  EXPECT_TRUE(out == Bytes(512, 0x91));

  const struct {
    Value value;
    std::size_t depth;
    bool ok;
  } cases[] = {
      {Arr({}), 511, true},  {Arr({}), 512, false}, {MapOf({}), 511, true},
      {MapOf({}), 512, false}, {Int(1), 100000, true}, {MapOf({{Int(1), Arr({})}}), 510, true},
      {MapOf({{Int(1), Arr({})}}), 511, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c.value) + " at depth " + std::to_string(c.depth));
    out.clear();
    const auto status = encode_value(c.value, out, c.depth);
    EXPECT_EQ(status.ok(), c.ok);
    if (!c.ok) {
      EXPECT_EQ(status.error(), SerializationError::DepthExceeded);
    }
  }
}

TEST(MsgpackEncode, MapPairsAtDepthOne) {
  const Value pairs = MapOf({{Str("a"), Int(1)}, {Str("a"), Arr({Nil()})}});
  Bytes out;
  ASSERT_TRUE(encode_map_pairs(pairs, out).ok());
  EXPECT_EQ(to_hex(out), "82 a1 61 01 a1 61 91 c0");

  // Values sit at depth 1, so they may hold 511 levels of arrays but not 512.
  out.clear();
  EXPECT_TRUE(encode_map_pairs(MapOf({{Nil(), nested_arrays(511, Nil())}}), out).ok());
  out.clear();
  const auto status = encode_map_pairs(MapOf({{Nil(), nested_arrays(512, Nil())}}), out);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), SerializationError::DepthExceeded);

  out.clear();
  ASSERT_TRUE(encode_map_pairs(Value::empty_map(), out).ok());
  EXPECT_EQ(to_hex(out), "80");
}

TEST(MsgpackDecode, Values) {
  const struct {
    const char* hex;
    bool ext_as_bytes;
    Value value;
  } cases[] = {
      {"c0", true, Nil()},
      {"c2", true, Bool(false)},
      {"c3", true, Bool(true)},
      {"7f", true, Int(127)},
      {"e0", true, Int(-32)},
      // Integers in any width decode to Int unless they need UInt.
      {"cc ff", true, Int(255)},
      {"cd 00 01", true, Int(1)},
      {"ce ff ff ff ff", true, Int(4294967295)},
      {"cf 7f ff ff ff ff ff ff ff", true, Int(kInt64Max)},
      {"cf 80 00 00 00 00 00 00 00", true, UInt(std::uint64_t{1} << 63)},
      {"cf ff ff ff ff ff ff ff ff", true, UInt(kUInt64Max)},
      {"cf 00 00 00 00 00 00 00 05", true, Int(5)},
      {"d0 01", true, Int(1)},
      {"d0 80", true, Int(-128)},
      {"d1 80 00", true, Int(-32768)},
      {"d2 80 00 00 00", true, Int(-2147483648LL)},
      {"d3 ff ff ff ff ff ff ff ff", true, Int(-1)},
      {"d3 80 00 00 00 00 00 00 00", true, Int(kInt64Min)},
      {"ca 3f c0 00 00", true, Float(1.5)},
      {"cb 3f f8 00 00 00 00 00 00", true, Float(1.5)},
      // Strings and bins, including forms wider than needed.
      {"a0", true, Str("")},
      {"a2 c3 a9", true, Str("\xc3\xa9")},
      {"d9 01 61", true, Str("a")},
      {"da 00 00", true, Str("")},
      {"db 00 00 00 01 7a", true, Str("z")},
      {"c4 00", true, Bin("")},
      {"c6 00 00 00 02 01 02", true, Bin("01 02")},
      // Timestamps in the three lengths; nanos are not checked.
      {"d6 ff 00 00 00 01", true, Ts(1, 0)},
      {"d6 ff ff ff ff ff", true, Ts(4294967295, 0)},
      {"d7 ff 00 00 00 04 00 00 00 01", true, Ts(1, 1)},
      {"d7 ff ff ff ff ff ff ff ff ff", true, Ts(17179869183, 1073741823)},
      {"c7 0c ff 00 00 00 00 ff ff ff ff ff ff ff ff", true, Ts(-1, 0)},
      {"c7 0c ff ff ff ff ff 00 00 00 00 00 00 00 00", false, Ts(0, 4294967295u)},
      {"c7 04 ff 00 00 00 02", true, Ts(2, 0)},
      // Extension types 17..27 and 29 become Bin only when asked.
      {"d4 11 41", true, Bin("41")},
      {"d4 11 41", false, ExtOf(17, "41")},
      {"d4 1b 41", true, Bin("41")},
      {"d4 1d 41", true, Bin("41")},
      {"c7 00 1d", true, Bin("")},
      {"d4 10 41", true, ExtOf(16, "41")},
      {"d4 1c 41", true, ExtOf(28, "41")},
      {"d4 1c 41", false, ExtOf(28, "41")},
      {"d4 1e 41", true, ExtOf(30, "41")},
      {"d5 00 01 02", true, ExtOf(0, "01 02")},
      {"c8 00 01 7f 09", true, ExtOf(127, "09")},
      {"c9 00 00 00 00 05", true, ExtOf(5, "")},
      // Containers: order and duplicate keys kept, containers as keys, wide headers.
      {"82 01 02 01 03", true, MapOf({{Int(1), Int(2)}, {Int(1), Int(3)}})},
      {"81 92 01 80 91 c0", true, MapOf({{Arr({Int(1), MapOf({})}), Arr({Nil()})}})},
      {"dc 00 02 c3 c2", true, Arr({Bool(true), Bool(false)})},
      {"dd 00 00 00 00", true, Arr({})},
      {"de 00 01 a1 6b 90", true, MapOf({{Str("k"), Arr({})}})},
      {"df 00 00 00 00", true, MapOf({})},
      {"93 91 91 01 81 01 81 02 03 04", true,
       Arr({Arr({Arr({Int(1)})}), MapOf({{Int(1), MapOf({{Int(2), Int(3)}})}}), Int(4)})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.hex) + (c.ext_as_bytes ? " (ext as bytes)" : ""));
    EXPECT_EQ(decode_describe(from_hex(c.hex), c.ext_as_bytes), describe(c.value));
    // describe() shows every variant, but equality is the contract.
    std::size_t pos = 0;
    auto r = decode_value(from_hex(c.hex), pos, c.ext_as_bytes);
    EXPECT_TRUE(r.ok() && *r == c.value);
  }
}

TEST(MsgpackDecode, ReadsOneValueAtThePosition) {
  const Bytes data = from_hex("01 02 a1 61 ff");
  std::size_t pos = 0;
  auto first = decode_value(data, pos, true);
  ASSERT_TRUE(first.ok());
  EXPECT_TRUE(*first == Int(1));
  EXPECT_EQ(pos, 1u);
  pos = 2;
  auto third = decode_value(data, pos, true);
  ASSERT_TRUE(third.ok());
  EXPECT_TRUE(*third == Str("a"));
  EXPECT_EQ(pos, 4u);
  pos = data.size();
  auto past_end = decode_value(data, pos, true);
  ASSERT_FALSE(past_end.ok());
  EXPECT_EQ(past_end.error(), SerializationError::UnexpectedEnd);
}

TEST(MsgpackDecode, Errors) {
  const struct {
    const char* hex;
    SerializationError error;
  } cases[] = {
      {"", SerializationError::UnexpectedEnd},
      {"c1", SerializationError::ReservedMarker},
      {"92 01 c1", SerializationError::ReservedMarker},
      {"a1 ff", SerializationError::InvalidUtf8},
      {"a2 c0 80", SerializationError::InvalidUtf8},     // overlong
      {"a3 ed a0 80", SerializationError::InvalidUtf8},  // surrogate
      {"a2 c3", SerializationError::UnexpectedEnd},      // the length is checked before the text
      {"d4 fb 00", SerializationError::NegativeExtType},
      {"c7 00 80", SerializationError::NegativeExtType},
      {"d4 ff 00", SerializationError::BadTimestampLength},
      {"d8 ff 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", SerializationError::BadTimestampLength},
      {"c7 00 ff", SerializationError::BadTimestampLength},
      {"d4 fb", SerializationError::UnexpectedEnd},  // the data is checked before the type
      {"d6 ff 00 00 00", SerializationError::UnexpectedEnd},
      {"c7 0c ff 00 00 00 00", SerializationError::UnexpectedEnd},
      {"c7", SerializationError::UnexpectedEnd},
      {"c7 01", SerializationError::UnexpectedEnd},
      {"c9 ff ff ff ff 05", SerializationError::UnexpectedEnd},
      {"93 01 02", SerializationError::UnexpectedEnd},
      {"81 01", SerializationError::UnexpectedEnd},
      {"dd ff ff ff ff 01 02 03", SerializationError::UnexpectedEnd},
      {"df ff ff ff ff 01 02 03", SerializationError::UnexpectedEnd},
      // Every field cut off: counts, lengths, numbers, payloads.
      {"dc 00", SerializationError::UnexpectedEnd},
      {"dd 00 00 00", SerializationError::UnexpectedEnd},
      {"de", SerializationError::UnexpectedEnd},
      {"d9", SerializationError::UnexpectedEnd},
      {"da 00", SerializationError::UnexpectedEnd},
      {"db 00 00 00 05 61", SerializationError::UnexpectedEnd},
      {"c4 02 00", SerializationError::UnexpectedEnd},
      {"c5 00", SerializationError::UnexpectedEnd},
      {"c6 ff ff ff ff", SerializationError::UnexpectedEnd},
      {"cc", SerializationError::UnexpectedEnd},
      {"cd 00", SerializationError::UnexpectedEnd},
      {"ce 00 00 00", SerializationError::UnexpectedEnd},
      {"cf 00 00 00 00 00 00 00", SerializationError::UnexpectedEnd},
      {"d3 00", SerializationError::UnexpectedEnd},
      {"ca 00 00 00", SerializationError::UnexpectedEnd},
      {"cb 00 00 00 00 00 00 00", SerializationError::UnexpectedEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(decode_describe(from_hex(c.hex), true), std::string("error ") + name_of(c.error));
  }
}

// `depth` copies of `opener` around `inner`.
Bytes nested_bytes(std::string_view opener, std::size_t depth, std::string_view inner) {
  Bytes out;
  const Bytes head = from_hex(opener);
  for (std::size_t i = 0; i < depth; ++i) append(out, head);
  append(out, from_hex(inner));
  return out;
}

TEST(MsgpackDecode, AtMost1024OpenContainers) {
  const struct {
    const char* opener;
    std::size_t depth;
    const char* inner;
    bool ok;
  } cases[] = {
      {"91", 1024, "01", true},
      {"91", 1025, "01", false},
      // An empty container opens nothing, so it may sit inside 1024 open ones.
      {"91", 1024, "90", true},
      {"91", 1024, "80", true},
      {"91", 1024, "dd 00 00 00 00", true},
      {"81 c0", 1024, "01", true},
      {"81 c0", 1025, "01", false},
      {"dc 00 01", 1025, "01", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.opener) + " x " + std::to_string(c.depth) + " around " + c.inner);
    const Bytes data = nested_bytes(c.opener, c.depth, c.inner);
    std::size_t pos = 0;
    auto r = decode_value(data, pos, true);
    ASSERT_EQ(r.ok(), c.ok);
    if (c.ok) {
      EXPECT_EQ(pos, data.size());
    } else {
      EXPECT_EQ(r.error(), SerializationError::DepthExceeded);
    }
  }
  std::size_t pos = 0;
  auto deepest = decode_value(nested_bytes("91", 1024, "01"), pos, true);
  ASSERT_TRUE(deepest.ok());
  EXPECT_TRUE(*deepest == nested_arrays(1024, Int(1)));
}

TEST(MsgpackDecode, ItemsAfterDeepContainersCloseGoToTheirParents) {
  // [[...[[1], 2]..., 100], 101] at 100 levels: every level gets its second item only after
  // the whole deeper part has closed, past the point where the open containers move to the heap.
  Bytes data(100, 0x92);
  data.push_back(0x01);
  for (std::uint8_t i = 2; i <= 101; ++i) data.push_back(i);
  Value expected = Int(1);
  for (std::int64_t i = 2; i <= 101; ++i) expected = Arr({expected, Int(i)});
  std::size_t pos = 0;
  auto r = decode_value(data, pos, true);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(*r == expected);
  EXPECT_EQ(pos, data.size());
}

}  // namespace
}  // namespace zq
