// Reading a port: a non-empty run of ASCII decimal digits into an unsigned 64-bit number.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace zq::internal {

// Leading zeros are allowed. nullopt when `digits` is empty, holds a non-digit or exceeds 2^64-1.
inline std::optional<std::uint64_t> parse_decimal_u64(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kMax - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace zq::internal
