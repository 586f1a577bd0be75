// Typed query values: each literal form, the order in which forms are tried, the integer range
// boundaries, and what stays text.
#include "url/query_value.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "url_test_util.h"

namespace zq {
namespace {

// Floats compare by bit pattern, so that -0.0 and 0.0 differ.
bool same(const QueryValue& a, const QueryValue& b) {
  if (a.kind() == QueryValue::Kind::Float && b.kind() == QueryValue::Kind::Float) {
    return std::bit_cast<std::uint64_t>(a.as_float()) == std::bit_cast<std::uint64_t>(b.as_float());
  }
  return a == b;
}

struct Case {
  std::string text;
  QueryValue expected;
};

QueryValue str(std::string_view text) { return QueryValue::str(text); }
QueryValue literal(std::string_view text) { return QueryValue::literal(text); }
QueryValue integer(std::int64_t i) { return QueryValue::integer(i); }
QueryValue floating(double d) { return QueryValue::floating(d); }

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const QueryValue got = parse_query_value(c.text);
    EXPECT_TRUE(same(got, c.expected))
        << "text [" << c.text << "] gave " << testing::PrintToString(got) << ", expected "
        << testing::PrintToString(c.expected);
  }
}

TEST(QueryValueTest, KeywordsAreExactAndCaseSensitive) {
  check({
      {"None", QueryValue::none()},
      {"True", QueryValue::boolean(true)},
      {"False", QueryValue::boolean(false)},
      {" \tNone\r\n\f", QueryValue::none()},
      {"none", str("none")},
      {"TRUE", str("TRUE")},
      {"Nonee", str("Nonee")},
  });
}

TEST(QueryValueTest, Integers) {
  check({
      {" 42 ", integer(42)},
      {"+7", integer(7)},
      {"-0", integer(0)},
      {"0", integer(0)},
      {"00", integer(0)},
      {"0_0", integer(0)},
      {"1_000", integer(1000)},
      {"0x_FF", integer(255)},
      {"0X1f", integer(31)},
      {"0o17", integer(15)},
      {"0b101", integer(5)},
      {"-0b1_0", integer(-2)},
      {"0B1", integer(1)},
      {"0O7", integer(7)},
  });
}

TEST(QueryValueTest, MalformedIntegersStayText) {
  // Leading zeros, misplaced underscores, a bare prefix, a digit outside the base, a bare sign.
  check({
      {"007", str("007")},
      {"0_7", str("0_7")},
      {"1__0", str("1__0")},
      {"_1", str("_1")},
      {"1_", str("1_")},
      {"0x", str("0x")},
      {"0x_", str("0x_")},
      {"0x__1", str("0x__1")},
      {"0b102", str("0b102")},
      {"0o8", str("0o8")},
      {"0xg", str("0xg")},
      {"-", str("-")},
      {"+-1", str("+-1")},
      {"1 000", str("1 000")},
  });
}

TEST(QueryValueTest, IntegerRangeBoundaries) {
  check({
      {"9223372036854775807", integer(kInt64Max)},
      {"-9223372036854775808", integer(kInt64Min)},
      {"0x7fff_ffff_ffff_ffff", integer(kInt64Max)},
      {"-0x8000000000000000", integer(kInt64Min)},
      // Beyond 64 bits the text is kept as written, sign, prefix and underscores included.
      {"9223372036854775808", literal("9223372036854775808")},
      {"-9223372036854775809", literal("-9223372036854775809")},
      {" 0x_8000_0000_0000_0000 ", literal("0x_8000_0000_0000_0000")},
      {"18446744073709551616", literal("18446744073709551616")},
      // 2^127 - 1 is the largest magnitude read; 2^127 fails every form.
      {"170141183460469231731687303715884105727",
       literal("170141183460469231731687303715884105727")},
      {"-170141183460469231731687303715884105727",
       literal("-170141183460469231731687303715884105727")},
      {"170141183460469231731687303715884105728", str("170141183460469231731687303715884105728")},
      {"0x7fffffffffffffffffffffffffffffff", literal("0x7fffffffffffffffffffffffffffffff")},
      {"0x80000000000000000000000000000000", str("0x80000000000000000000000000000000")},
      {"1234567890123456789012345678901234567890", str("1234567890123456789012345678901234567890")},
  });
}

TEST(QueryValueTest, Floats) {
  check({
      {"1.5", floating(1.5)},
      {".5", floating(0.5)},
      {"5.", floating(5.0)},
      {"1e3", floating(1000.0)},
      {"1E3", floating(1000.0)},
      {"1.e3", floating(1000.0)},
      {"1_0.5", floating(10.5)},
      {"1.2_5e1_0", floating(1.25e10)},
      {"-2.5e-3", floating(-0.0025)},
      {"+.5", floating(0.5)},
      {"1e+2", floating(100.0)},
      {"-0.0", floating(-0.0)},
      {"007.5", floating(7.5)},
      {" 2.5\n", floating(2.5)},
      {"0.1", floating(0.1)},
  });
}

TEST(QueryValueTest, FloatsBeyondTheRangeBecomeInfinityOrZero) {
  check({
      {"1e999", floating(kInf)},
      {"-1e999", floating(-kInf)},
      {"1.8e308", floating(kInf)},
      {"1e-999", floating(0.0)},
      {"-1e-999", floating(-0.0)},
      {"2e-324", floating(0.0)},
      {"3e-324", floating(5e-324)},  // the smallest subnormal is in range
      {"1e99999999999999999999999999", floating(kInf)},
      {"1e-99999999999999999999999999", floating(0.0)},
      {"0e99999999999999999999999999", floating(0.0)},
      // The position of the leading digit, not the exponent alone, decides the direction.
      {"0." + std::string(500, '0') + "1e100", floating(0.0)},
      {"1" + std::string(400, '0') + ".e-60", floating(kInf)},
  });
}

// Numbers whose digit count after the point and exponent are both near or past a hundred thousand:
// however far the point is moved, only their difference decides the power of ten.
TEST(QueryValueTest, FloatsWithLongFractionsAndLargeExponents) {
  // `head`, then `count` zeros, then `tail`.
  const auto zeros = [](std::string_view head, std::size_t count, std::string_view tail) {
    std::string text(head);
    text.append(count, '0').append(tail);
    return text;
  };
  check({
      {zeros(".", 100000, "1e100000"), floating(0.1)},
      {zeros(".", 99977, "1e100001"), floating(1e23)},
      {zeros("0.", 100004, "3094e100003"), floating(0.03094)},
      {zeros(".", 99999, "1e100000"), floating(1.0)},
      {zeros("-.", 100000, "7e100000"), floating(-0.7)},
      {zeros(".", 200000, "25e200000"), floating(0.25)},
      {zeros(".", 100000, "1e-100000"), floating(0.0)},
      {zeros("1.", 100000, "e-22"), floating(1e-22)},
  });
  // The same number, 1.5, with its point moved 99,990 to 100,010 places to the left.
  for (std::size_t shift = 99990; shift <= 100010; ++shift) {
    check({{zeros(".", shift - 1, "15e" + std::to_string(shift)), floating(1.5)}});
  }
}

TEST(QueryValueTest, MalformedFloatsStayText) {
  check({
      {".", str(".")},
      {"1e", str("1e")},
      {"e3", str("e3")},
      {".e3", str(".e3")},
      {"1._5", str("1._5")},
      {"1_.5", str("1_.5")},
      {"1e_5", str("1e_5")},
      {"1.5_", str("1.5_")},
      {"1.5.2", str("1.5.2")},
      {"1e5e5", str("1e5e5")},
      {"1e5.0", str("1e5.0")},
      {"1e+", str("1e+")},
      {"1+5", str("1+5")},
      {"1.5f", str("1.5f")},
      {"inf", str("inf")},
      {"nan", str("nan")},
      {"--1.5", str("--1.5")},
  });
}

TEST(QueryValueTest, QuotedText) {
  check({
      {"'abc'", str("abc")},
      {"''", str("")},
      {"\"\"", str("")},
      {" \"x y\" ", str("x y")},
      {"'a\"b'", str("a\"b")},  // the other quote character may appear inside
      // A quote of the same kind or a backslash inside keeps the whole untrimmed text.
      {"'a'b'", str("'a'b'")},
      {" \"a\\b\" ", str(" \"a\\b\" ")},
      {"'abc\"", str("'abc\"")},
      {"'", str("'")},
      // A quoted text is never a bracketed literal, even when it ends like one.
      {"'[1]", str("'[1]")},
  });
}

TEST(QueryValueTest, BracketedLiterals) {
  check({
      {"[1, 2]", literal("[1, 2]")},
      {" (x) ", literal("(x)")},
      {"{'a': 1}", literal("{'a': 1}")},
      {"()", literal("()")},
      {"[", str("[")},
      {"{]", str("{]")},
      {"(]", str("(]")},
  });
}

TEST(QueryValueTest, BlankAndOtherTextKeepsItsBlanks) {
  check({
      {"", str("")},
      {"   ", str("   ")},
      {"hello world", str("hello world")},
      {" x ", str(" x ")},
      // Vertical tab and non-ASCII spaces are not trimmed.
      {"\v42", str("\v42")},
      {"42\xc2\xa0", str("42\xc2\xa0")},
      {"\v", str("\v")},
  });
}

}  // namespace
}  // namespace zq
