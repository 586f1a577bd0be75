// Reading typed query values: keyword, integer, float, quoted text and bracketed literal forms,
// chosen by the first byte of the trimmed text.
#include "url/query_value.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>

namespace zq {
namespace {

// Python's str.strip() set for ASCII, without vertical tab.
// Every one of them is at most a space, which rejects the bytes of a value at one compare.
bool is_blank(char c) {
  return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r');
}

std::string_view trim(std::string_view text) {
  if (text.empty() || (!is_blank(text.front()) && !is_blank(text.back()))) return text;
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && is_blank(text[begin])) ++begin;
  while (end > begin && is_blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The value of `c` as a digit of base 2, 8, 10 or 16, or 16 (never valid) when it is none.
unsigned digit_value(char c) {
  if (is_digit(c)) return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return 16;
}

// The base that a "0b", "0o" or "0x" prefix letter selects (either case), or 10.
unsigned prefix_base(char letter) {
  switch (letter | 0x20) {
    case 'b':
      return 2;
    case 'o':
      return 8;
    case 'x':
      return 16;
    default:
      return 10;
  }
}

// What an integer literal read to: no integer at all, a 64-bit value, or an integer beyond 64
// bits, which stays a Literal of its text.
struct IntegerRead {
  enum class Outcome : std::uint8_t { NotInteger, Fits, TooLarge };
  Outcome outcome = Outcome::NotInteger;
  std::int64_t value = 0;
};

// The digits of an integer literal in `base`, after its sign and prefix, with single
// underscores between them. `Magnitude` is unsigned __int128, which the loop keeps below 2^127,
// or a type that every value of `digits` fits.
template <class Magnitude>
IntegerRead read_digits(std::string_view digits, unsigned base, bool prefixed, bool negative) {
  __extension__ using U128 = unsigned __int128;
  constexpr bool kWide = std::is_same_v<Magnitude, U128>;
  // The magnitude must stay below 2^127 to be an integer at all. The cut-off of each base is a
  // constant, so the loop does no 128-bit division.
  constexpr U128 kLargest = (U128{1} << 127) - 1;
  const U128 cutoff = base == 2    ? kLargest / 2
                      : base == 8  ? kLargest / 8
                      : base == 16 ? kLargest / 16
                                   : kLargest / 10;
  const auto cutoff_digit = static_cast<unsigned>(kLargest - cutoff * base);
  Magnitude magnitude = 0;
  bool any_digit = false;
  bool after_underscore = false;
  for (char c : digits) {
    if (c == '_') {
      if (after_underscore || (!any_digit && !prefixed)) return {};
      after_underscore = true;
      continue;
    }
    const unsigned digit = digit_value(c);
    if (digit >= base) return {};
    if constexpr (kWide) {
      if (magnitude > cutoff || (magnitude == cutoff && digit > cutoff_digit)) return {};
    }
    magnitude = magnitude * base + digit;
    any_digit = true;
    after_underscore = false;
  }
  if (after_underscore || !any_digit) return {};
  // A decimal number may start with 0 only when it is all zeros (no octal without 0o).
  if (!prefixed && digits[0] == '0' && magnitude != 0) return {};

  constexpr auto kInt64Max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  using enum IntegerRead::Outcome;
  if (!negative && magnitude <= kInt64Max) return {Fits, static_cast<std::int64_t>(magnitude)};
  if (negative && magnitude <= Magnitude{kInt64Max} + 1) {
    return {Fits, static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(magnitude))};
  }
  return {TooLarge};
}

// Integer literal with optional sign, base prefix and single underscores between digits.
IntegerRead parse_integer(std::string_view trimmed) {
  std::string_view s = trimmed;
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return {};

  const unsigned base = s.size() >= 2 && s[0] == '0' ? prefix_base(s[1]) : 10;
  const bool prefixed = base != 10;
  if (prefixed) {
    s.remove_prefix(2);
    if (s.empty()) return {};
  }

  // Fifteen digits of base 16 or less stay below 2^60: a text that short is read in 64 bits,
  // with nothing to check against the cut-off.
  constexpr std::size_t kNarrowDigitsMax = 15;
  __extension__ using U128 = unsigned __int128;
  return s.size() <= kNarrowDigitsMax ? read_digits<std::uint64_t>(s, base, prefixed, negative)
                                      : read_digits<U128>(s, base, prefixed, negative);
}

// True when a decimal number that does not fit a double is too large rather than too small: the
// leading non-zero digit stands at a positive power of ten. `number` holds digits, at most one
// ".", and optionally an exponent marker with a signed exponent; its mantissa is not all zeros.
bool is_beyond_largest(std::string_view number) {
  const std::size_t marker = number.find_first_of("eE");
  const std::string_view mantissa = number.substr(0, marker);

  // Saturate the exponent: any exponent this large decides the direction on its own.
  constexpr long long kSaturation = 1'000'000'000'000'000LL;
  long long exponent = 0;
  if (marker != std::string_view::npos) {
    std::string_view digits = number.substr(marker + 1);
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
    for (char c : digits) {
      exponent = exponent * 10 + (c - '0');
      if (exponent > kSaturation) {
        exponent = kSaturation;
        break;
      }
    }
    if (negative) exponent = -exponent;
  }

  const std::size_t dot = mantissa.find('.');
  const long long int_digits =
      static_cast<long long>(dot == std::string_view::npos ? mantissa.size() : dot);
  long long index = 0;  // position of the digit among the mantissa's digits
  for (char c : mantissa) {
    if (c == '.') continue;
    if (c != '0') break;
    ++index;
  }
  return int_digits - index - 1 + exponent > 0;
}

// Powers of ten that are exact doubles (5^22 < 2^53).
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kExactPowerMax = 22;

// The general case of parse_float, for the number `body` it has checked, without the sign that
// `negative` gives. Out of line, as most values take the exact path.
[[gnu::noinline]] double read_float_by_from_chars(std::string_view body, bool has_underscore, bool negative) {
  std::string without_underscores;
  std::string_view number = body;
  if (has_underscore) {
    without_underscores.reserve(body.size());
    for (char c : body) {
      if (c != '_') without_underscores += c;
    }
    number = without_underscores;
  }

  double value = 0.0;
  // The grammar above is a subset of from_chars' own, so it reads the whole number.
  const std::from_chars_result read =
      std::from_chars(number.data(), number.data() + number.size(), value);
  if (read.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value untouched past either end of the range.
    value = is_beyond_largest(number) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return negative ? -value : value;
}

// Float literal: digits with at most one ".", an optional exponent and single underscores after
// digits; correctly rounded, with infinity and zero past the ends of the range.
// The scan that checks the grammar also collects the digits. When they form an integer of at
// most 2^53 and the power of ten is at most 10^22, both are exact doubles and one
// multiplication or division rounds correctly; every other number goes to std::from_chars.
std::optional<double> parse_float(std::string_view trimmed) {
  std::string_view body = trimmed;
  bool negative = false;
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
    negative = body[0] == '-';
    body.remove_prefix(1);
  }

  enum class Last { Start, Digit, Underscore, Dot, Marker, ExponentSign };
  Last last = Last::Start;
  bool any_digit = false;
  bool digit_before_dot = false;
  bool has_dot = false;
  bool has_marker = false;
  bool has_underscore = false;
  // The mantissa's digits from the first non-zero one, while 19 of them fit (a 20th marks it
  // too long); every digit after the point, counted; and the exponent, saturated at 10^17. No
  // text holds that many digits, so the difference of the two is exact whenever it is small
  // enough for the exact path: a saturated exponent always leaves that path.
  constexpr int kMantissaDigitsMax = 19;
  constexpr std::int64_t kExponentSaturation = 100'000'000'000'000'000;
  std::uint64_t mantissa = 0;
  int mantissa_digits = 0;
  std::int64_t fraction_digits = 0;
  std::int64_t exponent = 0;
  bool exponent_negative = false;
  for (char c : body) {
    if (is_digit(c)) {
      const int digit = c - '0';
      if (has_marker) {
        exponent = std::min(exponent * 10 + digit, kExponentSaturation);
      } else {
        if ((mantissa != 0 || digit != 0) && mantissa_digits <= kMantissaDigitsMax) {
          if (mantissa_digits < kMantissaDigitsMax) mantissa = mantissa * 10 + static_cast<unsigned>(digit);
          ++mantissa_digits;
        }
        if (has_dot) ++fraction_digits;
      }
      any_digit = true;
      last = Last::Digit;
    } else if (c == '_') {
      if (last != Last::Digit) return std::nullopt;
      has_underscore = true;
      last = Last::Underscore;
    } else if (c == '.') {
      if (has_dot || has_marker || (last != Last::Start && last != Last::Digit))
        return std::nullopt;
      has_dot = true;
      digit_before_dot = any_digit;
      last = Last::Dot;
    } else if (c == 'e' || c == 'E') {
      if (has_marker || !(last == Last::Digit || (last == Last::Dot && digit_before_dot))) {
        return std::nullopt;
      }
      has_marker = true;
      last = Last::Marker;
    } else if (c == '+' || c == '-') {
      if (last != Last::Marker) return std::nullopt;
      exponent_negative = c == '-';
      last = Last::ExponentSign;
    } else {
      return std::nullopt;
    }
  }
  if (last == Last::Underscore || !any_digit) return std::nullopt;
  if (has_marker ? last != Last::Digit : !has_dot) return std::nullopt;

  const std::int64_t scale = (exponent_negative ? -exponent : exponent) - fraction_digits;
  if (mantissa_digits <= kMantissaDigitsMax && mantissa <= std::uint64_t{1} << 53 &&
      scale >= -kExactPowerMax && scale <= kExactPowerMax) {
    const auto exact = static_cast<double>(mantissa);
    const double value = scale < 0 ? exact / kExactPowersOfTen[-scale] : exact * kExactPowersOfTen[scale];
    return negative ? -value : value;
  }

  return read_float_by_from_chars(body, has_underscore, negative);
}

// 'text' or "text" without the quote character and without backslashes inside.
std::optional<std::string_view> unquote(std::string_view trimmed) {
  if (trimmed.size() < 2) return std::nullopt;
  const char quote = trimmed.front();
  if ((quote != '\'' && quote != '"') || trimmed.back() != quote) return std::nullopt;
  const std::string_view inner = trimmed.substr(1, trimmed.size() - 2);
  if (inner.find_first_of(quote == '\'' ? "'\\" : "\"\\") != std::string_view::npos) {
    return std::nullopt;
  }
  return inner;
}

bool is_bracketed(std::string_view trimmed) {
  if (trimmed.size() < 2) return false;
  const char open = trimmed.front();
  const char close = trimmed.back();
  return (open == '(' && close == ')') || (open == '[' && close == ']') ||
         (open == '{' && close == '}');
}

// The usual numbers: a plain run of decimal digits, or two runs around one "." (either may be
// empty, not both), with at most fifteen digits in all. Without a point it is an integer unless
// it starts with a zero and is longer than one digit (which the general readers decide); with a
// point it is a float whose digits and power of ten are both exact doubles, so that one division
// rounds it correctly, as the exact path of parse_float does. False for anything else.
bool read_plain_number(std::string_view text, QueryValue& out) {
  constexpr std::size_t kDigitsMax = 15;
  std::uint64_t digits = 0;  // wraps harmlessly past kDigitsMax digits, which are refused
  std::size_t count = 0;
  std::size_t point = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto digit = static_cast<unsigned>(static_cast<unsigned char>(text[i]) - '0');
    if (digit <= 9) {
      digits = digits * 10 + digit;
      ++count;
    } else if (text[i] == '.' && point == std::string_view::npos) {
      point = i;
    } else {
      return false;
    }
  }
  if (count == 0 || count > kDigitsMax) return false;
  if (point == std::string_view::npos) {
    if (count > 1 && text[0] == '0') return false;
    out.set_integer(static_cast<std::int64_t>(digits));
    return true;
  }
  const std::size_t fraction_digits = text.size() - point - 1;
  out.set_floating(static_cast<double>(digits) / kExactPowersOfTen[fraction_digits]);
  return true;
}

// The bytes a typed form can start with, and the blanks that trimming removes before it: a
// value starting with any other byte is a Str as it stands.
constexpr auto kTypedStarts = [] {
  std::array<bool, 256> table{};
  for (const char c : std::string_view("NTF0123456789+-.'\"([{ \t\n\f\r")) table[static_cast<unsigned char>(c)] = true;
  return table;
}();

// Every value the quick forms of read_query_value leave: the forms tried in turn on the trimmed
// text. Out of line, so that the quick forms run without this function's set-up.
[[gnu::noinline]] void read_typed_value(std::string_view text, QueryValue& out) {
  const std::string_view trimmed = trim(text);
  if (trimmed.empty()) return out.set_str(text);

  // Each typed form starts with bytes no other form starts with, so the first byte chooses
  // the one to try; text that fits none stays a Str.
  switch (trimmed.front()) {
    case 'N':
      if (trimmed == "None") return out.set_none();
      break;
    case 'T':
      if (trimmed == "True") return out.set_boolean(true);
      break;
    case 'F':
      if (trimmed == "False") return out.set_boolean(false);
      break;
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
    case '+':
    case '-':
    case '.': {
      const IntegerRead integer = parse_integer(trimmed);
      if (integer.outcome == IntegerRead::Outcome::Fits) return out.set_integer(integer.value);
      if (integer.outcome == IntegerRead::Outcome::TooLarge) return out.set_literal(trimmed);
      if (auto number = parse_float(trimmed)) return out.set_floating(*number);
      break;
    }
    case '\'':
    case '"':
      if (auto inner = unquote(trimmed)) return out.set_str(*inner);
      break;
    case '(':
    case '[':
    case '{':
      if (is_bracketed(trimmed)) return out.set_literal(trimmed);
      break;
    default:
      break;
  }
  out.set_str(text);
}

}  // namespace

// Most values are a plain word or a plain number, which the first byte tells apart: both are read
// here, the rest by read_typed_value.
void read_query_value(std::string_view text, QueryValue& out) {
  if (!text.empty()) {
    const char first = text.front();
    if (!kTypedStarts[static_cast<unsigned char>(first)]) return out.set_str(text);
    if ((is_digit(first) || first == '.') && read_plain_number(text, out)) return;
  }
  read_typed_value(text, out);
}

QueryValue parse_query_value(std::string_view text) {
  QueryValue value;
  read_query_value(text, value);
  return value;
}

}  // namespace zq
