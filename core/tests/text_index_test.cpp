// The keyed hash and the text index built on it: keys change the hash, every byte and the
// length count, numbers are handed out in insertion order across growth, and an index keeps its
// own keys whatever thread built or reads it.
#include "common/text_index.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "common/keyed_hash.h"

namespace zq {
namespace {

TEST(KeyedHashTest, KeysChangeTheHash) {
  const HashKeys a = random_hash_keys();
  const HashKeys b = random_hash_keys();
  EXPECT_FALSE(a.k0 == b.k0 && a.k1 == b.k1);
  int differ = 0;
  for (const char* text : {"", "a", "example.com", "a much longer text than eight bytes"}) {
    EXPECT_EQ(keyed_hash(a, text), keyed_hash(a, text));
    differ += keyed_hash(a, text) != keyed_hash(b, text);
  }
  EXPECT_EQ(differ, 4);
  EXPECT_NE(keyed_hash(a, std::string_view("ab", 2)), keyed_hash(a, std::string_view("ab\0", 3)));
  EXPECT_NE(keyed_hash(a, "12345678x"), keyed_hash(a, "12345678y"));
  EXPECT_NE(keyed_hash(a, "12345678"), keyed_hash(a, "12345679"));
}

TEST(TextIndexTest, NumbersInInsertionOrderAcrossGrowth) {
  TextIndex index;
  EXPECT_EQ(index.find(""), TextIndex::kNotFound);
  for (int i = 0; i < 1000; ++i) {
    const auto [number, inserted] = index.insert("name" + std::to_string(i));
    EXPECT_TRUE(inserted);
    EXPECT_EQ(number, static_cast<std::uint32_t>(i));
  }
  EXPECT_EQ(index.insert("name500"), (std::pair<std::uint32_t, bool>{500, false}));
  EXPECT_EQ(index.insert(""), (std::pair<std::uint32_t, bool>{1000, true}));
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(index.find("name" + std::to_string(i)), static_cast<std::uint32_t>(i));
  EXPECT_EQ(index.find(""), 1000u);
  EXPECT_EQ(index.find("name1000"), TextIndex::kNotFound);
  EXPECT_EQ(index.find(std::string_view("name1\0", 6)), TextIndex::kNotFound);
  EXPECT_EQ(index.text(7), "name7");
  EXPECT_EQ(index.size(), 1001u);
}

// An index built on a thread that has ended still finds its texts, here and on another thread.
TEST(TextIndexTest, OutlivesTheThreadThatBuiltIt) {
  std::optional<TextIndex> index;
  std::thread([&] {
    index.emplace();
    for (const char* name : {"alpha.zq", "beta.zq", "gamma"}) index->insert(name);
  }).join();
  EXPECT_EQ(index->find("beta.zq"), 1u);
  std::uint32_t found_elsewhere = TextIndex::kNotFound;
  std::thread([&] { found_elsewhere = index->find("gamma"); }).join();
  EXPECT_EQ(found_elsewhere, 2u);
}

}  // namespace
}  // namespace zq
