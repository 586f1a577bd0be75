// Container bodies: dispatch by kind code, the worked containers of each kind, the order in which
// decoders and encoders report errors, and how the compression byte meets each body.
#include "container/container.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compress/compression.h"
#include "hex_bytes.h"
#include "tables/canonical_tables.h"

namespace zq {
namespace {

using test::from_hex;
using test::to_hex;

constexpr std::uint64_t kVarintOverflow = std::uint64_t{1} << 62;

Bytes concat(ByteView a, ByteView b) {
  Bytes out(a.begin(), a.end());
  append(out, b);
  return out;
}

Bytes zstd(ByteView data, std::uint8_t level_code = 0) {
  auto body = compress_payload(data, {1, 0, 0, level_code});
  EXPECT_TRUE(body.ok());
  return std::move(body->owned);
}

Bytes ids(std::size_t count) {
  Bytes out;
  for (std::size_t i = 0; i < count * 32; ++i) out.push_back(static_cast<std::uint8_t>(i * 7));
  return out;
}

Value map_a_1() { return Value::map({{Value::str("a"), Value::integer(1)}}); }

// Ext type -5 cannot be encoded.
Value unencodable() { return Value::array({Value::integer(1), Value::ext({-5, {}})}); }

VFSDFrame example_frame() {
  VFSDFrame frame{.type = 1, .name = std::string(1, 'f'), .updated_ns = 2000};
  frame.abs_id.fill(0x11);
  return frame;
}

// One record of each kind, with where its compression byte sits and where its body starts.
struct Sample {
  const char* name;
  Container record;
  std::size_t compression_byte_at;
  std::size_t header_len;
};

std::vector<Sample> samples() {
  FATManifestContainer fat{.size = 3000, .part_size = 1024, .parts_count = 3, .payload = ids(3), .created_ns = 5};
  fat.checksum.emplace();
  for (std::uint8_t i = 0; i < 16; ++i) (*fat.checksum)[i] = i;
  return {
      {"STP", STPContainer{.payload = map_a_1(), .version = 1}, 3, 4},
      // A custom type: a standard one would take its default compression when the setting is absent.
      {"ITP",
       ITPContainer{
           .interpreterType = InterpreterType::custom_name("lua5"), .payload = ids(2), .interpretatorVersion = 300},
       11, 12},
      {"VFSD",
       VFSDContainer{
           .path = "/a", .frames = {example_frame()}, .created_ns = 1000, .updated_ns = 2000, .epoch = 7, .count = 1},
       3, 13},
      {"FAT manifest", fat, 3, 27},
      {"DMP",
       DMPContainer{.schema_name = "user",
                    .payload = Value::array({Value::integer(1), Value::str("x")}),
                    .version = 1,
                    .schema_kind = 2},
       9, 10},
  };
}

Container with_setting(Container record, std::optional<CompressionInfo> setting) {
  std::visit([&](auto& r) { r.compression_info = setting; }, record);
  return record;
}

void expect_error(const Result<Bytes>& result, const WireError& error) {
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), error);
}

TEST(DecodeContainer, RefusesShortInputAndUnknownKinds) {
  const struct {
    const char* hex;
    WireError error;
  } cases[] = {
      {"", WireError::truncated()},
      {"02", WireError::truncated()},
      {"00 02", WireError::truncated()},  // from the STP decoder
      {"00 00 01 00", WireError::invalid("Invalid TempDataObject data")},
      {"00 06", WireError::invalid("Invalid TempDataObject data")},
      {"00 06 01 00 81 a1 61 01", WireError::invalid("Invalid TempDataObject data")},
      {"01 02", WireError::invalid("Invalid TempDataObject data")},
      {"ff ff", WireError::invalid("Invalid TempDataObject data")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    const auto container = decode_container(from_hex(c.hex));
    ASSERT_FALSE(container.ok());
    EXPECT_EQ(container.error(), c.error);
  }
}

TEST(DecodeContainer, ChoosesTheDecoderOfTheKind) {
  for (const Sample& s : samples()) {
    SCOPED_TRACE(s.name);
    const auto bytes = encode_container(s.record);
    ASSERT_TRUE(bytes.ok());
    const auto container = decode_container(*bytes);
    ASSERT_TRUE(container.ok());
    EXPECT_EQ(container->index(), s.record.index());
    EXPECT_EQ(*container, with_setting(s.record, CompressionInfo{}));
  }
}

TEST(StpContainer, WorkedExampleBothWays) {
  const Bytes bytes = from_hex("00 02 01 00 81 a1 61 01");
  const auto decoded = decode_stp(bytes);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded->payload, map_a_1());
  EXPECT_EQ(decoded->version, 1u);
  EXPECT_EQ(decoded->compression_info, CompressionInfo{});

  for (const auto setting : {std::optional<CompressionInfo>{}, std::optional<CompressionInfo>{CompressionInfo{}}}) {
    SCOPED_TRACE(setting ? "setting (0, 0, 0, 0)" : "no setting");
    const auto encoded = encode_stp({map_a_1(), 1, setting});
    ASSERT_TRUE(encoded.ok());
    EXPECT_EQ(to_hex(*encoded), to_hex(bytes));
  }
}

TEST(ValueContainers, BodyMustBeExactlyOneValue) {
  const char* cases[] = {
      "00 02 01 00 81 a1 61 01 c0",     // a second value
      "00 02 00 00",                    // empty body
      "00 02 00 00 c1",                 // reserved byte
      "00 02 00 00 93 01 02",           // array cut short
      "00 05 02 04 75 73 65 72 01 00",  // DMP, empty body
      "00 05 02 00 01 00 01 02",        // DMP, a second value
  };
  for (const char* hex : cases) {
    SCOPED_TRACE(hex);
    const auto container = decode_container(from_hex(hex));
    ASSERT_FALSE(container.ok());
    EXPECT_EQ(container.error(), WireError::invalid("bad msgpack payload"));
  }
}

TEST(ValueContainers, ReadExtensionTypes17To27And29AsBytes) {
  const struct {
    const char* hex;
    Value payload;
  } cases[] = {
      {"00 02 00 00 d4 11 41", Value::bin(from_hex("41"))},
      {"00 05 07 00 00 00 d4 1d 41", Value::bin(from_hex("41"))},
      {"00 02 00 00 d4 1c 41", Value::ext({28, from_hex("41")})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    const auto container = decode_container(from_hex(c.hex));
    ASSERT_TRUE(container.ok());
    const Value& payload = container->index() == 0 ? std::get<STPContainer>(*container).payload
                                                   : std::get<DMPContainer>(*container).payload;
    EXPECT_EQ(payload, c.payload);
  }
}

TEST(DmpContainer, WorkedExampleAndEmptySchemaName) {
  const auto user = decode_dmp(from_hex("00 05 02 04 75 73 65 72 01 00 c0"));
  ASSERT_TRUE(user.ok());
  EXPECT_EQ(*user, (DMPContainer{"user", Value::nil(), 1, CompressionInfo{}, 2}));

  const DMPContainer unnamed{"", Value::integer(5), 0, std::nullopt, 7};
  const auto encoded = encode_dmp(unnamed);
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(to_hex(*encoded), "00 05 07 00 00 00 05");
  const auto decoded = decode_dmp(*encoded);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded->schema_name, "");
  EXPECT_EQ(decoded->schema_kind, 7);
}

// STP and DMP share their encoder: the value's errors come before compression's, and both before
// the header's, unless the body is plain, when the header is written first.
TEST(ValueContainers, EncoderErrorsInOrder) {
  const struct {
    const char* name;
    Value payload;
    std::uint64_t version;
    std::optional<CompressionInfo> setting;
    WireError error;
  } cases[] = {
      {"pretrained map", map_a_1(), 1, CompressionInfo{1, 1, 0, 0},
       WireError::invalid("pretrained map compression not implemented")},
      {"algorithm 1", map_a_1(), 1, CompressionInfo{1, 0, 1, 0},
       WireError::invalid("unknown compression algorithm code")},
      {"level code 4", map_a_1(), 1, CompressionInfo{1, 0, 0, 4}, WireError::invalid("unknown compression level code")},
      {"plain, level code 4", map_a_1(), 1, CompressionInfo{0, 0, 0, 4}, WireError::too_large()},
      {"compressed 2: compressed, then refused by the header", map_a_1(), 1, CompressionInfo{2, 0, 0, 0},
       WireError::too_large()},
      {"value before compression", unencodable(), 1, CompressionInfo{1, 1, 0, 0},
       WireError::invalid("bad msgpack payload")},
      {"value before header", unencodable(), 1, CompressionInfo{2, 0, 0, 0}, WireError::invalid("bad msgpack payload")},
      {"plain: header before value", unencodable(), 1, CompressionInfo{0, 0, 0, 4}, WireError::too_large()},
      {"plain value", unencodable(), 1, std::nullopt, WireError::invalid("bad msgpack payload")},
      {"compression before version", map_a_1(), kVarintOverflow, CompressionInfo{1, 1, 0, 0},
       WireError::invalid("pretrained map compression not implemented")},
      {"version too large", map_a_1(), kVarintOverflow, std::nullopt, WireError::too_large()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    expect_error(encode_stp({c.payload, c.version, c.setting}), c.error);
    expect_error(encode_dmp({"schema", c.payload, c.version, c.setting, 1}), c.error);
  }
}

TEST(ValueContainers, CompressedIntegerRoundTrips) {
  const STPContainer five{Value::integer(5), 0, CompressionInfo{1, 0, 0, 3}};
  const auto encoded = encode_stp(five);
  ASSERT_TRUE(encoded.ok());
  ASSERT_GT(encoded->size(), 4u);
  EXPECT_EQ(to_hex(ByteView(*encoded).first(4)), "00 02 00 83");
  EXPECT_TRUE(Bytes(encoded->begin() + 4, encoded->end()) == zstd(from_hex("05"), 3));
  const auto decoded = decode_stp(*encoded);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(*decoded, five);
  const auto again = encode_stp(*decoded);
  ASSERT_TRUE(again.ok());
  const auto decoded_again = decode_stp(*again);
  ASSERT_TRUE(decoded_again.ok());
  EXPECT_EQ(*decoded_again, five);
}

// A plain body only carries the other compression fields in the compression byte.
TEST(AllContainers, PlainBodyKeepsTheOtherCompressionFields) {
  for (const CompressionInfo setting : {CompressionInfo{0, 1, 3, 2}, CompressionInfo{0, 1, 15, 3}}) {
    const std::uint8_t byte =
        static_cast<std::uint8_t>(setting.pretrained_map << 6 | setting.algorithm << 2 | setting.level);
    for (const Sample& s : samples()) {
      SCOPED_TRACE(std::string(s.name) + " with compression byte " + to_hex(ByteView(&byte, 1)));
      const Container record = with_setting(s.record, setting);
      const auto plain = encode_container(with_setting(s.record, std::nullopt));
      const auto encoded = encode_container(record);
      ASSERT_TRUE(plain.ok());
      ASSERT_TRUE(encoded.ok());
      ASSERT_EQ(encoded->size(), plain->size());
      EXPECT_EQ((*encoded)[s.compression_byte_at], byte);
      Bytes patched = *encoded;
      patched[s.compression_byte_at] = 0;
      EXPECT_TRUE(patched == *plain);
      const auto decoded = decode_container(*encoded);
      ASSERT_TRUE(decoded.ok());
      EXPECT_EQ(*decoded, record);
      const auto again = encode_container(*decoded);
      ASSERT_TRUE(again.ok());
      EXPECT_TRUE(*again == *encoded);
    }
  }
}

// The header stays plain; the body becomes the zstd frame of the plain body.
TEST(AllContainers, CompressedBodiesRoundTripAtEveryLevel) {
  for (const Sample& s : samples()) {
    const auto plain = encode_container(s.record);
    ASSERT_TRUE(plain.ok());
    const ByteView plain_body = ByteView(*plain).subspan(s.header_len);
    for (std::uint8_t level = 0; level < 4; ++level) {
      SCOPED_TRACE(std::string(s.name) + " at level code " + std::to_string(level));
      const Container record = with_setting(s.record, CompressionInfo{1, 0, 0, level});
      const auto encoded = encode_container(record);
      ASSERT_TRUE(encoded.ok());
      Bytes header(encoded->begin(), encoded->begin() + s.header_len);
      EXPECT_EQ(header[s.compression_byte_at], 0x80 | level);
      header[s.compression_byte_at] = 0;
      EXPECT_EQ(to_hex(header), to_hex(ByteView(*plain).first(s.header_len)));
      EXPECT_TRUE(Bytes(encoded->begin() + s.header_len, encoded->end()) == zstd(plain_body, level));
      const auto decoded = decode_container(*encoded);
      ASSERT_TRUE(decoded.ok());
      EXPECT_EQ(*decoded, record);
    }
  }
}

TEST(AllContainers, DecodersRefuseCompressionTheyCannotUndo) {
  const struct {
    std::uint8_t byte;
    const char* message;
  } cases[] = {
      {0xc0, "pretrained map decompression not implemented"},
      {0xff, "pretrained map decompression not implemented"},
      {0x84, "unknown compression algorithm code"},
      {0xbf, "unknown compression algorithm code"},
      {0x80, "zstd decompression failed"},  // a plain body is not a zstd frame
  };
  for (const Sample& s : samples()) {
    const auto plain = encode_container(s.record);
    ASSERT_TRUE(plain.ok());
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(s.name) + " with compression byte " + to_hex(ByteView(&c.byte, 1)));
      Bytes patched = *plain;
      patched[s.compression_byte_at] = c.byte;
      const auto decoded = decode_container(patched);
      ASSERT_FALSE(decoded.ok());
      EXPECT_EQ(decoded.error(), WireError::invalid(c.message));
    }
  }
}

TEST(ItpContainer, WorkedHeadersWithTheirBodies) {
  const Bytes payload = from_hex("01 02 03");
  const struct {
    const char* name;
    Bytes bytes;
    ITPContainer expected;
  } cases[] = {
      {"custom lua5",
       concat(from_hex("00 01 00 01 04 6c 75 61 35 03 00"), payload),
       {InterpreterType::custom_name("lua5"), payload, 3, CompressionInfo{}}},
      {"standard 20, compressed",
       concat(from_hex("00 01 00 14 41 2c 82"), zstd(payload, 2)),
       {InterpreterType::standard(20), payload, 300, CompressionInfo{1, 0, 0, 2}}},
      {"custom name spelling a standard type stays custom",
       from_hex("00 01 00 01 04 6a 73 6f 6e 00 00"),
       {InterpreterType::custom_name("json"), {}, 0, CompressionInfo{}}},
      {"standard 71, empty body",
       from_hex("00 01 00 47 00 00"),
       {InterpreterType::standard(71), {}, 0, CompressionInfo{}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoded = decode_itp(c.bytes);
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(*decoded, c.expected);
  }
}

TEST(ItpContainer, UnknownStandardCodeIsRefusedBeforeTheCompressionByte) {
  const ITPContainer unknown{InterpreterType::standard(72), from_hex("61 62"), 0, std::nullopt};
  const auto encoded = encode_itp(unknown);  // no default exists for 72: stored plain
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(to_hex(*encoded), "00 01 00 48 00 00 61 62");
  for (const char* hex : {"00 01 00 48 00 00 61 62", "00 01 00 48 00 c0 61 62", "00 01 ff ff 00 84"}) {
    SCOPED_TRACE(hex);
    const auto decoded = decode_itp(from_hex(hex));
    ASSERT_FALSE(decoded.ok());
    EXPECT_EQ(decoded.error(), WireError::invalid("Unknown standard interpretator code"));
  }
}

TEST(ItpContainer, AbsentSettingTakesTheStandardDefault) {
  std::optional<std::uint16_t> compressed_code, plain_code;
  for (const tables::InTypeCompression& row : tables::in_types_compression()) {
    if (row.info == CompressionInfo{1, 0, 0, 2} && !compressed_code) compressed_code = row.code;
    if (row.info == CompressionInfo{} && !plain_code) plain_code = row.code;
  }
  ASSERT_TRUE(compressed_code && plain_code);
  const Bytes payload = ids(4);
  const struct {
    std::string name;
    InterpreterType type;
    std::uint8_t compression_byte;
  } cases[] = {
      {"standard " + std::to_string(*compressed_code), InterpreterType::standard(*compressed_code), 0x82},
      {"standard " + std::to_string(*plain_code), InterpreterType::standard(*plain_code), 0x00},
      {"custom", InterpreterType::custom_name("pdf"), 0x00},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto encoded = encode_itp({c.type, payload, 1, std::nullopt});
    ASSERT_TRUE(encoded.ok());
    const std::size_t header_len = c.type.custom ? 10 : 6;
    EXPECT_EQ((*encoded)[header_len - 1], c.compression_byte);
    const ByteView body = ByteView(*encoded).subspan(header_len);
    EXPECT_TRUE(Bytes(body.begin(), body.end()) == (c.compression_byte ? zstd(payload, 2) : payload));
    const auto decoded = decode_itp(*encoded);
    ASSERT_TRUE(decoded.ok());
    EXPECT_TRUE(decoded->payload == payload);
  }
}

// In ITP, VFSD and FAT manifest the count checks come first, then compression, then the header.
TEST(FramedContainers, EncoderErrorsInOrder) {
  const CompressionInfo pretrained{1, 1, 0, 0};
  const WireError pretrained_error = WireError::invalid("pretrained map compression not implemented");
  const VFSDContainer vfsd{.path = "/a", .frames = {example_frame(), example_frame()}, .count = 2};
  const FATManifestContainer fat{.size = 1, .part_size = 1024, .parts_count = 3, .payload = ids(3)};
  const auto itp = [](std::uint16_t code, std::optional<CompressionInfo> setting) {
    return Container(ITPContainer{InterpreterType::standard(code), from_hex("01"), 0, setting});
  };
  const auto change = [](auto record, auto edit) {
    edit(record);
    return Container(record);
  };
  const struct {
    const char* name;
    Container record;
    WireError error;
  } cases[] = {
      {"ITP code 1", itp(1, std::nullopt), WireError::invalid("ITP standard code must be >= 2")},
      {"ITP code 0, compression first", itp(0, pretrained), pretrained_error},
      {"ITP level code 4", itp(20, CompressionInfo{1, 0, 0, 4}), WireError::invalid("unknown compression level code")},
      {"ITP plain level code 4", itp(20, CompressionInfo{0, 0, 0, 4}), WireError::too_large()},
      {"ITP version too large",
       change(std::get<ITPContainer>(itp(20, std::nullopt)),
              [](ITPContainer& r) { r.interpretatorVersion = kVarintOverflow; }),
       WireError::too_large()},
      {"VFSD two frames, count 3", change(vfsd, [](VFSDContainer& r) { r.count = 3; }),
       WireError::invalid("VFSD frame count mismatch")},
      {"VFSD count before compression",
       change(vfsd,
              [&](VFSDContainer& r) {
                r.count = 1;
                r.compression_info = pretrained;
              }),
       WireError::invalid("VFSD frame count mismatch")},
      {"VFSD compression before header",
       change(vfsd,
              [&](VFSDContainer& r) {
                r.epoch = kVarintOverflow;
                r.compression_info = pretrained;
              }),
       pretrained_error},
      {"VFSD epoch too large", change(vfsd, [](VFSDContainer& r) { r.epoch = kVarintOverflow; }),
       WireError::too_large()},
      {"FAT 96 bytes, 2 parts", change(fat, [](FATManifestContainer& r) { r.parts_count = 2; }),
       WireError::invalid("FAT manifest part count mismatch")},
      {"FAT 96 bytes, 2^59 + 3 parts",
       change(fat, [](FATManifestContainer& r) { r.parts_count = (std::uint64_t{1} << 59) + 3; }),
       WireError::invalid("FAT manifest part count mismatch")},
      {"FAT no parts",
       change(fat,
              [](FATManifestContainer& r) {
                r.parts_count = 0;
                r.payload.clear();
              }),
       WireError::invalid("parts_count must be > 0")},
      {"FAT 32 bytes, no parts",
       change(fat,
              [](FATManifestContainer& r) {
                r.parts_count = 0;
                r.payload = ids(1);
              }),
       WireError::invalid("FAT manifest part count mismatch")},
      {"FAT count before compression",
       change(fat,
              [&](FATManifestContainer& r) {
                r.parts_count = 4;
                r.compression_info = pretrained;
              }),
       WireError::invalid("FAT manifest part count mismatch")},
      {"FAT compression before header",
       change(fat,
              [&](FATManifestContainer& r) {
                r.created_ns = kVarintOverflow;
                r.compression_info = pretrained;
              }),
       pretrained_error},
      {"FAT created_ns too large", change(fat, [](FATManifestContainer& r) { r.created_ns = kVarintOverflow; }),
       WireError::too_large()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    expect_error(encode_container(c.record), c.error);
  }
}

TEST(VfsdContainer, WorkedHeaderWithItsFrame) {
  Bytes frame = from_hex("95 01 a1 66 c4 20");
  frame.insert(frame.end(), 32, 0x11);
  append(frame, from_hex("cd 07 d0 c0"));
  const Bytes bytes = concat(from_hex("00 03 00 00 02 2f 61 01 43 e8 47 d0 07"), frame);

  const auto decoded = decode_vfsd(bytes);
  ASSERT_TRUE(decoded.ok());
  VFSDContainer expected{"/a", {example_frame()}, 0, 1000, 2000, 7, 1, CompressionInfo{}};
  EXPECT_EQ(*decoded, expected);
  for (const auto setting : {std::optional<CompressionInfo>{}, std::optional<CompressionInfo>{CompressionInfo{}}}) {
    expected.compression_info = setting;
    const auto encoded = encode_vfsd(expected);
    ASSERT_TRUE(encoded.ok());
    EXPECT_EQ(to_hex(*encoded), to_hex(bytes));
  }
}

TEST(VfsdContainer, NoFramesIsTheHeaderAlone) {
  const VFSDContainer empty{.path = "/a", .created_ns = 1000, .updated_ns = 2000, .epoch = 7};
  const auto encoded = encode_vfsd(empty);
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(to_hex(*encoded), "00 03 00 00 02 2f 61 00 43 e8 47 d0 07");
  const auto decoded = decode_vfsd(*encoded);
  ASSERT_TRUE(decoded.ok());
  VFSDContainer expected = empty;
  expected.compression_info = CompressionInfo{};
  EXPECT_EQ(*decoded, expected);
}

TEST(VfsdContainer, BodyMustHoldCountValidFrames) {
  const auto frame = encode_container(samples()[2].record);
  ASSERT_TRUE(frame.ok());
  const ByteView one_frame = ByteView(*frame).subspan(13);
  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"count 2, one frame", concat(from_hex("00 03 00 00 02 2f 61 02 43 e8 47 d0 07"), one_frame),
       "VFSD payload frame count mismatch"},
      {"count 0, one frame", concat(from_hex("00 03 00 00 02 2f 61 00 43 e8 47 d0 07"), one_frame),
       "VFSD payload frame count mismatch"},
      {"reserved byte", from_hex("00 03 00 00 02 2f 61 01 43 e8 47 d0 07 c1"), "bad msgpack payload"},
      {"frame cut short", from_hex("00 03 00 00 02 2f 61 01 43 e8 47 d0 07 95 01"),
       "VFSD payload has trailing incomplete msgpack frame"},
      {"compressed frame of the wrong shape",
       concat(from_hex("00 03 00 80 02 2f 61 01 43 e8 47 d0 07"), zstd(from_hex("01"))),
       "VFSD frame must be a tuple/list of 5 items"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoded = decode_vfsd(c.bytes);
    ASSERT_FALSE(decoded.ok());
    EXPECT_EQ(decoded.error(), WireError::invalid(c.message));
  }
}

TEST(FatManifestContainer, WorkedHeadersWithTheirBodies) {
  const auto plain = decode_fat_manifest(concat(from_hex("00 04 00 00 4b b8 44 00 03 00 05"), ids(3)));
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ(*plain, (FATManifestContainer{3000, 1024, 3, ids(3), std::nullopt, 5, 0, CompressionInfo{}}));

  const Bytes header = from_hex(
      "00 04 02 81 80 01 11 70 80 01 00 00 02 10 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f c0 00 01 00 00 00 00 "
      "00");
  const auto compressed = decode_fat_manifest(concat(header, zstd(ids(2), 1)));
  ASSERT_TRUE(compressed.ok());
  std::array<std::uint8_t, 16> checksum;
  for (std::uint8_t i = 0; i < 16; ++i) checksum[i] = i;
  const FATManifestContainer expected{
      70000, 65536, 2, ids(2), checksum, std::uint64_t{1} << 40, 2, CompressionInfo{1, 0, 0, 1}};
  EXPECT_EQ(*compressed, expected);
  const auto encoded = encode_fat_manifest(expected);
  ASSERT_TRUE(encoded.ok());
  EXPECT_EQ(to_hex(ByteView(*encoded).first(header.size())), to_hex(header));
}

TEST(FatManifestContainer, NoPartsDecodesButDoesNotEncode) {
  const auto decoded = decode_fat_manifest(from_hex("00 04 00 00 4b b8 44 00 00 00 05"));
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded->parts_count, 0u);
  EXPECT_TRUE(decoded->payload.empty());
  expect_error(encode_fat_manifest(*decoded), WireError::invalid("parts_count must be > 0"));
}

TEST(FatManifestContainer, DecoderRefusesInOrder) {
  const Bytes compressed_header = from_hex(
      "00 04 02 81 80 01 11 70 80 01 00 00 02 10 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f c0 00 01 00 00 00 00 "
      "00");
  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"33 bytes", concat(from_hex("00 04 00 00 4b b8 44 00 01 00 05"), Bytes(33, 1)),
       "FAT manifest payload length must be divisible by 32"},
      {"33 bytes, 2^59 + 3 parts",
       concat(from_hex("00 04 00 00 4b b8 44 00 c8 00 00 00 00 00 00 03 00 05"), Bytes(33, 1)),
       "FAT manifest payload length must be divisible by 32"},
      {"64 bytes, 3 parts", concat(from_hex("00 04 00 00 4b b8 44 00 03 00 05"), ids(2)),
       "FAT manifest part count mismatch"},
      {"96 bytes, 2^59 + 3 parts", concat(from_hex("00 04 00 00 4b b8 44 00 c8 00 00 00 00 00 00 03 00 05"), ids(3)),
       "FAT manifest part count mismatch"},
      {"5-byte checksum", concat(from_hex("00 04 00 00 4b b8 44 00 03 05 01 02 03 04 05 05"), ids(3)),
       "checksum must be bytes(16)"},
      {"5-byte checksum before compression byte c0",
       concat(from_hex("00 04 00 c0 4b b8 44 00 03 05 01 02 03 04 05 05"), ids(3)), "checksum must be bytes(16)"},
      {"17-byte checksum", concat(from_hex("00 04 00 00 4b b8 44 00 00 11"), Bytes(18, 0)),
       "checksum must be bytes(16)"},
      {"compressed 33 bytes", concat(compressed_header, zstd(Bytes(33, 1))),
       "FAT manifest payload length must be divisible by 32"},
      {"compressed 96 bytes, 2 parts", concat(compressed_header, zstd(ids(3))), "FAT manifest part count mismatch"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoded = decode_fat_manifest(c.bytes);
    ASSERT_FALSE(decoded.ok());
    EXPECT_EQ(decoded.error(), WireError::invalid(c.message));
  }
}

}  // namespace
}  // namespace zq
