// Bytes: its constructors and inserts against a plain model of the same bytes, inserts of its
// own bytes, growth, and large blocks passed from a released buffer to the next allocation.
#include "common/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace zq {
namespace {

using Model = std::vector<std::uint8_t>;

Model model_of(const Bytes& b) { return Model(b.begin(), b.end()); }

TEST(Bytes, ConstructorsHoldTheirBytes) {
  const std::uint8_t raw[] = {1, 2, 3, 250};
  const std::list<int> list = {7, 8, 9};
  std::istringstream stream(std::string("\x01\x02\xff", 3));
  const struct {
    const char* name;
    Bytes bytes;
    Model expected;
  } cases[] = {
      {"empty", Bytes(), {}},
      {"fill", Bytes(3, 0x5a), {0x5a, 0x5a, 0x5a}},
      {"pointer and length", Bytes(raw, 4), {1, 2, 3, 250}},
      {"initializer list", Bytes{4, 5}, {4, 5}},
      {"contiguous range", Bytes(raw + 1, raw + 3), {2, 3}},
      {"forward range of int", Bytes(list.begin(), list.end()), {7, 8, 9}},
      {"single-pass range",
       Bytes(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()),
       {1, 2, 0xff}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(model_of(c.bytes), c.expected);
    EXPECT_EQ(c.bytes.size(), c.expected.size());
    EXPECT_GE(c.bytes.capacity(), c.bytes.size());
  }
}

TEST(Bytes, InsertsMatchAVector) {
  const Bytes base{10, 11, 12, 13};
  const std::uint8_t extra[] = {1, 2, 3};
  const struct {
    const char* name;
    std::size_t at;
    int form;  // 0: range, 1: fill of two, 2: one byte, 3: append()
  } cases[] = {
      {"range at front", 0, 0}, {"range in the middle", 2, 0}, {"range at end", 4, 0},
      {"fill in the middle", 1, 1}, {"byte at front", 0, 2}, {"append", 4, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = base;
    Model m = model_of(base);
    switch (c.form) {
      case 0:
        b.insert(b.begin() + c.at, extra, extra + 3);
        m.insert(m.begin() + c.at, extra, extra + 3);
        break;
      case 1:
        b.insert(b.begin() + c.at, 2, 0xee);
        m.insert(m.begin() + c.at, 2, 0xee);
        break;
      case 2:
        b.insert(b.begin() + c.at, 0x77);
        m.insert(m.begin() + c.at, 0x77);
        break;
      default:
        b.append(extra, 3);
        m.insert(m.end(), extra, extra + 3);
        break;
    }
    EXPECT_EQ(model_of(b), m);
  }
}

// The source of an insert may be the buffer itself, which the insert moves or reallocates.
TEST(Bytes, InsertOfItsOwnBytes) {
  for (std::size_t spare : {std::size_t{0}, std::size_t{64}}) {
    SCOPED_TRACE(spare);
    Bytes b{1, 2, 3, 4, 5};
    b.reserve(b.size() + spare);
    Model m = model_of(b);
    b.insert(b.begin() + 1, b.begin() + 2, b.end());
    const Model tail(m.begin() + 2, m.end());
    m.insert(m.begin() + 1, tail.begin(), tail.end());
    EXPECT_EQ(model_of(b), m);
    append(b, ByteView(b.data(), 3));
    m.insert(m.end(), {1, 3, 4});
    EXPECT_EQ(model_of(b), m);
  }
}

TEST(Bytes, GrowthKeepsContentsAndCompares) {
  Bytes b;
  Model m;
  for (int i = 0; i < 5000; ++i) {
    b.push_back(static_cast<std::uint8_t>(i * 7));
    m.push_back(static_cast<std::uint8_t>(i * 7));
  }
  EXPECT_EQ(model_of(b), m);
  b.resize(10000, 0x42);
  EXPECT_EQ(b[9999], 0x42);
  EXPECT_EQ(b[4999], static_cast<std::uint8_t>(4999 * 7));
  b.resize(3);
  EXPECT_EQ(b, (Bytes{0, 7, 14}));
  EXPECT_LT(Bytes({1, 2}), Bytes({1, 2, 0}));
  EXPECT_LT(Bytes({1, 2, 9}), Bytes({1, 3}));
  EXPECT_NE(Bytes({1}), Bytes());
}

// A released large block serves the next large allocation that fits it; what it held before
// must not show through, and the buffer it came from must not share it.
TEST(Bytes, LargeBlocksPassBetweenBuffers) {
  constexpr std::size_t kLarge = detail::kReusedBlockMin + 100;
  Bytes kept(kLarge, 0x11);
  Bytes copy = kept;
  {
    Bytes released(kLarge, 0x22);
  }
  Bytes next(kLarge, 0x33);
  Bytes grown(10, 0x44);
  grown.resize(kLarge, 0x55);
  for (const auto& [name, bytes, first, last] :
       {std::tuple{"kept", &kept, 0x11, 0x11}, std::tuple{"copy", &copy, 0x11, 0x11},
        std::tuple{"next", &next, 0x33, 0x33}, std::tuple{"grown", &grown, 0x44, 0x55}}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(bytes->size(), kLarge);
    EXPECT_GE(bytes->capacity(), kLarge);
    EXPECT_EQ((*bytes)[0], first);
    EXPECT_EQ((*bytes)[7], first);
    EXPECT_EQ((*bytes)[kLarge - 1], last);
  }
  // A block released on one thread may serve another.
  std::thread([&] {
    Bytes moved = std::move(next);
  }).join();
  Bytes after(kLarge);
  std::fill(after.begin(), after.end(), 0x66);
  EXPECT_EQ(after[0], 0x66);
  EXPECT_EQ(copy, kept);
}

// The word copies: every length up to past the short limit copies exactly its bytes and leaves
// the guard bytes on either side alone; a short copy from later in the same buffer is whole.
TEST(Bytes, WordCopiesOfEveryLength) {
  std::vector<std::uint8_t> source(64);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i + 1);
  for (std::size_t n = 0; n <= 40; ++n) {
    std::vector<std::uint8_t> target(n + 16, 0xEE);
    copy_bytes(target.data() + 8, source.data(), n);
    Model expected(n + 16, 0xEE);
    std::copy(source.begin(), source.begin() + n, expected.begin() + 8);
    EXPECT_EQ(target, expected) << "copy_bytes of " << n;
  }
  for (std::size_t n = 0; n <= 24; ++n) {
    for (std::size_t shift = 0; shift <= 24; ++shift) {
      Model buffer(source.begin(), source.begin() + 56);
      copy_short_bytes(buffer.data() + 4, buffer.data() + 4 + shift, n);
      Model expected(source.begin(), source.begin() + 56);
      std::copy(source.begin() + 4 + shift, source.begin() + 4 + shift + n, expected.begin() + 4);
      EXPECT_EQ(buffer, expected) << "copy_short_bytes of " << n << " from " << shift << " bytes on";
    }
  }
}

}  // namespace
}  // namespace zq
