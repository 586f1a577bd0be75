// The bounds-checked byte cursor: reads move it, a read that does not fit fails and leaves it.
#include "common/byte_reader.h"

#include <gtest/gtest.h>

#include "hex_bytes.h"

namespace zq {
namespace {

TEST(ByteReaderTest, ReadsInOrderAndRefusesWhatDoesNotFit) {
  const Bytes data = test::from_hex("01 02 03 04 05");
  ByteReader reader(data);

  const auto byte = reader.u8();
  ASSERT_TRUE(byte.ok());
  EXPECT_EQ(*byte, 0x01);
  const auto word = reader.u16be();
  ASSERT_TRUE(word.ok());
  EXPECT_EQ(*word, 0x0203);
  EXPECT_EQ(reader.offset(), 3u);
  EXPECT_EQ(reader.remaining(), 2u);

  EXPECT_FALSE(reader.bytes(3).ok());
  const auto rest = reader.bytes(2);
  ASSERT_TRUE(rest.ok());
  EXPECT_EQ(rest->data(), data.data() + 3);
  EXPECT_EQ(rest->size(), 2u);

  EXPECT_EQ(reader.remaining(), 0u);
  EXPECT_FALSE(reader.u8().ok());
  EXPECT_FALSE(reader.u16be().ok());
  EXPECT_TRUE(reader.bytes(0).ok());
  EXPECT_EQ(reader.offset(), 5u);
}

TEST(ByteReaderTest, U16NeedsBothBytes) {
  const Bytes data = test::from_hex("ff");
  ByteReader reader(data);
  const auto word = reader.u16be();
  ASSERT_FALSE(word.ok());
  EXPECT_EQ(word.error(), WireError::truncated());
  EXPECT_EQ(reader.offset(), 0u);
}

}  // namespace
}  // namespace zq
