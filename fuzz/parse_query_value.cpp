// Fuzzes the query value reader: each result must fit the text it came from, integers and floats
// must agree with std::from_chars, a float must keep its value when its point is moved a hundred
// thousand places, and typed values must read back from their printed form.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
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

// The number `trimmed` (which read to `x`) written again with its point moved `shift` places to
// the left and its exponent raised by as much: the same number, so the same double. Counts of
// digits after the point and exponents near or past a hundred thousand must cancel exactly.
// Exponents of more than fifteen digits are left out.
void check_point_moved(std::string_view trimmed, double x, std::size_t shift) {
  std::string_view body = trimmed;
  std::string moved;
  if (body[0] == '+' || body[0] == '-') {
    moved += body[0];
    body.remove_prefix(1);
  }
  const std::size_t marker = body.find_first_of("eE");
  std::string exponent_digits;
  bool exponent_negative = false;
  if (marker != std::string_view::npos) {
    for (char c : body.substr(marker + 1)) {
      if (c == '-') exponent_negative = true;
      if (c >= '0' && c <= '9') exponent_digits += c;
    }
    exponent_digits.erase(0, exponent_digits.find_first_not_of('0'));  // all zeros leave it empty
    if (exponent_digits.size() > 15) return;
  }
  std::int64_t exponent = 0;  // stays 0 for no digits
  std::from_chars(exponent_digits.data(), exponent_digits.data() + exponent_digits.size(), exponent);
  if (exponent_negative) exponent = -exponent;

  const std::string_view mantissa = body.substr(0, marker);
  std::string digits_before, digits_after;
  const std::size_t dot = mantissa.find('.');
  for (std::size_t i = 0; i < mantissa.size(); ++i) {
    const char c = mantissa[i];
    if (c >= '0' && c <= '9') (dot == std::string_view::npos || i < dot ? digits_before : digits_after) += c;
  }
  if (digits_before.size() > shift) return;
  moved.append(".").append(shift - digits_before.size(), '0').append(digits_before).append(digits_after);
  moved.append("e").append(std::to_string(exponent + static_cast<std::int64_t>(shift)));

  const QueryValue again = zq::parse_query_value(moved);
  ZQ_FUZZ_CHECK(again.kind() == QueryValue::Kind::Float);
  ZQ_FUZZ_CHECK(std::bit_cast<std::uint64_t>(again.as_float()) == std::bit_cast<std::uint64_t>(x));
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
      // A point moved 99,990 to 100,010 places, chosen by the input's hash. The moved text is a
      // hundred thousand bytes long, so one input in sixteen is checked, to keep the fuzzer's pace.
      const std::size_t hash = std::hash<std::string_view>{}(text);
      if (hash % 16 == 0) check_point_moved(trimmed, x, 99990 + hash / 16 % 21);
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
