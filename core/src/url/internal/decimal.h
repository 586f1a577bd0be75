// Reading a port: a non-empty run of ASCII decimal digits into an unsigned 64-bit number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zq::internal {

// Leading zeros are allowed. nullopt when `digits` is empty, holds a non-digit or exceeds 2^64-1.
inline std::optional<std::uint64_t> parse_decimal_u64(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  // Nineteen digits stay below 10^19 < 2^64, so only a longer run needs overflow checks.
  constexpr std::size_t kUncheckedDigits = 19;
  const bool checked = digits.size() > kUncheckedDigits;
  std::uint64_t value = 0;
  for (char c : digits) {
    const auto digit = static_cast<std::uint64_t>(static_cast<unsigned char>(c) - '0');
    if (digit > 9) return std::nullopt;
    if (!checked) {
      value = value * 10 + digit;
    } else if (__builtin_mul_overflow(value, 10, &value) || __builtin_add_overflow(value, digit, &value)) {
      return std::nullopt;
    }
  }
  return value;
}

}  // namespace zq::internal
