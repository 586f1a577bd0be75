// VFSD frame bodies: the exact bytes of each item form at its width boundaries, round trips, and
// every refusal of the reader in its order.
#include "container/vfsd_frames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hex_bytes.h"

namespace zq {
namespace {

using test::from_hex;
using test::to_hex;

std::string repeat(std::string_view hex_pair, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += hex_pair;
  return out;
}

// abs_id 32 bytes of 11, as the example frame has it.
const std::string kAbsId = "c4 20 " + repeat("11", 32);

// (type 1, name "f", abs_id 11 x 32, updated_ns 2000, no payload).
VFSDFrame example_frame() {
  VFSDFrame frame{.type = 1, .name = std::string(1, 'f'), .updated_ns = 2000};
  frame.abs_id.fill(0x11);
  return frame;
}
const std::string kExampleHex = "95 01 a1 66 " + kAbsId + " cd 07 d0 c0";

// A frame written item by item in hex, so that any form of any item can be tried.
std::string frame_hex(std::string_view type, std::string_view name, std::string_view abs_id,
                      std::string_view updated_ns, std::string_view payload) {
  return "95 " + std::string(type) + " " + std::string(name) + " " + std::string(abs_id) + " " +
         std::string(updated_ns) + " " + std::string(payload);
}

TEST(VfsdFrames, ExampleFrameIsExactly42Bytes) {
  const auto body = encode_vfsd_frames({example_frame()});
  ASSERT_TRUE(body.ok());
  EXPECT_EQ(body->size(), 42u);
  EXPECT_EQ(to_hex(*body), to_hex(from_hex(kExampleHex)));
  const auto frames = decode_vfsd_frames(*body, 1);
  ASSERT_TRUE(frames.ok());
  EXPECT_EQ(*frames, std::vector<VFSDFrame>{example_frame()});
}

TEST(VfsdFrames, EmptyListIsEmptyBody) {
  const auto body = encode_vfsd_frames({});
  ASSERT_TRUE(body.ok());
  EXPECT_TRUE(body->empty());
  const auto none = decode_vfsd_frames({}, 0);
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(none->empty());
  const auto one = decode_vfsd_frames({}, 1);
  ASSERT_FALSE(one.ok());
  EXPECT_EQ(one.error(), WireError::invalid("VFSD payload frame count mismatch"));
}

// Each case changes one item of the example frame; the body must be the example with that item
// in the form given.
TEST(VfsdFrames, ItemsTakeTheirSmallestFormAndReadBack) {
  struct Case {
    std::string name;
    VFSDFrame frame;
    std::string hex;
  };
  std::vector<Case> cases;
  const struct {
    std::uint64_t value;
    const char* hex;
  } uints[] = {{0, "00"},
               {127, "7f"},
               {128, "cc 80"},
               {255, "cc ff"},
               {256, "cd 01 00"},
               {65535, "cd ff ff"},
               {65536, "ce 00 01 00 00"},
               {0xffffffff, "ce ff ff ff ff"},
               {0x100000000, "cf 00 00 00 01 00 00 00 00"},
               {(std::uint64_t{1} << 62) - 1, "cf 3f ff ff ff ff ff ff ff"}};
  for (const auto& u : uints) {
    VFSDFrame frame = example_frame();
    frame.updated_ns = u.value;
    cases.push_back({"updated_ns " + std::to_string(u.value), frame, frame_hex("01", "a1 66", kAbsId, u.hex, "c0")});
    if (u.value > 0xffff) continue;
    frame = example_frame();
    frame.type = static_cast<std::uint16_t>(u.value);
    cases.push_back({"type " + std::to_string(u.value), frame, frame_hex(u.hex, "a1 66", kAbsId, "cd 07 d0", "c0")});
  }
  const struct {
    std::size_t length;
    const char* str_header;
    const char* bin_header;
  } lengths[] = {{0, "a0", "c4 00"},
                 {31, "bf", "c4 1f"},
                 {32, "d9 20", "c4 20"},
                 {255, "d9 ff", "c4 ff"},
                 {256, "da 01 00", "c5 01 00"},
                 {65535, "da ff ff", "c5 ff ff"},
                 {65536, "db 00 01 00 00", "c6 00 01 00 00"}};
  for (const auto& l : lengths) {
    VFSDFrame frame = example_frame();
    frame.name.assign(l.length, 'n');
    cases.push_back({"name of " + std::to_string(l.length), frame,
                     frame_hex("01", l.str_header + (" " + repeat("6e", l.length)), kAbsId, "cd 07 d0", "c0")});
    frame = example_frame();
    frame.payload = Bytes(l.length, 0x70);
    cases.push_back({"payload of " + std::to_string(l.length), frame,
                     frame_hex("01", "a1 66", kAbsId, "cd 07 d0", l.bin_header + (" " + repeat("70", l.length)))});
  }
  VFSDFrame abc = example_frame();
  abc.payload = from_hex("61 62 63");
  cases.push_back({"payload abc", abc, frame_hex("01", "a1 66", kAbsId, "cd 07 d0", "c4 03 61 62 63")});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto body = encode_vfsd_frames({c.frame});
    ASSERT_TRUE(body.ok());
    EXPECT_TRUE(*body == from_hex(c.hex));
    const auto frames = decode_vfsd_frames(*body, 1);
    ASSERT_TRUE(frames.ok());
    EXPECT_EQ(*frames, std::vector<VFSDFrame>{c.frame});
  }
}

TEST(VfsdFrames, UpdatedNsIsWrittenUncheckedAndRefusedWhenRead) {
  const struct {
    std::uint64_t updated_ns;
    const char* hex;
    const char* message;
  } cases[] = {
      {std::uint64_t{1} << 62, "cf 40 00 00 00 00 00 00 00", "value exceeds 2^62-1"},
      {std::uint64_t{1} << 63, "cf 80 00 00 00 00 00 00 00", "frame updated_ns must be int"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    VFSDFrame frame = example_frame();
    frame.updated_ns = c.updated_ns;
    const auto body = encode_vfsd_frames({frame});
    ASSERT_TRUE(body.ok());
    EXPECT_EQ(to_hex(*body), to_hex(from_hex(frame_hex("01", "a1 66", kAbsId, c.hex, "c0"))));
    const auto frames = decode_vfsd_frames(*body, 1);
    ASSERT_FALSE(frames.ok());
    EXPECT_EQ(frames.error(), WireError::invalid(c.message));
  }
}

TEST(VfsdFrames, ReaderTakesAnyFormOfAnItem) {
  const struct {
    const char* name;
    std::string hex;
    std::uint16_t type;
    std::uint64_t updated_ns;
  } cases[] = {
      {"type as int 16", frame_hex("d1 00 05", "a1 66", kAbsId, "cd 07 d0", "c0"), 5, 2000},
      {"type 65535", frame_hex("cd ff ff", "a1 66", kAbsId, "cd 07 d0", "c0"), 65535, 2000},
      {"updated_ns as uint 64", frame_hex("01", "a1 66", kAbsId, "cf 00 00 00 00 00 00 07 d0", "c0"), 1, 2000},
      {"abs_id as bin 16", frame_hex("01", "a1 66", "c5 00 20 " + repeat("11", 32), "cd 07 d0", "c0"), 1, 2000},
      {"name as str 8", frame_hex("01", "d9 01 66", kAbsId, "cd 07 d0", "c0"), 1, 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto frames = decode_vfsd_frames(from_hex(c.hex), 1);
    ASSERT_TRUE(frames.ok());
    VFSDFrame expected = example_frame();
    expected.type = c.type;
    expected.updated_ns = c.updated_ns;
    EXPECT_EQ(*frames, std::vector<VFSDFrame>{expected});
  }
}

TEST(VfsdFrames, ReaderRefusesInOrder) {
  const std::string example = kExampleHex;
  const std::string valid_second = frame_hex("02", "a1 67", kAbsId, "00", "c4 00");
  const struct {
    const char* name;
    std::string hex;
    std::uint64_t expected_count;
    const char* message;
  } cases[] = {
      {"last byte missing", example.substr(0, example.size() - 3), 1,
       "VFSD payload has trailing incomplete msgpack frame"},
      {"array of 5 announced, 2 present", "95 01 a1 66", 1, "VFSD payload has trailing incomplete msgpack frame"},
      {"trailing integer", example + " 01", 2, "VFSD frame must be a tuple/list of 5 items"},
      {"array of 4", "94 01 a1 66 " + kAbsId + " cd 07 d0", 1, "VFSD frame must be a tuple/list of 5 items"},
      {"array of 6", "96 01 a1 66 " + kAbsId + " cd 07 d0 c0 c0", 1, "VFSD frame must be a tuple/list of 5 items"},
      {"map", "81 01 02", 1, "VFSD frame must be a tuple/list of 5 items"},
      {"reserved byte", "c1", 1, "bad msgpack payload"},
      {"name not UTF-8", frame_hex("01", "a1 ff", kAbsId, "00", "c0"), 1, "bad msgpack payload"},
      {"ext with negative type", frame_hex("01", "a1 66", kAbsId, "00", "d4 fb 00"), 1, "bad msgpack payload"},
      {"type 65536", frame_hex("ce 00 01 00 00", "a1 66", kAbsId, "00", "c0"), 1, "frame type range"},
      {"type -1", frame_hex("ff", "a1 66", kAbsId, "00", "c0"), 1, "frame type range"},
      {"type 1.0", frame_hex("cb 3f f0 00 00 00 00 00 00", "a1 66", kAbsId, "00", "c0"), 1, "frame type must be int"},
      {"type true", frame_hex("c3", "a1 66", kAbsId, "00", "c0"), 1, "frame type must be int"},
      {"type 2^63", frame_hex("cf 80 00 00 00 00 00 00 00", "a1 66", kAbsId, "00", "c0"), 1, "frame type must be int"},
      {"name as bin", frame_hex("01", "c4 01 66", kAbsId, "00", "c0"), 1, "frame name must be str"},
      {"abs_id of 31", frame_hex("01", "a1 66", "c4 1f " + repeat("11", 31), "00", "c0"), 1,
       "frame abs_id must be bytes(32)"},
      {"abs_id of 33", frame_hex("01", "a1 66", "c4 21 " + repeat("11", 33), "00", "c0"), 1,
       "frame abs_id must be bytes(32)"},
      {"abs_id as str of 32", frame_hex("01", "a1 66", "d9 20 " + repeat("11", 32), "00", "c0"), 1,
       "frame abs_id must be bytes(32)"},
      {"abs_id as ext of 32", frame_hex("01", "a1 66", "c7 20 05 " + repeat("11", 32), "00", "c0"), 1,
       "frame abs_id must be bytes(32)"},
      {"updated_ns -5", frame_hex("01", "a1 66", kAbsId, "fb", "c0"), 1, "value must be >= 0"},
      {"updated_ns false", frame_hex("01", "a1 66", kAbsId, "c2", "c0"), 1, "frame updated_ns must be int"},
      {"payload true", frame_hex("01", "a1 66", kAbsId, "00", "c3"), 1, "frame payload must be bytes or None"},
      {"payload str", frame_hex("01", "a1 66", kAbsId, "00", "a1 61"), 1, "frame payload must be bytes or None"},
      {"two frames, count 1", example + " " + valid_second, 1, "VFSD payload frame count mismatch"},
      {"good frame then bad, count 2", example + " 94 01 a1 66 " + kAbsId + " 00", 2,
       "VFSD frame must be a tuple/list of 5 items"},
      {"bad frame and wrong count", frame_hex("ff", "a1 66", kAbsId, "00", "c0"), 7, "frame type range"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto frames = decode_vfsd_frames(from_hex(c.hex), c.expected_count);
    ASSERT_FALSE(frames.ok());
    EXPECT_EQ(frames.error(), WireError::invalid(c.message));
  }
}

TEST(VfsdFrames, SeveralFramesRoundTripInOrder) {
  VFSDFrame second = example_frame();
  second.type = 65535;
  second.name = "ünïcode/päth";
  second.abs_id.fill(0xab);
  second.payload = Bytes{};
  VFSDFrame third = example_frame();
  third.name.clear();
  third.payload = from_hex("00 01 02");
  const std::vector<VFSDFrame> frames = {example_frame(), second, third};
  const auto body = encode_vfsd_frames(frames);
  ASSERT_TRUE(body.ok());
  const auto decoded = decode_vfsd_frames(*body, 3);
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(*decoded, frames);
}

}  // namespace
}  // namespace zq
