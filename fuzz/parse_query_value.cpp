// Fuzzes the query value reader: each result must fit the text it came from, integers and floats
// must agree with std::from_chars, and typed values must read back from their printed form.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "../core/tests/float_reference.h"
#include "fuzz_check.h"
#include "url/float_repr.h"
#include "url/query_value.h"

namespace {

using zq::QueryValue;

std::string_view trim(std::string_view text) {
  const auto blank = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
  };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The integer through std::from_chars after taking off sign, prefix and underscores.
void check_integer(std::string_view trimmed, std::int64_t value) {
  std::string digits;
  std::string_view rest = trimmed;
  if (rest[0] == '+' || rest[0] == '-') {
    if (rest[0] == '-') digits += '-';
    rest.remove_prefix(1);
  }
  int base = 10;
  if (rest.size() >= 2 && rest[0] == '0') {
    const char p = rest[1];
    base = (p == 'b' || p == 'B')   ? 2
           : (p == 'o' || p == 'O') ? 8
           : (p == 'x' || p == 'X') ? 16
                                    : 10;
    if (base != 10) rest.remove_prefix(2);
  }
  for (char c : rest) {
    if (c != '_') digits += c;
  }
  std::int64_t expected = 0;
  const auto read = std::from_chars(digits.data(), digits.data() + digits.size(), expected, base);
  ZQ_FUZZ_CHECK(read.ec == std::errc() && read.ptr == digits.data() + digits.size());
  ZQ_FUZZ_CHECK(value == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string_view trimmed = trim(text);
  const QueryValue value = zq::parse_query_value(text);
  switch (value.kind()) {
    case QueryValue::Kind::None:
      ZQ_FUZZ_CHECK(trimmed == "None");
      break;
    case QueryValue::Kind::Bool:
      ZQ_FUZZ_CHECK(trimmed == (value.as_bool() ? "True" : "False"));
      break;
    case QueryValue::Kind::Int: {
      check_integer(trimmed, value.as_int());
      char buffer[24];
      const auto written = std::to_chars(buffer, buffer + sizeof buffer, value.as_int());
      ZQ_FUZZ_CHECK(zq::parse_query_value(std::string_view(buffer, written.ptr - buffer)) == value);
      break;
    }
    case QueryValue::Kind::Float: {
      const double x = value.as_float();
      ZQ_FUZZ_CHECK(!std::isnan(x));
      // Within the range of doubles the number is what from_chars reads (beyond it, infinity or
      // zero).
      if (const auto expected = zq::reference::read_float(trimmed)) {
        ZQ_FUZZ_CHECK(std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(*expected));
      }
      if (std::isfinite(x)) {
        const QueryValue again = zq::parse_query_value(zq::format_float_repr(x));
        ZQ_FUZZ_CHECK(again.kind() == QueryValue::Kind::Float);
        ZQ_FUZZ_CHECK(std::bit_cast<std::uint64_t>(again.as_float()) ==
                      std::bit_cast<std::uint64_t>(x));
      }
      break;
    }
    case QueryValue::Kind::Str: {
      // The untrimmed text, or what stands between matching quotes.
      const bool quoted = trimmed.size() >= 2 && (trimmed[0] == '\'' || trimmed[0] == '"') &&
                          trimmed.back() == trimmed[0] &&
                          value.text() == trimmed.substr(1, trimmed.size() - 2);
      ZQ_FUZZ_CHECK(value.text() == text || quoted);
      break;
    }
    case QueryValue::Kind::Literal: {
      // A bracketed text or an integer beyond 64 bits, trimmed, reading back as itself.
      ZQ_FUZZ_CHECK(value.text() == trimmed);
      const char first = trimmed.front();
      ZQ_FUZZ_CHECK(first == '(' || first == '[' || first == '{' || first == '+' || first == '-' ||
                    (first >= '0' && first <= '9'));
      ZQ_FUZZ_CHECK(zq::parse_query_value(trimmed) == value);
      break;
    }
  }
  return 0;
}
