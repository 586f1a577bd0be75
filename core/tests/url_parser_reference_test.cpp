// The URL parser and the query value reader against their references. Over generated URL texts
// (random mixes of the bytes and pieces URLs are made of, realistic URLs and mutations of them,
// queries around the piece count where repeated keys move to an index) both parsers must give
// the same error, or the same record, for text and message rules, read into a fresh record and
// into a live one; over generated value texts both readers must give the same value.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "query_value_reference.h"
#include "url/url.h"
#include "url_parser_reference.h"
#include "url_test_util.h"

namespace zq {
namespace {

// Equality with floats compared by bit pattern, so that -0.0 and 0.0 differ.
bool same(const QueryValue& a, const QueryValue& b) {
  if (!(a == b)) return false;
  return a.kind() != QueryValue::Kind::Float ||
         std::bit_cast<std::uint64_t>(a.as_float()) == std::bit_cast<std::uint64_t>(b.as_float());
}

bool same(const Url& a, const Url& b) {
  if (!(a == b)) return false;
  for (std::size_t i = 0; i < a.params.size(); ++i) {
    if (!same(a.params[i].value, b.params[i].value)) return false;
  }
  return true;
}

const Url kLive{.transport = "T",
                .route = "R",
                .scheme = "S",
                .hostname = "H",
                .port = 7,
                .isIp = true,
                .path = "/P",
                .params = {{"K", QueryValue::integer(9)}, {"id", QueryValue::str("x")}},
                .fragment = "F"};

// Runs both parsers over `text` under both rules from a fresh and a live record; returns false
// (after reporting the text) at the first difference.
bool agrees(const std::string& text) {
  using Parse = Result<void, UrlError> (*)(Url&, std::string_view);
  const struct {
    const char* rules;
    Parse core;
    Parse reference;
  } parsers[] = {
      {"text", &parse_url_into, &reference::parse_url_into},
      {"message", &parse_message_url_into, &reference::parse_message_url_into},
  };
  for (const auto& parser : parsers) {
    for (const Url& start : {new_url(), kLive}) {
      Url core = start;
      Url expected = start;
      const auto core_status = parser.core(core, text);
      const auto expected_status = parser.reference(expected, text);
      const bool same_status = core_status.ok() == expected_status.ok() &&
                               (core_status.ok() || core_status.error() == expected_status.error());
      if (!same_status || !same(core, expected)) {
        ADD_FAILURE() << parser.rules << " rules, " << (start == kLive ? "live" : "fresh")
                      << " record: " << testing::PrintToString(text);
        EXPECT_EQ(core, expected);
        return false;
      }
    }
  }
  return true;
}

// Single bytes and pieces that steer the parser into each of its branches.
const std::vector<std::string> kPieces = {
    "a", "b", "z", "Q", "0", "1", "7", "9", "://", ":/", "//", "~", "~~", "[", "]", ":", "/",
    "?", "#", "&", "&&", "=", "'", "\"", "\\", "(", ")", "{", "}", "+", "-", ".", "_", "e", "E",
    " ", "\t", "\n", "\r", "\f", "\v", "*", "<", ">", "@", "%20", "0x", "0b", "0o", "1_0", "lib",
    "file", "lib.sys", "zq", "None", "True", "False", "inf", "nan", "1e308", "1e-400", "0.5",
    "-0.0", "99999999999999999999", "170141183460469231731687303715884105728", "::1",
    "2001:db8::7", "127.0.0.1", "8080", "65536", "18446744073709551616", "\xc3\xa9", std::string(1, '\0')};

const std::vector<std::string> kUrls = {
    "zq:quik:real~api~zq://[2001:db8::7]:8080/v1/items?id=42&ratio=0.5&name=alpha#top",
    "https://search.example.com/find?q=hello&page=2&lang=en",
    "zq://storage.example.net/buckets/photos?year=2024&limit=100&verbose=True#latest",
    "zq://h", "x://h:1/p", "tcp~~a~b://h/", "r~s://h?", "t~r~s://h#", "lib://lib.sys/mod/x?v=1",
    "lib://a/b", "file:///etc/hosts?a", "file://", "zq://[::1]", "zq://[::1", "zq://[]:5",
    "zq://127.0.0.1:80/x?a=-1_000&b=0x_ff&c=1e5&d='q'&e=\"r\"&f=[1,2]&g=(3)&h={4}&i=None",
    "a~b~c~d://h", "zq://h/p?a=1&a=2&b&a=3#f#g", "://", "zq://h?k=  12  &k2=\t.5e-3\n",
    "ftp://user@host.example.org:21/pub/file.txt", "zq://h?%41=%42&=&&=x"};

std::string random_text(std::mt19937_64& rng, std::size_t pieces) {
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) text += kPieces[rng() % kPieces.size()];
  return text;
}

// Inserts, deletes or replaces a few pieces of a realistic URL.
std::string mutated(std::mt19937_64& rng, std::string text) {
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int i = 0; i < edits; ++i) {
    const std::size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
    switch (rng() % 3) {
      case 0:
        text.insert(at, kPieces[rng() % kPieces.size()]);
        break;
      case 1:
        text.erase(at, 1 + rng() % 3);
        break;
      default:
        text.replace(at, 1, kPieces[rng() % kPieces.size()]);
        break;
    }
  }
  return text;
}

// A query of `pieces` pieces from a few keys, so that keys repeat, with empty pieces and pieces
// without "=" among them.
std::string query_of(std::mt19937_64& rng, std::size_t pieces) {
  static const char* const kKeys[] = {"a", "b", "id", "", "k k", "x=y"};
  static const char* const kValues[] = {"1", "-2", "0.5", "'s'", "[1]", "True", "", "v", "1e999"};
  std::string query;
  for (std::size_t i = 0; i < pieces; ++i) {
    if (i > 0) query += '&';
    switch (rng() % 5) {
      case 0:
        break;  // an empty piece
      case 1:
        query += kKeys[rng() % std::size(kKeys)];
        break;
      default:
        query.append(kKeys[rng() % std::size(kKeys)]).append("=").append(kValues[rng() % std::size(kValues)]);
        break;
    }
  }
  return query;
}

TEST(UrlParserReferenceTest, RealisticUrls) {
  for (const std::string& url : kUrls) ASSERT_TRUE(agrees(url));
}

TEST(UrlParserReferenceTest, RandomMixes) {
  std::mt19937_64 rng(20261211);
  for (int i = 0; i < 60000; ++i) {
    std::string text = random_text(rng, 1 + rng() % 24);
    // Most texts get a separator, so that the parse gets past it.
    if (rng() % 4 != 0) text.insert(rng() % (text.size() + 1), "://");
    ASSERT_TRUE(agrees(text));
  }
}

TEST(UrlParserReferenceTest, MutatedUrls) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 40000; ++i) ASSERT_TRUE(agrees(mutated(rng, kUrls[rng() % kUrls.size()])));
}

// Queries of up to 40 pieces, most often around 16, where the lookup changes.
TEST(UrlParserReferenceTest, QueriesAroundTheIndexThreshold) {
  std::mt19937_64 rng(16);
  for (int i = 0; i < 8000; ++i) {
    const std::size_t pieces = i % 2 == 0 ? 14 + rng() % 5 : 1 + rng() % 40;
    ASSERT_TRUE(agrees("zq://h/p?" + query_of(rng, pieces) + (rng() % 2 ? "#f" : "")));
  }
}

// Pieces of integer and float literals, with signs, base prefixes, underscores, exponents and
// the texts around them.
const std::vector<std::string> kValuePieces = {
    "0", "1", "5", "7", "9", "00", "123456789", "0x", "0X", "0b", "0B", "0o", "0O", "a", "f", "F",
    "g", "z", "_", "__", "+", "-", ".", "e", "E", "e-", "E+", "'", "\"", "\\", "(", ")", "[", "]",
    "{", "}", " ", "\t", "\n", "\r", "\f", "\v", "None", "True", "False", "inf", "nan", "x",
    "9223372036854775807", "9223372036854775808", "18446744073709551616",
    "170141183460469231731687303715884105727", "170141183460469231731687303715884105728"};

// Runs of `length` digits of `base`, with a sign and a prefix now and then, and underscores
// between some digits: integers around the widths the reader switches at.
std::string digit_run(std::mt19937_64& rng, std::size_t length) {
  static const char kDigits[] = "0123456789abcdefABCDEF";
  std::string text;
  if (rng() % 3 == 0) text += rng() % 2 ? "-" : "+";
  const std::size_t digits = rng() % 4 == 0 ? 22 : 10;
  if (digits == 22) text += rng() % 2 ? "0x" : "0X";
  for (std::size_t i = 0; i < length; ++i) {
    if (i > 0 && rng() % 6 == 0) text += '_';
    text += kDigits[rng() % digits];
  }
  return text;
}

TEST(QueryValueReferenceTest, RandomMixes) {
  std::mt19937_64 rng(3);
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    const std::size_t pieces = 1 + rng() % 8;
    for (std::size_t p = 0; p < pieces; ++p) text += kValuePieces[rng() % kValuePieces.size()];
    ASSERT_TRUE(same(parse_query_value(text), reference::parse_query_value(text)))
        << testing::PrintToString(text);
  }
}

TEST(QueryValueReferenceTest, IntegersOfEveryWidth) {
  std::mt19937_64 rng(64);
  for (int i = 0; i < 100000; ++i) {
    const std::string text = digit_run(rng, 1 + rng() % 45);
    ASSERT_TRUE(same(parse_query_value(text), reference::parse_query_value(text)))
        << testing::PrintToString(text);
  }
}

// Plain decimals with and without a point, leading zeros and either side empty, around the
// fifteen digits up to which they are read in one pass.
TEST(QueryValueReferenceTest, PlainDecimalsOfEveryWidth) {
  std::mt19937_64 rng(15);
  const auto digits = [&rng](std::size_t n) {
    std::string run;
    for (std::size_t i = 0; i < n; ++i) run += static_cast<char>('0' + rng() % (i == 0 && rng() % 3 == 0 ? 1 : 10));
    return run;
  };
  for (int i = 0; i < 100000; ++i) {
    std::string text = digits(rng() % 19);
    if (rng() % 4 != 0) {
      text += '.';
      text += digits(rng() % 19);
    }
    ASSERT_TRUE(same(parse_query_value(text), reference::parse_query_value(text)))
        << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace zq
