// Container headers: the worked examples both ways, the behaviour every reader shares
// (short input, wrong kind, cut-off items), each kind's own checks, the compression byte, and
// the writers' errors.
#include "container/headers.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "container/varint.h"
#include "hex_bytes.h"
#include "wire_error_text.h"

namespace zq {
namespace {

using test::from_hex;
using test::describe;
using test::to_hex;

constexpr std::array<std::uint8_t, 16> kChecksum = {0, 1, 2,  3,  4,  5,  6,  7,
                                                    8, 9, 10, 11, 12, 13, 14, 15};
constexpr std::array<std::uint8_t, 5> kShortChecksum = {9, 8, 7, 6, 5};
constexpr std::uint64_t k2Pow40 = std::uint64_t{1} << 40;

template <class Header>
struct Example {
  const char* name;
  const char* hex;  // the whole header, smallest varints
  Header header;    // header_len set
};

// Parses each example into its record and writes the record back into the same bytes.
template <class Header, std::size_t N>
void check_examples(const Example<Header> (&examples)[N],
                    Result<Header> (*parse)(ByteView), Status (*write)(const Header&, Bytes&)) {
  for (const auto& example : examples) {
    SCOPED_TRACE(example.name);
    const Bytes wire = from_hex(example.hex);
    const auto parsed = parse(wire);
    ASSERT_TRUE(parsed.ok()) << describe(parsed);
    EXPECT_TRUE(*parsed == example.header);
    EXPECT_EQ(parsed->header_len, example.header.header_len);

    Bytes out;
    const Status written = write(example.header, out);
    ASSERT_TRUE(written.ok()) << describe(written.error());
    EXPECT_EQ(to_hex(out), to_hex(wire));
  }
}

const Example<STPHeader> kStpExamples[] = {
    {"version 1, plain", "00 02 01 00", {1, {}, 4}},
    {"version 300, zstd level 3", "00 02 41 2c 83", {300, {1, 0, 0, 3}, 5}},
};

const Example<ITPHeader> kItpExamples[] = {
    {"custom lua5", "00 01 00 01 04 6c 75 61 35 03 00", {{true, 0, "lua5"}, 3, {0, 0, 0, 0}, 11}},
    {"standard 20", "00 01 00 14 41 2c 82", {{false, 20, {}}, 300, {1, 0, 0, 2}, 7}},
    {"standard 256", "00 01 01 00 03 00", {{false, 256, {}}, 3, {}, 6}},
    {"standard 65535", "00 01 ff ff 00 00", {{false, 65535, {}}, 0, {}, 6}},
    {"standard 2, the lowest", "00 01 00 02 00 00", {{false, 2, {}}, 0, {}, 6}},
    {"empty custom name", "00 01 00 01 00 07 00", {{true, 0, ""}, 7, {}, 7}},
};

const Example<VFSDHeader> kVfsdExamples[] = {
    {"path /a", "00 03 00 00 02 2f 61 01 43 e8 47 d0 07", {0, {}, "/a", 1, 1000, 2000, 7, 13}},
    {"empty path", "00 03 00 00 00 00 00 00 00", {0, {}, "", 0, 0, 0, 0, 9}},
    {"non-ASCII path", "00 03 05 82 03 2f c3 a9 01 02 03 04",
     {5, {1, 0, 0, 2}, "/\xc3\xa9", 1, 2, 3, 4, 12}},
};

const Example<FATManifestHeader> kFatExamples[] = {
    {"no checksum", "00 04 00 00 4b b8 44 00 03 00 05", {0, {}, 3000, 1024, 3, {}, 5, 11}},
    {"16-byte checksum",
     "00 04 02 81 80 01 11 70 80 01 00 00 02 10 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f "
     "c0 00 01 00 00 00 00 00",
     {2, {1, 0, 0, 1}, 70000, 65536, 2, kChecksum, k2Pow40, 38}},
    {"5-byte checksum", "00 04 00 00 00 44 00 00 05 09 08 07 06 05 00",
     {0, {}, 0, 1024, 0, kShortChecksum, 0, 15}},
};

const Example<DMPHeader> kDmpExamples[] = {
    {"schema user", "00 05 02 04 75 73 65 72 01 00", {2, "user", 1, {}, 10}},
    {"schema kind 255, empty name", "00 05 ff 00 00 7f", {255, "", 0, {0, 1, 15, 3}, 6}},
};

TEST(HeaderExamplesTest, Stp) { check_examples(kStpExamples, parse_stp_header, write_stp_header); }
TEST(HeaderExamplesTest, Itp) { check_examples(kItpExamples, parse_itp_header, write_itp_header); }
TEST(HeaderExamplesTest, Vfsd) {
  check_examples(kVfsdExamples, parse_vfsd_header, write_vfsd_header);
}
TEST(HeaderExamplesTest, FatManifest) {
  check_examples(kFatExamples, parse_fat_manifest_header, write_fat_manifest_header);
}
TEST(HeaderExamplesTest, Dmp) { check_examples(kDmpExamples, parse_dmp_header, write_dmp_header); }

TEST(HeaderExamplesTest, ReadersStopAtTheBody) {
  // An STP container whose body is the MessagePack map {"a": 1}.
  const Bytes container = from_hex("00 02 01 00 81 a1 61 01");
  const auto header = parse_stp_header(container);
  ASSERT_TRUE(header.ok());
  EXPECT_EQ(header->header_len, 4u);
}

TEST(HeaderExamplesTest, TextsAreViewsIntoTheInput) {
  const Bytes wire = from_hex("00 05 02 04 75 73 65 72 01 00");
  const auto header = parse_dmp_header(wire);
  ASSERT_TRUE(header.ok());
  EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(header->schema_name.data()), wire.data() + 4);
}

TEST(HeaderExamplesTest, LongerVarintsThanNeededAreRead) {
  const auto stp = parse_stp_header(from_hex("00 02 40 01 00"));
  ASSERT_TRUE(stp.ok());
  EXPECT_EQ(stp->version, 1u);
  EXPECT_EQ(stp->header_len, 5u);

  // Long forms in every varint of a VFSD header, the path length included.
  const Bytes wire =
      from_hex("00 03 40 00 00 80 00 00 02 2f 61 40 01 c0 00 00 00 00 00 03 e8 47 d0 40 07");
  const auto vfsd = parse_vfsd_header(wire);
  ASSERT_TRUE(vfsd.ok()) << describe(vfsd);
  EXPECT_TRUE(*vfsd == (VFSDHeader{0, {}, "/a", 1, 1000, 2000, 7, 25}));
}

// What every reader shares, driven through a table of the five kinds.
struct Kind {
  const char* name;
  const char* code_hex;
  const char* wrong_kind;
  std::function<Result<std::size_t>(ByteView)> header_len;
  std::vector<const char*> examples;
};

template <class Header, std::size_t N>
Kind make_kind(const char* name, const char* code_hex, const char* wrong_kind,
               Result<Header> (*parse)(ByteView), const Example<Header> (&examples)[N]) {
  Kind kind{name, code_hex, wrong_kind, [parse](ByteView data) -> Result<std::size_t> {
              auto header = parse(data);
              if (!header.ok()) return header.error();
              return header->header_len;
            }, {}};
  for (const auto& example : examples) kind.examples.push_back(example.hex);
  return kind;
}

const std::vector<Kind>& kinds() {
  static const std::vector<Kind> all = {
      make_kind("ITP", "00 01", "not an ITP container", parse_itp_header, kItpExamples),
      make_kind("STP", "00 02", "not an STP container", parse_stp_header, kStpExamples),
      make_kind("VFSD", "00 03", "not a VFSD container", parse_vfsd_header, kVfsdExamples),
      make_kind("FAT", "00 04", "not a FAT manifest container", parse_fat_manifest_header,
                kFatExamples),
      make_kind("DMP", "00 05", "not a DMP container", parse_dmp_header, kDmpExamples),
  };
  return all;
}

TEST(HeaderReadersTest, FewerThanTwoBytesAreTruncated) {
  for (const Kind& kind : kinds()) {
    for (const char* hex : {"", "00", "07", "ff"}) {
      SCOPED_TRACE(std::string(kind.name) + " of '" + hex + "'");
      EXPECT_EQ(describe(kind.header_len(from_hex(hex))), "Truncated");
    }
  }
}

TEST(HeaderReadersTest, AnotherKindCodeIsInvalid) {
  for (const Kind& kind : kinds()) {
    // The other kinds' codes, a code byte-swapped, and codes no kind has; each followed by a
    // valid header tail of this kind so that only the code is wrong.
    const std::string tail = std::string(kind.examples.front()).substr(5);
    for (const char* code : {"00 00", "00 01", "00 02", "00 03", "00 04", "00 05", "00 06",
                             "01 00", "02 00", "ff ff"}) {
      if (std::string_view(code) == kind.code_hex) continue;
      SCOPED_TRACE(std::string(kind.name) + " of code " + code);
      EXPECT_EQ(describe(kind.header_len(from_hex(std::string(code) + tail))),
                std::string("Invalid: ") + kind.wrong_kind);
      // The code is checked before anything else is needed.
      EXPECT_EQ(describe(kind.header_len(from_hex(code))), std::string("Invalid: ") + kind.wrong_kind);
    }
  }
}

TEST(HeaderReadersTest, EveryCutOffHeaderIsTruncated) {
  // Every proper prefix of every example, so each item is seen cut off at each of its bytes:
  // the interpreter code, each varint, each text and the final compression byte.
  for (const Kind& kind : kinds()) {
    for (const char* hex : kind.examples) {
      const Bytes full = from_hex(hex);
      for (std::size_t len = 0; len < full.size(); ++len) {
        SCOPED_TRACE(std::string(kind.name) + " " + hex + " cut to " + std::to_string(len));
        EXPECT_EQ(describe(kind.header_len(ByteView(full).first(len))), "Truncated");
      }
    }
  }
}

TEST(HeaderReadersTest, ReaderLooksNoFurtherThanItsHeader) {
  for (const Kind& kind : kinds()) {
    for (const char* hex : kind.examples) {
      SCOPED_TRACE(std::string(kind.name) + " " + hex);
      Bytes data = from_hex(hex);
      const std::size_t header_size = data.size();
      data.insert(data.end(), {0xff, 0xc0, 0x00});  // invalid UTF-8 and a cut varint
      const auto len = kind.header_len(data);
      ASSERT_TRUE(len.ok()) << describe(len);
      EXPECT_EQ(*len, header_size);
    }
  }
}

const Kind& kind_named(std::string_view name) {
  for (const Kind& kind : kinds()) {
    if (name == kind.name) return kind;
  }
  std::abort();
}

TEST(HeaderReadersTest, KindChecksInWireOrder) {
  const struct {
    const char* kind;
    const char* hex;
    const char* expected;
  } cases[] = {
      {"STP", "00 02 c0 00", "Truncated"},  // the size code asks for 8 bytes
      {"ITP", "00 01 00", "Truncated"},
      {"ITP", "00 01 00 00", "Invalid: ITP interpretator type 0 is invalid"},
      {"ITP", "00 01 00 00 03 00", "Invalid: ITP interpretator type 0 is invalid"},
      {"ITP", "00 01 00 01 01 ff 03 00", "Invalid: invalid utf-8"},
      // A bad text wins over what is cut off after it.
      {"ITP", "00 01 00 01 01 ff", "Invalid: invalid utf-8"},
      {"ITP", "00 01 00 01 02 c3", "Truncated"},  // the text itself is cut off
      {"VFSD", "00 03 00 00 02 2f ff 01 43 e8 47 d0 07", "Invalid: invalid utf-8"},
      {"VFSD", "00 03 00 00 01 ff", "Invalid: invalid utf-8"},
      {"VFSD", "00 03 00 00 02 c3 28", "Invalid: invalid utf-8"},
      {"VFSD", "00 03 00 00 03 ed a0 80", "Invalid: invalid utf-8"},  // a surrogate
      {"DMP", "00 05 02 04 75 73 65 ff 01 00", "Invalid: invalid utf-8"},
      {"DMP", "00 05 02 01 ff", "Invalid: invalid utf-8"},
      {"DMP", "00 05 02 01 c0", "Invalid: invalid utf-8"},
      {"DMP", "00 05", "Truncated"},
      // part_size 1023, cut right after it.
      {"FAT", "00 04 00 00 4b b8 43 ff", "Invalid: FAT part_size must be >= 1024 bytes"},
      {"FAT", "00 04 00 00 4b b8 43 ff 03 00 05", "Invalid: FAT part_size must be >= 1024 bytes"},
      {"FAT", "00 04 00 00 00 00", "Invalid: FAT part_size must be >= 1024 bytes"},
      {"FAT", "00 04 00 00 00 44", "Truncated"},  // part_size cut in its second byte
      {"FAT", "00 04 00 00 00 44 00", "Truncated"},
      // A checksum longer than what follows.
      {"FAT", "00 04 00 00 00 44 00 00 10 00 01 02", "Truncated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.kind) + " " + c.hex);
    EXPECT_EQ(describe(kind_named(c.kind).header_len(from_hex(c.hex))), c.expected);
  }
}

TEST(CompressionByteTest, EveryByteReadsBackIntoItself) {
  for (int byte = 0; byte < 256; ++byte) {
    SCOPED_TRACE(byte);
    Bytes out;
    ASSERT_TRUE(write_compression_byte(read_compression_byte(static_cast<std::uint8_t>(byte)), out).ok());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], byte);
  }
}

TEST(CompressionByteTest, FieldsSitInTheirBits) {
  const struct {
    std::uint8_t byte;
    CompressionInfo info;
  } cases[] = {
      {0x82, {1, 0, 0, 2}}, {0x83, {1, 0, 0, 3}},  {0x00, {0, 0, 0, 0}}, {0x40, {0, 1, 0, 0}},
      {0x95, {1, 0, 5, 1}}, {0x7f, {0, 1, 15, 3}}, {0xff, {1, 1, 15, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.byte));
    EXPECT_TRUE(read_compression_byte(c.byte) == c.info);
    Bytes out;
    ASSERT_TRUE(write_compression_byte(c.info, out).ok());
    EXPECT_EQ(out, Bytes{c.byte});
  }
}

TEST(CompressionByteTest, FieldsTheirBitsCannotCarryAreTooLarge) {
  const CompressionInfo cases[] = {
      {0, 0, 0, 4}, {0, 0, 16, 0}, {2, 0, 0, 0}, {0, 2, 0, 0}, {255, 255, 255, 255},
  };
  for (const auto& info : cases) {
    SCOPED_TRACE(testing::Message() << int(info.compressed) << "," << int(info.pretrained_map)
                                    << "," << int(info.algorithm) << "," << int(info.level));
    Bytes out;
    const Status status = write_compression_byte(info, out);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(describe(status.error()), "TooLarge");
    EXPECT_TRUE(out.empty());
  }
}

TEST(HeaderWritersTest, ItpStandardCodeBelowTwoIsInvalidBeforeAnythingFollowsTheKind) {
  for (std::uint16_t code : {0, 1}) {
    SCOPED_TRACE(code);
    Bytes out;
    const Status status = write_itp_header({{false, code, {}}, 1, {}, 0}, out);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(describe(status.error()), "Invalid: ITP standard code must be >= 2");
    EXPECT_EQ(to_hex(out), "00 01");
  }
}

TEST(HeaderWritersTest, ItpWritesStandardCodesPastTheKnownOnes) {
  Bytes out;
  ASSERT_TRUE(write_itp_header({{false, 72, {}}, 0, {}, 0}, out).ok());
  EXPECT_EQ(to_hex(out), "00 01 00 48 00 00");
}

TEST(HeaderWritersTest, WritersAppendAfterExistingContent) {
  Bytes out = from_hex("aa");
  ASSERT_TRUE(write_stp_header({1, {}, 0}, out).ok());
  EXPECT_EQ(to_hex(out), "aa 00 02 01 00");
}

TEST(HeaderWritersTest, WritersCheckNoRangesOfTheirOwn) {
  Bytes fat;
  ASSERT_TRUE(write_fat_manifest_header({0, {}, 0, 5, 0, {}, 0, 0}, fat).ok());
  EXPECT_EQ(to_hex(fat), "00 04 00 00 00 05 00 00 00");
  Bytes vfsd;
  ASSERT_TRUE(write_vfsd_header({0, {}, "\xff", 9, 0, 0, 0, 0}, vfsd).ok());
  EXPECT_EQ(to_hex(vfsd), "00 03 00 00 01 ff 09 00 00 00");
}

TEST(HeaderWritersTest, NumbersAboveTheVarintRangeAndBadCompressionAreTooLarge) {
  static constexpr std::uint64_t kTooBig = kMaxVarint + 1;
  static constexpr CompressionInfo kBadLevel{0, 0, 0, 4};
  const struct {
    const char* name;
    std::function<Status(Bytes&)> write;
  } cases[] = {
      {"STP version", [](Bytes& o) { return write_stp_header({kTooBig, {}, 0}, o); }},
      {"STP compression", [](Bytes& o) { return write_stp_header({0, kBadLevel, 0}, o); }},
      {"ITP interpretatorVersion",
       [](Bytes& o) { return write_itp_header({{false, 2, {}}, kTooBig, {}, 0}, o); }},
      {"ITP compression",
       [](Bytes& o) { return write_itp_header({{true, 0, "x"}, 0, kBadLevel, 0}, o); }},
      {"VFSD version",
       [](Bytes& o) { return write_vfsd_header({kTooBig, {}, "", 0, 0, 0, 0, 0}, o); }},
      {"VFSD compression",
       [](Bytes& o) { return write_vfsd_header({0, kBadLevel, "", 0, 0, 0, 0, 0}, o); }},
      {"VFSD count", [](Bytes& o) { return write_vfsd_header({0, {}, "", kTooBig, 0, 0, 0, 0}, o); }},
      {"VFSD created_ns",
       [](Bytes& o) { return write_vfsd_header({0, {}, "", 0, kTooBig, 0, 0, 0}, o); }},
      {"VFSD updated_ns",
       [](Bytes& o) { return write_vfsd_header({0, {}, "", 0, 0, kTooBig, 0, 0}, o); }},
      {"VFSD epoch", [](Bytes& o) { return write_vfsd_header({0, {}, "", 0, 0, 0, kTooBig, 0}, o); }},
      {"FAT version",
       [](Bytes& o) { return write_fat_manifest_header({kTooBig, {}, 0, 1024, 0, {}, 0, 0}, o); }},
      {"FAT compression",
       [](Bytes& o) { return write_fat_manifest_header({0, kBadLevel, 0, 1024, 0, {}, 0, 0}, o); }},
      {"FAT size",
       [](Bytes& o) { return write_fat_manifest_header({0, {}, kTooBig, 1024, 0, {}, 0, 0}, o); }},
      {"FAT part_size",
       [](Bytes& o) { return write_fat_manifest_header({0, {}, 0, kTooBig, 0, {}, 0, 0}, o); }},
      {"FAT parts_count",
       [](Bytes& o) { return write_fat_manifest_header({0, {}, 0, 1024, kTooBig, {}, 0, 0}, o); }},
      {"FAT created_ns",
       [](Bytes& o) { return write_fat_manifest_header({0, {}, 0, 1024, 0, {}, kTooBig, 0}, o); }},
      {"DMP version", [](Bytes& o) { return write_dmp_header({0, "", kTooBig, {}, 0}, o); }},
      {"DMP compression", [](Bytes& o) { return write_dmp_header({0, "", 0, kBadLevel, 0}, o); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out;
    const Status status = c.write(out);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(describe(status.error()), "TooLarge");
  }
}

}  // namespace
}  // namespace zq
