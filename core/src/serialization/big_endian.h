// Big-endian loads and stores of unsigned integers: the one place that knows the host byte order.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <cstring>

namespace zq {

template <std::unsigned_integral T>
constexpr T to_big_endian(T v) {
  if constexpr (std::endian::native == std::endian::big || sizeof(T) == 1) {
    return v;
  } else if constexpr (sizeof(T) == 2) {
    return __builtin_bswap16(v);
  } else if constexpr (sizeof(T) == 4) {
    return __builtin_bswap32(v);
  } else {
    static_assert(sizeof(T) == 8);
    return __builtin_bswap64(v);
  }
}

// Reads sizeof(T) bytes at `p`; the caller has checked that they are there.
template <std::unsigned_integral T>
inline T load_be(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return to_big_endian(v);
}

// Writes sizeof(T) bytes at `p`; the caller has made room for them.
template <std::unsigned_integral T>
inline void store_be(std::uint8_t* p, T v) {
  v = to_big_endian(v);
  std::memcpy(p, &v, sizeof v);
}

}  // namespace zq
