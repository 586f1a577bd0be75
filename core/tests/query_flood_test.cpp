// Hash flooding of the query index: keys built so that they all collide under the standard
// library's fixed-seed string hash spread out under the keyed hash, and a query made of them
// parses in about the time of one with ordinary keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/keyed_hash.h"
#include "url/url.h"

namespace zq {
namespace {

// libstdc++ hashes a string 8 bytes at a time: h = (h ^ mix(block)) * kMul with
// mix(k) = shift_mix(k * kMul) * kMul, from a fixed seed. Two blocks whose mixes differ only in
// the top bit leave states that differ only in the top bit (kMul is odd), and a second pair of
// blocks with the same top-bit difference cancels it: two 16-byte chunks that collide from any
// state. n chunk choices in a row give 2^n keys of one hash.
constexpr std::uint64_t kMul = 0xc6a4a7935bd1e995ULL;
constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;

constexpr std::uint64_t shift_mix(std::uint64_t v) { return v ^ (v >> 47); }  // its own inverse

constexpr std::uint64_t inverse(std::uint64_t odd) {
  std::uint64_t x = odd;  // Newton's iteration doubles the correct low bits each step
  for (int i = 0; i < 5; ++i) x *= 2 - odd * x;
  return x;
}
constexpr std::uint64_t kMulInverse = inverse(kMul);
static_assert(kMul * kMulInverse == 1);

constexpr std::uint64_t mix(std::uint64_t k) { return shift_mix(k * kMul) * kMul; }
constexpr std::uint64_t unmix(std::uint64_t d) { return shift_mix(d * kMulInverse) * kMulInverse; }

// A block usable inside a query key: none of the bytes that end a key or the query.
bool usable(std::uint64_t block) {
  for (int i = 0; i < 8; ++i) {
    const char c = static_cast<char>(block >> (8 * i));
    if (c == '&' || c == '=' || c == '#') return false;
  }
  return true;
}

std::string block_text(std::uint64_t block) {
  std::string text(8, '\0');
  std::memcpy(text.data(), &block, 8);  // little-endian, as the hash loads it
  return text;
}

// 2^bits distinct keys of 16 * bits bytes with one standard-library hash.
std::vector<std::string> colliding_keys(int bits) {
  std::uint64_t seed = 0x243F6A8885A308D3ULL;
  const auto next = [&seed] { return seed = seed * 6364136223846793005ULL + 1442695040888963407ULL; };
  std::vector<std::string> chunks[2];
  for (int i = 0; i < bits; ++i) {
    std::uint64_t a1, a2, b1, b2;
    do {
      a1 = next();
      a2 = next();
      b1 = unmix(mix(a1) ^ kTopBit);
      b2 = unmix(mix(a2) ^ kTopBit);
    } while (!usable(a1) || !usable(a2) || !usable(b1) || !usable(b2));
    chunks[0].push_back(block_text(a1) + block_text(a2));
    chunks[1].push_back(block_text(b1) + block_text(b2));
  }
  std::vector<std::string> keys;
  for (std::uint32_t choice = 0; choice < (std::uint32_t{1} << bits); ++choice) {
    std::string key;
    for (int i = 0; i < bits; ++i) key += chunks[(choice >> i) & 1][static_cast<std::size_t>(i)];
    keys.push_back(std::move(key));
  }
  return keys;
}

// Ordinary keys of the same length and count.
std::vector<std::string> ordinary_keys(int bits) {
  std::vector<std::string> keys;
  for (std::uint32_t i = 0; i < (std::uint32_t{1} << bits); ++i) {
    std::string key = "key" + std::to_string(i);
    key.resize(static_cast<std::size_t>(16 * bits), '_');
    keys.push_back(std::move(key));
  }
  return keys;
}

constexpr int kBits = 13;  // 8192 keys

TEST(QueryFloodTest, CraftedKeysCollideUnderTheStandardHashOnly) {
  const std::vector<std::string> keys = colliding_keys(kBits);
  const std::size_t standard = std::hash<std::string_view>{}(keys.front());
  const bool libstdcxx_hash = std::all_of(keys.begin(), keys.end(), [&](const std::string& key) {
    return std::hash<std::string_view>{}(key) == standard;
  });
  if (!libstdcxx_hash) GTEST_SKIP() << "the standard library hashes strings differently";

  std::unordered_set<std::string_view, KeyedTextHash> keyed(keys.begin(), keys.end());
  ASSERT_EQ(keyed.size(), keys.size());
  std::size_t largest_bucket = 0;
  for (std::size_t b = 0; b < keyed.bucket_count(); ++b) largest_bucket = std::max(largest_bucket, keyed.bucket_size(b));
  EXPECT_LE(largest_bucket, 16u);
}

std::string query_of(const std::vector<std::string>& keys) {
  std::string text = "zq://host/path?";
  for (const std::string& key : keys) text.append(key).append("=1&");
  return text;
}

double fastest_parse_seconds(const std::string& text, std::size_t expected_params) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    const auto start = std::chrono::steady_clock::now();
    const auto url = parse_url(text);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(url.ok());
    if (url.ok()) {
      EXPECT_EQ(url->params.size(), expected_params);
    }
    best = std::min(best, took.count());
  }
  return best;
}

// With the standard hash the crafted query takes about a hundred times as long as the ordinary
// one (every insertion walks one bucket holding every key so far).
TEST(QueryFloodTest, CraftedKeysParseAboutAsFastAsOrdinaryKeys) {
  const std::vector<std::string> crafted = colliding_keys(kBits);
  const std::vector<std::string> ordinary = ordinary_keys(kBits);
  const double crafted_seconds = fastest_parse_seconds(query_of(crafted), crafted.size());
  const double ordinary_seconds = fastest_parse_seconds(query_of(ordinary), ordinary.size());
  EXPECT_LT(crafted_seconds, 5 * ordinary_seconds + 0.005)
      << "crafted " << crafted_seconds << " s, ordinary " << ordinary_seconds << " s";
}

}  // namespace
}  // namespace zq
