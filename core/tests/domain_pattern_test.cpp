// Domain patterns: compiled tokens, the edge cases of matching, the differential check against
// the table reference over random patterns and domains, bounded work on long patterns, the
// list and dict with their index, the cache and the domain tests.
#include "domain/domain_pattern.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "domain/domain_matchers.h"
#include "domain_pattern_reference.h"

namespace zq {
namespace {

using Tokens = std::vector<DomainToken>;
constexpr DomainToken S = DomainToken::Star;
constexpr DomainToken D = DomainToken::DoubleStar;
constexpr DomainToken lit(char c) { return static_cast<DomainToken>(static_cast<unsigned char>(c)); }

bool matches(std::string_view pattern, std::string_view domain) {
  return match_domain_pattern(compile_domain_pattern(pattern), domain);
}

TEST(DomainPatternTest, CompiledTokens) {
  const struct {
    const char* text;
    Tokens tokens;
  } cases[] = {
      {"", {}},
      {"*", {S}},
      {"**", {D}},
      {"***", {D, S}},
      {"****", {D, D}},
      {"*****", {D, D, S}},
      {"a*b", {lit('a'), S, lit('b')}},
      {"**.x", {D, lit('.'), lit('x')}},
      {"?[\\", {lit('?'), lit('['), lit('\\')}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(compile_domain_pattern(c.text).tokens(), c.tokens);
  }
  // A multi-byte character is its bytes, each a literal.
  EXPECT_EQ(compile_domain_pattern("é*").tokens(), (Tokens{lit('\xC3'), lit('\xA9'), S}));
  const auto p = compile_domain_pattern("ab*c**d.e");
  EXPECT_EQ(p.head(), "ab");
  EXPECT_EQ(p.tail(), "d.e");
  EXPECT_EQ(compile_domain_pattern("plain").head(), "plain");
  EXPECT_EQ(compile_domain_pattern("plain").tail(), "");
}

TEST(DomainPatternTest, EdgeCases) {
  const std::string long_domain(8193, 'a');
  const std::string longest_domain(8192, 'a');
  const struct {
    std::string pattern;
    std::vector<std::string> yes;
    std::vector<std::string> no;
  } cases[] = {
      {"*.a.b", {"x.a.b", "x-y_z.a.b"}, {"x.y.a.b", ".a.b", "a.b", "x~y.a.b"}},
      {"**.a.b", {"x.y.a.b", ".a.b"}, {"a.b"}},
      {"**a.b", {"a.b", "x.a.b", "xa.b"}, {}},
      {"x*", {"xy", "xé"}, {"x", "x.y", "x~y"}},
      {"**", {"", "anything.~at*all", longest_domain}, {long_domain}},
      {"*", {"é", "abc"}, {""}},
      {"***", {"x.y.z", "é"}, {"x.", ""}},
      {"*.A.b", {}, {"x.a.b"}},
      {"", {""}, {"a"}},
      {"a*b*c", {"axbyc", "abbbc"}, {"abc", "ax.byc"}},
      {"**.*", {"a.b", "a.b.c"}, {"a.", "ab"}},
  };
  for (const auto& c : cases) {
    for (const auto& d : c.yes) EXPECT_TRUE(matches(c.pattern, d)) << c.pattern << " / " << d.substr(0, 40);
    for (const auto& d : c.no) EXPECT_FALSE(matches(c.pattern, d)) << c.pattern << " / " << d.substr(0, 40);
  }
}

// Random texts over pieces that stress the matcher: separators, stars, letters and characters
// of two, three and four bytes.
std::string random_text(std::mt19937& rng, std::size_t max_pieces, bool stars) {
  static const std::vector<std::string> pieces = {"a", "b", ".", "~", "é", "日", "😀", "*", "**"};
  const std::size_t usable = stars ? pieces.size() : pieces.size() - 2;
  std::string out;
  const std::size_t n = std::uniform_int_distribution<std::size_t>(0, max_pieces)(rng);
  for (std::size_t i = 0; i < n; ++i) out += pieces[std::uniform_int_distribution<std::size_t>(0, usable - 1)(rng)];
  return out;
}

TEST(DomainPatternTest, AgreesWithTheTableReference) {
  std::mt19937 rng(1234);
  std::size_t agreed_true = 0;
  for (int round = 0; round < 200000; ++round) {
    const std::string pattern = random_text(rng, 8, true);
    // Domains built from the pattern's pieces match more often than unrelated ones.
    std::string domain = random_text(rng, 10, false);
    if (round % 2 == 0) {
      domain.clear();
      for (char c : pattern) {
        if (c == '*') {
          domain += random_text(rng, 2, false);
        } else {
          domain += c;
        }
      }
    }
    const bool expected = reference::match(pattern, domain);
    ASSERT_EQ(matches(pattern, domain), expected) << "pattern " << pattern << " domain " << domain;
    agreed_true += expected;
  }
  EXPECT_GT(agreed_true, 20000u) << "the random cases must exercise matches too";
}

TEST(DomainPatternTest, LongPatternsAreBounded) {
  const std::string domain(8192, 'a');
  std::string many;  // 3333 literals and 3333 double stars: 6666 tokens needing 3333 bytes
  for (int i = 0; i < 3333; ++i) many += "a**";
  std::string too_long(8193, 'a');
  const struct {
    std::string pattern;
    bool expected;
  } cases[] = {
      {many, true},
      {many + "b", false},
      {"**" + std::string(8191, 'a') + "b", false},
      {too_long, false},
      {std::string(20000, '*'), true},
      {std::string(1000000, '*') + "a", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern.size());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(matches(c.pattern, domain), c.expected);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
}

TEST(DomainPatternTest, InvalidUtf8IsMatchedByteForByte) {
  const std::string bad_lead("\xC3", 1);
  const std::string truncated("a\xE6\x97", 3);
  EXPECT_TRUE(matches("*", bad_lead));
  EXPECT_TRUE(matches("a*", truncated));
  EXPECT_TRUE(matches(truncated, truncated));
  EXPECT_FALSE(matches("a\xE6\x97\xA5", truncated));
  EXPECT_TRUE(matches("**\x97", truncated));
}

TEST(DomainMatcherListTest, ExactNamesAndWildcards) {
  const std::vector<std::string> patterns = {"a.b", "*.c.d"};
  const auto list = build_domain_matcher_list(patterns);
  EXPECT_TRUE(match_any(list, "a.b"));
  EXPECT_TRUE(match_any(list, "x.c.d"));
  EXPECT_FALSE(match_any(list, "c.d"));

  const std::string long_name(8193, 'x');
  const std::vector<std::string> with_long = {long_name, "**"};
  const auto long_list = build_domain_matcher_list(with_long);
  EXPECT_TRUE(match_any(long_list, long_name));
  EXPECT_FALSE(match_any(long_list, long_name + "y"));
  EXPECT_FALSE(match_any(build_domain_matcher_list({}), ""));
  const std::vector<std::string> empty_name = {""};
  EXPECT_TRUE(match_any(build_domain_matcher_list(empty_name), ""));
}

TEST(DomainMatcherDictTest, ExactFirstThenLowestWildcard) {
  const std::vector<DomainPatternValue> pairs = {{"a.b", 1}, {"*.b", 2}, {"**", 3}, {"a.b", 4}, {"x.*", 5}};
  const auto dict = build_domain_matcher_dict(pairs);
  EXPECT_EQ(match_first(dict, "a.b"), 4);
  EXPECT_EQ(match_first(dict, "c.b"), 2);
  EXPECT_EQ(match_first(dict, "x.y.z"), 3);
  EXPECT_EQ(match_first(dict, "x.q"), 3);
  EXPECT_EQ(match_first(build_domain_matcher_dict({}), "a"), std::nullopt);
}

// The index must give what trying every pattern in order gives.
TEST(DomainMatcherIndexTest, AgreesWithTryingEveryPattern) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::string> patterns;
    std::vector<std::pair<std::string, std::int64_t>> pairs;
    std::vector<DomainPatternValue> views;
    const int n = std::uniform_int_distribution<int>(0, 10)(rng);
    for (int i = 0; i < n; ++i) {
      patterns.push_back(random_text(rng, 6, true));
      pairs.emplace_back(patterns.back(), i);
    }
    for (const auto& [p, v] : pairs) views.push_back({p, v});
    const auto list = build_domain_matcher_list(patterns);
    const auto dict = build_domain_matcher_dict(views);
    for (int k = 0; k < 8; ++k) {
      const std::string domain = k < 2 && n > 0 ? patterns[static_cast<std::size_t>(k % n)] : random_text(rng, 6, false);
      ASSERT_EQ(match_any(list, domain), reference::match_any(patterns, domain, reference::code_points)) << domain;
      ASSERT_EQ(match_first(dict, domain), reference::match_first(pairs, domain, reference::code_points)) << domain;
    }
  }
}

TEST(DomainPatternCacheTest, CompilesEachTextOnce) {
  DomainPatternCache cache;
  const CompiledDomainPattern& first = compile_cached(cache, "*.a.b");
  EXPECT_EQ(&compile_cached(cache, std::string("*.a.b")), &first);
  EXPECT_EQ(cache.size(), 1u);
  compile_cached(cache, "*.a.b ");
  compile_cached(cache, "");
  EXPECT_EQ(cache.size(), 3u);
  EXPECT_TRUE(match_domain_pattern(first, "x.a.b"));
}

TEST(DomainNamesTest, CoreAndSysSuffixes) {
  for (const char* name : {"score", "gw", "xabs", "abs", "vorn", "a.gw"}) EXPECT_TRUE(is_core_domain(name)) << name;
  for (const char* name : {"core.x", "CORE", "g", "ab", "gwx", "Core", ""}) EXPECT_FALSE(is_core_domain(name)) << name;
  for (const char* name : {"a.zq", ".zq", "a.sys"}) EXPECT_TRUE(is_sys_domain(name)) << name;
  for (const char* name : {"zq", "sys", "asys", "a.ZQ", "a.zq.", ""}) EXPECT_FALSE(is_sys_domain(name)) << name;
}

}  // namespace
}  // namespace zq
