// Python-style repr of doubles on top of the shortest round-trip digits of std::to_chars.
#include "url/float_repr.h"

#include <charconv>
#include <cmath>

namespace zq {

std::string remove_dots(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '.') out += c;
  }
  return out;
}

std::string format_float_repr(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x < 0 ? "-inf" : "inf";

  // Shortest scientific form: [-]d[.ddd]e(+|-)XX, no trailing zeros in the mantissa.
  char buffer[32];
  const std::to_chars_result written =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific);
  std::string_view scientific(buffer, static_cast<std::size_t>(written.ptr - buffer));
  const bool negative = scientific[0] == '-';
  if (negative) scientific.remove_prefix(1);

  const std::size_t marker = scientific.find('e');
  const std::string_view mantissa = scientific.substr(0, marker);
  int exponent = 0;
  std::from_chars(scientific.data() + marker + 2, scientific.data() + scientific.size(), exponent);
  if (scientific[marker + 1] == '-') exponent = -exponent;

  std::string out;
  out.reserve(24);
  if (negative) out += '-';
  if (exponent < -4 || exponent > 15) {
    // to_chars writes the exponent as repr does: a sign always and at least two digits.
    out += scientific;
    return out;
  }

  const std::string digits = remove_dots(mantissa);
  const int count = static_cast<int>(digits.size());
  if (exponent >= count - 1) {
    out += digits;
    out.append(static_cast<std::size_t>(exponent - count + 1), '0');
    out += ".0";
  } else if (exponent >= 0) {
    const auto point = static_cast<std::size_t>(exponent + 1);
    out.append(digits, 0, point);
    out += '.';
    out.append(digits, point);
  } else {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  }
  return out;
}

}  // namespace zq
