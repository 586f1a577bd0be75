// Interoperation with the reference MessagePack library: bodies it writes decode through our
// codec to the same values, and for the same data our encoder writes the bytes it writes.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <msgpack.hpp>

#include "hex_bytes.h"
#include "msgpack_test_values.h"
#include "serialization/msgpack.h"

namespace zq {
namespace {

using namespace zq::test;
using Packer = msgpack::packer<msgpack::sbuffer>;

// Writes `v` through the reference packer, one call per item, as an application of that
// library would.
void pack_reference(Packer& pk, ValueView v) {
  switch (v.kind()) {
    case Value::Kind::Nil: pk.pack_nil(); return;
    case Value::Kind::Bool: pk.pack(v.as_bool()); return;
    case Value::Kind::Int: pk.pack_int64(v.as_int()); return;
    case Value::Kind::UInt: pk.pack_uint64(v.as_uint()); return;
    case Value::Kind::Float: pk.pack_double(v.as_float()); return;
    case Value::Kind::Str:
      pk.pack_str(static_cast<std::uint32_t>(v.as_str().size()));
      pk.pack_str_body(v.as_str().data(), static_cast<std::uint32_t>(v.as_str().size()));
      return;
    case Value::Kind::Bin:
      pk.pack_bin(static_cast<std::uint32_t>(v.as_bin().size()));
      pk.pack_bin_body(reinterpret_cast<const char*>(v.as_bin().data()),
                       static_cast<std::uint32_t>(v.as_bin().size()));
      return;
    case Value::Kind::Array:
      pk.pack_array(static_cast<std::uint32_t>(v.as_array().size()));
      for (const ValueView item : v.as_array()) pack_reference(pk, item);
      return;
    case Value::Kind::Map:
      pk.pack_map(static_cast<std::uint32_t>(v.as_map().size()));
      for (const PairView p : v.as_map()) {
        pack_reference(pk, p.key);
        pack_reference(pk, p.value);
      }
      return;
    case Value::Kind::Timestamp:
      // Its timestamp adaptor needs Boost, which these tests do without.
      ADD_FAILURE() << "no reference form for timestamps";
      return;
    case Value::Kind::Ext:
      pk.pack_ext(v.as_ext().data.size(), v.as_ext().type);
      pk.pack_ext_body(reinterpret_cast<const char*>(v.as_ext().data.data()),
                       static_cast<std::uint32_t>(v.as_ext().data.size()));
      return;
  }
}

Bytes to_bytes(const msgpack::sbuffer& sb) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(sb.data());
  return Bytes(p, p + sb.size());
}

Value strings(std::size_t n) { return Str(std::string(n, 'x')); }

TEST(MsgpackInterop, SameValuesSameBytes) {
  Value::Array sixteen;
  Value::Map sixteen_pairs;
  for (std::int64_t i = 0; i < 16; ++i) {
    sixteen.push_back(Int(i * 1000));
    sixteen_pairs.push_back({Str(std::string("k").append(std::to_string(i))), Int(-i)});
  }
  const Value cases[] = {
      Int(0), Int(127), Int(128), Int(255), Int(256), Int(65535), Int(65536), Int(4294967295),
      Int(4294967296), Int(std::numeric_limits<std::int64_t>::max()), Int(-1), Int(-32), Int(-33),
      Int(-128), Int(-129), Int(-32768), Int(-32769), Int(-2147483648LL), Int(-2147483649LL),
      Int(std::numeric_limits<std::int64_t>::min()), UInt(std::numeric_limits<std::uint64_t>::max()),
      // The reference writes whole-valued doubles as integers; we always write float 64.
      Float(1.5), Float(-2.25), Float(1e300), Nil(), Bool(true), Bool(false),
      strings(0), strings(31), strings(32), strings(255), strings(256), strings(65535), strings(65536),
      Str("\xe2\x82\xac uro"),
      Bin(""), Value::bin(Bytes(255, 1)), Value::bin(Bytes(256, 2)), Value::bin(Bytes(65536, 3)),
      ExtOf(5, "01"), ExtOf(5, "01 02 03"), ExtOf(127, "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f"),
      Value::array(sixteen), Value::map(sixteen_pairs),
      Arr({Int(1), Str("two"), Float(3.25), Arr({Arr({Nil()}), MapOf({})}),
           MapOf({{Str("k"), Arr({Bin("ff"), Bool(false)})}, {Int(-7), MapOf({{Nil(), Nil()}})}})}),
  };
  for (const Value& v : cases) {
    SCOPED_TRACE(describe(v).substr(0, 80));
    msgpack::sbuffer sb;
    Packer pk(sb);
    pack_reference(pk, v.view());
    const Bytes theirs = to_bytes(sb);

    std::size_t pos = 0;
    auto decoded = decode_value(theirs, pos, false);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(pos, theirs.size());
    EXPECT_TRUE(*decoded == v) << describe(*decoded).substr(0, 80);

    Bytes ours;
    ASSERT_TRUE(encode_value(v, ours).ok());
    EXPECT_EQ(to_hex(ours).substr(0, 60), to_hex(theirs).substr(0, 60));
    EXPECT_TRUE(ours == theirs);
    // And the reference reads our bytes to the data it wrote: written again, they are its bytes.
    // (Its own object comparison passes null to memcmp for empty texts, which UBSan rejects.)
    const msgpack::object_handle ours_read =
        msgpack::unpack(reinterpret_cast<const char*>(ours.data()), ours.size());
    msgpack::sbuffer rewritten;
    msgpack::pack(rewritten, ours_read.get());
    EXPECT_TRUE(to_bytes(rewritten) == theirs);
  }
}

TEST(MsgpackInterop, FormsOnlyTheReferenceWrites) {
  // Fixed-width integers and float 32 are never written by our encoder but must decode.
  const struct {
    const char* name;
    std::function<void(Packer&)> pack;
    Value value;
  } cases[] = {
      {"fix uint8", [](Packer& pk) { pk.pack_fix_uint8(3); }, Int(3)},
      {"fix uint16", [](Packer& pk) { pk.pack_fix_uint16(3); }, Int(3)},
      {"fix uint32", [](Packer& pk) { pk.pack_fix_uint32(70000); }, Int(70000)},
      {"fix uint64 2^63", [](Packer& pk) { pk.pack_fix_uint64(std::uint64_t{1} << 63); },
       UInt(std::uint64_t{1} << 63)},
      {"fix int8", [](Packer& pk) { pk.pack_fix_int8(5); }, Int(5)},
      {"fix int16", [](Packer& pk) { pk.pack_fix_int16(-2); }, Int(-2)},
      {"fix int32", [](Packer& pk) { pk.pack_fix_int32(-70000); }, Int(-70000)},
      {"fix int64", [](Packer& pk) { pk.pack_fix_int64(-1); }, Int(-1)},
      {"float 1.5f", [](Packer& pk) { pk.pack_float(1.5f); }, Float(1.5)},
      {"float 0.1f", [](Packer& pk) { pk.pack_float(0.1f); }, Float(static_cast<double>(0.1f))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    msgpack::sbuffer sb;
    Packer pk(sb);
    c.pack(pk);
    const Bytes theirs = to_bytes(sb);
    std::size_t pos = 0;
    auto decoded = decode_value(theirs, pos, true);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(pos, theirs.size());
    EXPECT_TRUE(*decoded == c.value) << describe(*decoded);
  }
}

}  // namespace
}  // namespace zq
