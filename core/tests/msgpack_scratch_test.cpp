// Scratch outputs: large byte strings left in the value and copied in at their places give the
// bytes encode_value writes, wherever the strings sit, and one output alive does not disturb
// another; the STP and DMP encoders into an output match their byte-string forms.
#include <gtest/gtest.h>

#include <string>

#include "container/container.h"
#include "hex_bytes.h"
#include "msgpack_test_values.h"
#include "serialization/msgpack.h"

namespace zq {
namespace {

using namespace zq::test;

constexpr std::size_t kLarge = ScratchOutput::kGatherMin;

Value big_bin(std::size_t n, std::uint8_t fill) { return Value::bin(Bytes(n, fill)); }
Value big_str(std::size_t n, char fill) { return Str(std::string(n, fill)); }

Bytes encoded(const Value& v) {
  Bytes out;
  EXPECT_TRUE(encode_value(v, out).ok());
  return out;
}

Bytes copied(const ScratchOutput& out) {
  Bytes bytes(out.size());
  out.copy_to(bytes.data());
  return bytes;
}

TEST(ScratchOutput, GatheredStringsLandWhereTheEncoderPutsThem) {
  const struct {
    const char* name;
    Value value;
  } cases[] = {
      {"one below the gathering size", big_bin(kLarge - 1, 1)},
      {"a gathered bin alone", big_bin(kLarge, 2)},
      {"a gathered str first in an array", Arr({big_str(kLarge + 5, 'a'), Int(1)})},
      {"two gathered runs side by side", Arr({big_bin(kLarge, 3), big_str(70000, 'b')})},
      {"runs among small items", MapOf({{Str("k"), big_bin(kLarge * 3, 4)},
                                        {Str("ext"), Value::ext({5, Bytes(kLarge, 6)})},
                                        {Str("tail"), Arr({Nil(), Str("x")})}})},
      {"a run as the last byte", Arr({Int(-1), big_bin(kLarge + 1, 7)})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes expected = encoded(c.value);
    auto bytes = encode_value_to_bytes(c.value);
    ASSERT_TRUE(bytes.ok());
    EXPECT_TRUE(*bytes == expected);

    // After a prefix, and twice in one output.
    ScratchOutput out;
    out.bytes().push_back(0xee);
    ASSERT_TRUE(out.encode(c.value).ok());
    ASSERT_TRUE(out.encode(c.value).ok());
    Bytes twice{0xee};
    append(twice, expected);
    append(twice, expected);
    EXPECT_TRUE(copied(out) == twice);
  }
}

TEST(ScratchOutput, FailureIsReported) {
  ScratchOutput out;
  const auto status = out.encode(Arr({big_bin(kLarge, 1), Ts(0, 1000000000)}));
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), SerializationError::NotEncodable);
}

// An output made while another is alive on the thread, as a callback of the first caller might,
// writes into buffers of its own.
TEST(ScratchOutput, NestedOutputsKeepApart) {
  const Value outer_value = Arr({Str("outer"), big_bin(kLarge, 8)});
  const Value inner_value = MapOf({{Str("inner"), big_str(kLarge, 'i')}});
  ScratchOutput outer;
  ASSERT_TRUE(outer.encode(outer_value).ok());
  {
    ScratchOutput inner;
    ASSERT_TRUE(inner.encode(inner_value).ok());
    EXPECT_TRUE(copied(inner) == encoded(inner_value));
    auto bytes = encode_value_to_bytes(inner_value);
    ASSERT_TRUE(bytes.ok());
    EXPECT_TRUE(*bytes == encoded(inner_value));
  }
  EXPECT_TRUE(copied(outer) == encoded(outer_value));
}

TEST(ScratchOutput, ContainerEncodersMatchTheirByteStrings) {
  const Value payload = Arr({Str("p"), big_bin(kLarge * 2, 9), Int(3)});
  const std::optional<CompressionInfo> settings[] = {std::nullopt, CompressionInfo{1, 0, 0, 3}};
  for (const auto& setting : settings) {
    SCOPED_TRACE(setting ? "compressed" : "plain");
    const STPContainer stp{payload, 7, setting};
    const DMPContainer dmp{"schema", payload, 2, setting, 1};
    auto stp_bytes = encode_stp(stp);
    auto dmp_bytes = encode_dmp(dmp);
    ASSERT_TRUE(stp_bytes.ok());
    ASSERT_TRUE(dmp_bytes.ok());
    ScratchOutput stp_out;
    ASSERT_TRUE(encode_stp_to(stp, stp_out).ok());
    EXPECT_TRUE(copied(stp_out) == *stp_bytes);
    ScratchOutput dmp_out;
    ASSERT_TRUE(encode_dmp_to(dmp, dmp_out).ok());
    EXPECT_TRUE(copied(dmp_out) == *dmp_bytes);
    auto decoded = decode_stp(*stp_bytes);
    ASSERT_TRUE(decoded.ok());
    EXPECT_TRUE(decoded->payload == payload);
  }
}

}  // namespace
}  // namespace zq
