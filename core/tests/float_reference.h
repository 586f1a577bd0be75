// Straightforward references for float texts, kept apart from the core: repr() laid out from
// std::to_chars' shortest scientific form, and reading through std::from_chars. The core's
// own float writer and reader must give exactly these results.
#pragma once

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace zq::reference {

inline std::string float_repr(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
  char buffer[32];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific);
  std::string_view scientific(buffer, static_cast<std::size_t>(written.ptr - buffer));
  std::string out;
  if (scientific[0] == '-') {
    out += '-';
    scientific.remove_prefix(1);
  }
  const std::size_t marker = scientific.find('e');
  const int exponent = std::stoi(std::string(scientific.substr(marker + 1)));
  if (exponent < -4 || exponent > 15) return out.append(scientific);

  std::string digits;
  for (char c : scientific.substr(0, marker)) {
    if (c != '.') digits += c;
  }
  const int count = static_cast<int>(digits.size());
  if (exponent >= count - 1) {
    out.append(digits).append(static_cast<std::size_t>(exponent - count + 1), '0').append(".0");
  } else if (exponent >= 0) {
    const auto point = static_cast<std::size_t>(exponent + 1);
    out.append(digits, 0, point).append(".").append(digits, point);
  } else {
    out.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
  }
  return out;
}

// The double nearest to a decimal text of the float grammar, underscores dropped; nullopt when
// it lies beyond the range of doubles.
inline std::optional<double> read_float(std::string_view text) {
  std::string number;
  for (char c : text) {
    if (c != '_') number += c;
  }
  const bool negative = !number.empty() && number[0] == '-';
  std::string_view body(number);
  if (!body.empty() && (body[0] == '-' || body[0] == '+')) body.remove_prefix(1);
  double value = 0;
  const auto read = std::from_chars(body.data(), body.data() + body.size(), value);
  if (read.ec != std::errc() || read.ptr != body.data() + body.size()) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace zq::reference
