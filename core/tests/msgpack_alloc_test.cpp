// What the codec allocates: nothing for input that fails its checks, one block of exactly the
// packed size for a decoded value, only the result for an encoding, and no more than the value
// for a builder once its thread's scratch buffer has grown.
#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <thread>

#include "allocation_count.h"
#include "hex_bytes.h"
#include "msgpack_test_values.h"
#include "serialization/msgpack.h"
#include "serialization/value_builder.h"

namespace zq {
namespace {

using namespace zq::test;

// `n` copies of the bytes `hex` gives.
Bytes repeated(std::string_view hex, int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) append(out, from_hex(hex));
  return out;
}

TEST(MsgpackAllocations, CheckedBeforeAnythingIsAllocated) {
  // Nested headers announcing 2^32-1 items each, then the input ends: nothing is made for
  // counts that the input does not back.
  const struct {
    const char* name;
    Bytes input;
  } cases[] = {
      {"1024 nested arrays", repeated("dd ff ff ff ff", 1024)},
      {"1024 nested maps", repeated("df ff ff ff ff", 1024)},
      {"one array, three items", from_hex("dd ff ff ff ff 01 02 03")},
      {"bad UTF-8 deep inside", from_hex("92 92 01 a1 ff")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t pos = 0;
    bool failed = false;
    const Allocations a = count_allocations([&] { failed = !decode_value(c.input, pos, true).ok(); });
    EXPECT_TRUE(failed);
    EXPECT_EQ(a.calls, 0u);
  }
}

TEST(MsgpackAllocations, DecodedValueIsOneBlockOfItsPackedSize) {
  // In the smallest form already, and not: an int in a wider form, a str 8 that fits a fixstr,
  // a float 32 (widened), an ext read as Bin, a timestamp in the 12-byte form, and a text long
  // enough that the value needs a block of its own.
  Bytes wide = from_hex("96 cd 00 05 d9 02 68 69 ca 3f c0 00 00 d4 11 41 c7 0c ff 00 00 00 00 00 00 00 00 00 00 00 01");
  wide.push_back(0xd9);
  wide.push_back(40);
  wide.insert(wide.end(), 40, 'x');
  append(wide, from_hex("00"));  // a byte after the value, not read
  const Value big = Arr({Str(std::string(40, 'x')), MapOf({{Int(1), Bin("00 01")}}), Float(2.5)});
  Bytes canonical;
  ASSERT_TRUE(encode_value(big, canonical).ok());
  const struct {
    const char* name;
    const Bytes& input;
    std::size_t packed_size;
  } cases[] = {
      {"smallest form", canonical, canonical.size()},
      {"wider forms", wide, 1 + 1 + 3 + 9 + 3 + 6 + 42},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t pos = 0;
    std::optional<Result<Value, SerializationError>> decoded;
    const Allocations a = count_allocations([&] { decoded.emplace(decode_value(c.input, pos, true)); });
    ASSERT_TRUE(decoded->ok());
    EXPECT_EQ((*decoded)->packed().size(), c.packed_size);
    EXPECT_EQ(a.calls, 1u);
    EXPECT_EQ(a.bytes, c.packed_size);
  }
  // A value of up to 48 packed bytes is held without an allocation.
  std::size_t pos = 0;
  Bytes small = from_hex("92 01 d9 2c");
  small.insert(small.end(), 44, 'y');
  const Allocations a = count_allocations([&] { (void)decode_value(small, pos, true); });
  EXPECT_EQ(a.calls, 0u);
}

TEST(MsgpackAllocations, EncodingAllocatesOnlyItsResult) {
  const Value big = Value::bin(Bytes(100000, 7));
  const Value failing = Arr({Str("hello"), Ts(0, 1000000000)});
  Result<Bytes, SerializationError> encoded = SerializationError::NotEncodable;
  const Allocations ok = count_allocations([&] { encoded = encode_value_to_bytes(big); });
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(ok.calls, 1u);
  EXPECT_EQ(ok.bytes, encoded->size());

  const Allocations refused = count_allocations([&] { encoded = encode_value_to_bytes(failing); });
  ASSERT_FALSE(encoded.ok());
  EXPECT_EQ(encoded.error(), SerializationError::NotEncodable);
  EXPECT_EQ(refused.calls, 0u);
}

TEST(MsgpackAllocations, BuilderReusesItsThreadsScratch) {
  const auto build = [] {
    ValueBuilder b;
    const std::size_t outer = b.open_array(300);
    for (int i = 0; i < 300; ++i) b.str("item");
    b.close(outer, 300, 300);
    return b.finish();
  };
  std::thread([&] {
    const Allocations first = count_allocations([&] { (void)build(); });
    EXPECT_GT(first.calls, 1u);  // the scratch grows, then the value's block
    Value again;
    const Allocations later = count_allocations([&] { again = build(); });
    EXPECT_EQ(later.calls, 1u);
    EXPECT_EQ(later.bytes, again.packed().size());
  }).join();
}

}  // namespace
}  // namespace zq
