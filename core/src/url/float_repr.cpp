// Python-style repr of doubles. The shortest round-trip digits come from an exact search in
// 128-bit integers for the doubles most query values are (2^-14 <= |x| < 2^53), and from
// std::to_chars for all others; one writer lays the digits out as repr does.
#include "url/float_repr.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace zq {
namespace {

__extension__ using U128 = unsigned __int128;

// x = d.ddd × 10^exponent, where d.ddd are the decimal digits of `digits` (no trailing zeros).
struct Decimal {
  std::uint64_t digits = 0;
  int exponent = 0;
};

// The exact search covers normal doubles M·2^-shift with 0 <= shift <= 66, which are the
// values 2^-14 <= x < 2^53. Their shortest digits need at most 21 digits after the point.
constexpr int kSearchMaxShift = 66;
constexpr int kSearchMaxFractionDigits = 21;

// The decimal whose digits are `scaled`·10^-fraction_digits, without trailing zeros.
Decimal decimal_of(std::uint64_t scaled, int fraction_digits) {
  while (scaled % 10 == 0) {
    scaled /= 10;
    --fraction_digits;
  }
  int count = 1;
  for (std::uint64_t rest = scaled; rest >= 10; rest /= 10) ++count;
  return {scaled, count - 1 - fraction_digits};
}

// The shortest digits of x = mantissa·2^-shift (mantissa with its leading bit, 53 bits): the
// fewest digits k after the point for which a multiple of 10^-k lies in the interval of values
// that read back as x, and of the two multiples around x the one in it that is closer to x
// (the even one on a tie). The interval reaches halfway to the neighbouring doubles, the ends
// included when the mantissa is even; below a power of two the neighbour is twice as close.
// Everything is scaled by 10^k·2^(shift+2), which keeps it integral and below 2^128:
// x becomes 4·mantissa·10^k and the half-gaps 2·10^k (10^k below a power of two).
std::optional<Decimal> search_shortest(std::uint64_t mantissa, int shift) {
  const bool ends_included = (mantissa & 1) == 0;
  const bool closer_below = mantissa == std::uint64_t{1} << 52;
  const U128 one = U128{1} << shift;
  U128 value = mantissa;  // x·10^k·2^shift
  U128 power = 1;         // 10^k
  for (int k = 0; k <= kSearchMaxFractionDigits; ++k, value *= 10, power *= 10) {
    const auto below = static_cast<std::uint64_t>(value >> shift);
    const U128 rest = value & (one - 1);
    const U128 to_below = rest << 2;
    const U128 to_above = (one - rest) << 2;
    const U128 gap_above = power << 1;
    const U128 gap_below = closer_below ? power : gap_above;
    const bool below_reads_back = to_below < gap_below || (to_below == gap_below && ends_included);
    const bool above_reads_back = to_above < gap_above || (to_above == gap_above && ends_included);
    if (below_reads_back && above_reads_back) {
      const bool take_below = to_below != to_above ? to_below < to_above : (below & 1) == 0;
      return decimal_of(take_below ? below : below + 1, k);
    }
    if (below_reads_back) return decimal_of(below, k);
    if (above_reads_back) return decimal_of(below + 1, k);
  }
  return std::nullopt;
}

// The shortest digits of a finite positive x from std::to_chars' scientific form,
// d[.ddd]e(+|-)XX.
Decimal to_chars_shortest(double x) {
  char buffer[32];
  const std::to_chars_result written =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(written.ptr - buffer));
  const std::size_t marker = scientific.find('e');
  const std::string digits = remove_dots(scientific.substr(0, marker));
  Decimal decimal;
  std::from_chars(digits.data(), digits.data() + digits.size(), decimal.digits);
  std::from_chars(scientific.data() + marker + 2, scientific.data() + scientific.size(), decimal.exponent);
  if (scientific[marker + 1] == '-') decimal.exponent = -decimal.exponent;
  return decimal;
}

Decimal shortest(double magnitude) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const int shift = 1075 - static_cast<int>(bits >> 52);
  if (shift >= 0 && shift <= kSearchMaxShift) {
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    if (auto found = search_shortest(mantissa, shift)) return *found;
  }
  return to_chars_shortest(magnitude);
}

char* put(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

char* put_zeros(char* out, int count) {
  std::memset(out, '0', static_cast<std::size_t>(count));
  return out + count;
}

}  // namespace

std::string remove_dots(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '.') out += c;
  }
  return out;
}

char* write_float_repr(double x, char* out) {
  if (std::isnan(x)) return put(out, "nan");
  if (std::isinf(x)) return put(out, x < 0 ? "-inf" : "inf");
  if (std::signbit(x)) *out++ = '-';
  if (x == 0) return put(out, "0.0");

  const Decimal decimal = shortest(std::fabs(x));
  char digit_buffer[20];
  const char* digits_end = std::to_chars(digit_buffer, digit_buffer + sizeof digit_buffer, decimal.digits).ptr;
  const std::string_view digits(digit_buffer, static_cast<std::size_t>(digits_end - digit_buffer));
  const int count = static_cast<int>(digits.size());
  const int exponent = decimal.exponent;

  if (exponent < -4 || exponent > 15) {
    // d[.ddd]e(+|-)XX: a sign always and at least two exponent digits.
    *out++ = digits[0];
    if (count > 1) {
      *out++ = '.';
      out = put(out, digits.substr(1));
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) *out++ = '0';
    return std::to_chars(out, out + 3, magnitude).ptr;
  }
  if (exponent >= count - 1) {
    out = put(out, digits);
    out = put_zeros(out, exponent - count + 1);
    return put(out, ".0");
  }
  if (exponent >= 0) {
    const auto point = static_cast<std::size_t>(exponent + 1);
    out = put(out, digits.substr(0, point));
    *out++ = '.';
    return put(out, digits.substr(point));
  }
  out = put(out, "0.");
  out = put_zeros(out, -exponent - 1);
  return put(out, digits);
}

std::string format_float_repr(double x) {
  char buffer[kFloatReprMax];
  return std::string(buffer, write_float_repr(x, buffer));
}

}  // namespace zq
