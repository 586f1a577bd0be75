// The payload slot: its three states, what decode, encode and unpack do to each, and that a
// payload once read stays writable when its container does not encode again.
#include "payload/temp_data_object.h"

#include <gtest/gtest.h>

#include <string>

#include "container/headers.h"
#include "hex_bytes.h"

namespace zq {
namespace {

using test::from_hex;
using test::to_hex;
using State = TempDataObject::State;

// An STP container of {"a": 1}, version 1, in the encoder's own form and with its version
// written as a two-byte varint, which decoders accept and encoders never write.
const char kStp[] = "00 02 01 00 81 a1 61 01";
const char kStpLongVarint[] = "00 02 40 01 00 81 a1 61 01";

// The bytes encoding gives, or "nothing" / "error: ..." for the other outcomes.
std::string encoded(const TempDataObject& slot) {
  EncodedPayload result;
  if (auto status = encode_temp_data_object(slot, result); !status.ok()) {
    return "error: " + std::string(status.error().text());
  }
  if (!result.present) return "nothing";
  return to_hex(result.view);
}

TempDataObject raw(const char* hex) { return TempDataObject::raw(from_hex(hex)); }

TEST(TempDataObjectTest, EmptyEncodesToNothingAndUnpacksToNothing) {
  TempDataObject slot;
  EXPECT_TRUE(slot.is_empty());
  EXPECT_EQ(encoded(slot), "nothing");
  auto unpacked = unpack_temp_data_object(slot);
  ASSERT_TRUE(unpacked.ok());
  EXPECT_EQ(*unpacked, nullptr);
  EXPECT_EQ(slot.state(), State::Empty);
}

TEST(TempDataObjectTest, RawBytesAreWrittenUnchangedWhateverTheyAre) {
  for (const char* hex : {"", "00 06 01", kStpLongVarint}) {
    auto slot = decode_temp_data_object(from_hex(hex), false);
    ASSERT_TRUE(slot.ok()) << hex;
    EXPECT_EQ(slot->state(), State::Raw) << hex;
    EXPECT_EQ(encoded(*slot), to_hex(from_hex(hex))) << hex;
  }
  EXPECT_EQ(encoded(raw("")), "");  // a payload of zero bytes, not nothing
}

TEST(TempDataObjectTest, FailedUnpackLeavesTheBytesAndTriesAgain) {
  for (const char* hex : {"", "02", "00 06 01", "00 02 00 00"}) {
    TempDataObject slot = raw(hex);
    const TempDataObject before = slot;
    for (int attempt = 0; attempt < 2; ++attempt) {
      EXPECT_FALSE(unpack_temp_data_object(slot).ok()) << hex;
      EXPECT_EQ(slot, before) << hex;
    }
  }
}

TEST(TempDataObjectTest, UnpackDecodesOnceAndEncodesTheContainerAnew) {
  TempDataObject slot = raw(kStpLongVarint);
  EXPECT_EQ(encoded(slot), to_hex(from_hex(kStpLongVarint)));
  auto first = unpack_temp_data_object(slot);
  ASSERT_TRUE(first.ok());
  ASSERT_NE(*first, nullptr);
  EXPECT_EQ(slot.state(), State::Decoded);
  EXPECT_EQ(slot.verbatim(), nullptr);  // the bytes are gone
  EXPECT_EQ(std::get<STPContainer>(**first).version, 1u);
  auto second = unpack_temp_data_object(slot);
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(*second, *first);  // the same container, nothing decoded again
  EXPECT_EQ(encoded(slot), to_hex(from_hex(kStp)));
}

TEST(TempDataObjectTest, DecodeWithUnpackingGivesDecodedOrTheDecoderError) {
  auto decoded = decode_temp_data_object(from_hex(kStp), true);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded->state(), State::Decoded);
  EXPECT_EQ(encoded(*decoded), to_hex(from_hex(kStp)));
  auto refused = decode_temp_data_object(from_hex("00 06 01"), true);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), WireError::invalid("Invalid TempDataObject data"));
  EXPECT_EQ(decode_temp_data_object({}, true).error(), WireError::truncated());
}

TEST(TempDataObjectTest, EncoderRefusalLeavesTheSlotDecoded) {
  VFSDContainer vfsd;
  vfsd.count = 3;
  TempDataObject slot = TempDataObject::decoded(vfsd);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(encoded(slot), "error: VFSD frame count mismatch");
    EXPECT_EQ(slot.state(), State::Decoded);
  }
}

TEST(TempDataObjectTest, CopiesAreDeep) {
  TempDataObject original = raw(kStp);
  TempDataObject copy = original;
  ASSERT_TRUE(unpack_temp_data_object(copy).ok());
  EXPECT_EQ(copy.state(), State::Decoded);
  EXPECT_EQ(original.state(), State::Raw);
  TempDataObject decoded_copy = copy;
  EXPECT_NE(decoded_copy.container(), copy.container());
  EXPECT_EQ(decoded_copy, copy);
}

Bytes fat_manifest_without_parts() {
  Bytes out;
  const FATManifestHeader header{0, CompressionInfo{}, 100, 1024, 0, ByteView(), 0, 0};
  EXPECT_TRUE(write_fat_manifest_header(header, out).ok());
  return out;
}

// An STP container whose value is `depth` arrays around a nil.
std::string nested_arrays(int depth) {
  std::string hex = "00 02 00 00";
  for (int i = 0; i < depth; ++i) hex += " 91";
  return hex + " c0";
}

Bytes dmp_nested_arrays(int depth) {
  Bytes out;
  const DMPHeader header{0, "s", 0, CompressionInfo{}, 0};
  EXPECT_TRUE(write_dmp_header(header, out).ok());
  for (int i = 0; i < depth; ++i) out.push_back(0x91);
  out.push_back(0xc0);
  return out;
}

// Containers that decode but do not encode again keep their bytes once read.
TEST(TempDataObjectTest, ReadPayloadThatDoesNotEncodeAgainKeepsItsBytes) {
  const Bytes cases[] = {
      fat_manifest_without_parts(),
      from_hex("00 02 00 00 d7 ff ff ff ff fc 00 00 00 00"),  // timestamp nanos 1073741823
      from_hex(nested_arrays(513)),
      dmp_nested_arrays(513),
  };
  for (const Bytes& bytes : cases) {
    auto direct = decode_container(bytes);
    ASSERT_TRUE(direct.ok()) << to_hex(bytes);
    EXPECT_FALSE(reencodes(*direct)) << to_hex(bytes);
    EXPECT_FALSE(encode_container(*direct).ok()) << to_hex(bytes);

    TempDataObject slot = TempDataObject::raw(bytes);
    ASSERT_TRUE(unpack_temp_data_object(slot).ok());
    EXPECT_EQ(slot.state(), State::Decoded);
    EXPECT_EQ(encoded(slot), to_hex(bytes));
    EXPECT_EQ(encoded(TempDataObject(slot)), to_hex(bytes));  // copies keep them too
  }
}

TEST(TempDataObjectTest, ReencodesAgreesWithTheEncoderAtTheDepthLimit) {
  for (int depth : {511, 512, 513}) {
    auto direct = decode_container(from_hex(nested_arrays(depth)));
    ASSERT_TRUE(direct.ok()) << depth;
    EXPECT_EQ(reencodes(*direct), encode_container(*direct).ok()) << depth;
  }
}

}  // namespace
}  // namespace zq
