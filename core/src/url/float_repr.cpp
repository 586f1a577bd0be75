// Python-style repr of doubles. The shortest round-trip digits come from an exact search in
// 128-bit integers for the short decimals most query values are, and from std::to_chars for all
// others; one writer lays the digits out as repr does.
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

// Room for the digits of either source: to_chars' scientific form of a double takes at most 24
// bytes, the search's digits at most 20.
constexpr std::size_t kDigitsRoom = 32;

// The shortest digits, written out without trailing zeros, and the decimal exponent of the
// first: x = d.ddd × 10^exponent.
struct Digits {
  int count = 0;
  int exponent = 0;
};

// The exact search covers normal doubles M·2^-shift with 0 <= shift <= 66 (the values
// 2^-14 <= x < 2^53) whose shortest digits end within a few places after the point, as most
// query values do. Longer digits are left to std::to_chars, which is faster for them.
constexpr int kSearchMaxShift = 66;
constexpr int kSearchMaxFractionDigits = 4;

// Writes the digits of `scaled`·10^-fraction_digits at `out`.
Digits write_digits(std::uint64_t scaled, int fraction_digits, char* out) {
  const auto count = static_cast<int>(std::to_chars(out, out + kDigitsRoom, scaled).ptr - out);
  Digits digits{count, count - 1 - fraction_digits};
  while (digits.count > 1 && out[digits.count - 1] == '0') --digits.count;
  return digits;
}

// The shortest digits of x = mantissa·2^-shift (mantissa with its leading bit, 53 bits) when
// they end within kSearchMaxFractionDigits after the point: the fewest digits k after the point
// for which a multiple of 10^-k lies in the interval of values that read back as x, and of the
// two multiples around x the one in it that is closer to x (the even one on a tie). The
// interval reaches halfway to the neighbouring doubles, the ends included when the mantissa is
// even; below a power of two the neighbour is twice as close. (An end of the interval needs
// more digits after the point than x itself, so within four digits x is found first or neither
// is reached: the ends decide nothing here, and are kept so that the search is exact without
// that argument.) Everything is scaled by
// 10^k·2^(shift+2), which keeps it integral and below 2^128: x becomes 4·mantissa·10^k and the
// half-gaps 2·10^k (10^k below a power of two).
std::optional<Digits> search_shortest(std::uint64_t mantissa, int shift, char* out) {
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
      return write_digits(take_below ? below : below + 1, k, out);
    }
    if (below_reads_back) return write_digits(below, k, out);
    if (above_reads_back) return write_digits(below + 1, k, out);
  }
  return std::nullopt;
}

// The shortest digits of a finite positive x from std::to_chars' scientific form,
// d[.ddd]e(+|-)XX, written at `out` without the point.
Digits to_chars_shortest(double x, char* out) {
  const char* end = std::to_chars(out, out + kDigitsRoom, x, std::chars_format::scientific).ptr;
  // The exponent has two or three digits.
  const char* marker = end - 4;
  if (*marker != 'e') --marker;
  int exponent = 0;
  for (const char* at = marker + 2; at != end; ++at) exponent = exponent * 10 + (*at - '0');
  if (marker[1] == '-') exponent = -exponent;
  const char* digits_end = remove_dots(std::string_view(out, static_cast<std::size_t>(marker - out)), out);
  return {static_cast<int>(digits_end - out), exponent};
}

Digits shortest(double magnitude, char* out) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const int shift = 1075 - static_cast<int>(bits >> 52);
  if (shift >= 0 && shift <= kSearchMaxShift) {
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    if (const auto found = search_shortest(mantissa, shift, out)) return *found;
  }
  return to_chars_shortest(magnitude, out);
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

char* remove_dots(std::string_view text, char* out) {
  // Every byte is stored and the cursor moves past all but a ".": no branch per byte.
  for (char c : text) {
    *out = c;
    out += c != '.';
  }
  return out;
}

std::string remove_dots(std::string_view text) {
  std::string out(text.size(), '\0');
  out.resize(static_cast<std::size_t>(remove_dots(text, out.data()) - out.data()));
  return out;
}

char* write_float_repr(double x, char* out) {
  if (std::isnan(x)) return put(out, "nan");
  if (std::isinf(x)) return put(out, x < 0 ? "-inf" : "inf");
  if (std::signbit(x)) *out++ = '-';
  if (x == 0) return put(out, "0.0");

  char digit_buffer[kDigitsRoom];
  const auto [count, exponent] = shortest(std::fabs(x), digit_buffer);
  const std::string_view digits(digit_buffer, static_cast<std::size_t>(count));

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
