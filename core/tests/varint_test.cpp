// Container varint and varint-prefixed byte strings: every size boundary both ways, the
// lenient reading of long forms, and truncation.
#include "container/varint.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "hex_bytes.h"

namespace zq {
namespace {

using test::from_hex;
using test::to_hex;

struct VarintCase {
  std::uint64_t value;
  const char* hex;  // smallest form
};

// Each boundary of the size table and its neighbours.
constexpr VarintCase kVarintCases[] = {
    {0, "00"},
    {37, "25"},
    {63, "3f"},
    {64, "40 40"},
    {300, "41 2c"},
    {16383, "7f ff"},
    {16384, "80 00 40 00"},
    {1073741823, "bf ff ff ff"},
    {1073741824, "c0 00 00 00 40 00 00 00"},
    {kMaxVarint - 1, "ff ff ff ff ff ff ff fe"},
    {kMaxVarint, "ff ff ff ff ff ff ff ff"},
};

TEST(VarintTest, WritesSmallestFormAndReadsItBack) {
  for (const auto& c : kVarintCases) {
    SCOPED_TRACE(c.value);
    Bytes out;
    ASSERT_TRUE(write_varint(c.value, out).ok());
    EXPECT_EQ(to_hex(out), c.hex);

    out.push_back(0xAA);  // a following byte is not part of the varint
    const auto read = read_varint(out);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->value, c.value);
    EXPECT_EQ(read->size, out.size() - 1);
  }
}

TEST(VarintTest, WriteAppendsToExistingContent) {
  Bytes out = from_hex("aa bb");
  ASSERT_TRUE(write_varint(300, out).ok());
  EXPECT_EQ(to_hex(out), "aa bb 41 2c");
}

TEST(VarintTest, ValuesAboveTheLargestAreTooLargeAndAppendNothing) {
  for (std::uint64_t value : {kMaxVarint + 1, std::numeric_limits<std::uint64_t>::max()}) {
    SCOPED_TRACE(value);
    Bytes out = from_hex("aa");
    const Status status = write_varint(value, out);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error(), WireError::too_large());
    EXPECT_EQ(to_hex(out), "aa");
  }
}

TEST(VarintTest, LongerFormsThanNeededAreRead) {
  const struct {
    const char* hex;
    std::uint64_t value;
    std::size_t size;
  } cases[] = {
      {"40 05", 5, 2},
      {"80 00 00 05", 5, 4},
      {"c0 00 00 00 00 00 00 05", 5, 8},
      {"40 00", 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    const auto read = read_varint(from_hex(c.hex));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->value, c.value);
    EXPECT_EQ(read->size, c.size);
  }
}

TEST(VarintTest, EveryCutOffFormIsTruncated) {
  // Each proper prefix of a form of each size, including forms whose present bytes would make
  // a small value.
  for (const char* hex : {"41 2c", "80 00 40 00", "c0 00 00 00 00 00 00 05"}) {
    const Bytes full = from_hex(hex);
    for (std::size_t len = 0; len < full.size(); ++len) {
      SCOPED_TRACE(std::string(hex) + " cut to " + std::to_string(len));
      const auto read = read_varint(ByteView(full).first(len));
      ASSERT_FALSE(read.ok());
      EXPECT_EQ(read.error(), WireError::truncated());
    }
  }
}

TEST(VarintPrefixedTest, ReadsAViewIntoTheInput) {
  const Bytes data = from_hex("03 61 62 63 ff");
  const auto read = read_varint_prefixed(data);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read->bytes.data(), data.data() + 1);
  EXPECT_EQ(as_text(read->bytes), "abc");
  EXPECT_EQ(read->size, 4u);

  const Bytes empty_form = from_hex("00 61");
  const auto empty = read_varint_prefixed(empty_form);
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty->bytes.empty());
  EXPECT_EQ(empty->size, 1u);

  const Bytes long_form = from_hex("40 01 7a");
  const auto long_prefix = read_varint_prefixed(long_form);
  ASSERT_TRUE(long_prefix.ok());
  EXPECT_EQ(as_text(long_prefix->bytes), "z");
  EXPECT_EQ(long_prefix->size, 3u);
}

TEST(VarintPrefixedTest, CutOffLengthOrBytesAreTruncated) {
  for (const char* hex : {"", "41", "03 61 62", "01",
                          // the largest length with almost nothing behind it
                          "ff ff ff ff ff ff ff ff 00"}) {
    SCOPED_TRACE(hex);
    const auto read = read_varint_prefixed(from_hex(hex));
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error(), WireError::truncated());
  }
}

TEST(VarintPrefixedTest, WritesLengthThenBytes) {
  Bytes out;
  ASSERT_TRUE(write_varint_prefixed(as_bytes(""), out).ok());
  const Bytes long_text(64, 0x78);
  ASSERT_TRUE(write_varint_prefixed(long_text, out).ok());
  ASSERT_EQ(out.size(), 1u + 2u + 64u);
  EXPECT_EQ(to_hex(ByteView(out).first(3)), "00 40 40");
  EXPECT_EQ(out.back(), 0x78);
}

TEST(ByteReaderVarintTest, CursorMovesPastReadsAndStaysOnErrors) {
  const Bytes data = from_hex("41 2c 02 68 69 80 00");
  ByteReader reader(data);
  const auto value = read_varint(reader);
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(*value, 300u);
  const auto text = read_varint_prefixed(reader);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(as_text(*text), "hi");
  EXPECT_EQ(reader.offset(), 5u);

  EXPECT_FALSE(read_varint(reader).ok());
  EXPECT_FALSE(read_varint_prefixed(reader).ok());
  EXPECT_EQ(reader.offset(), 5u);
}

}  // namespace
}  // namespace zq
