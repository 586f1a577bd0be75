// Hex text for test fixtures: "00 02 c0" to bytes and back, so cases read like the wire.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "common/bytes.h"

namespace zq::test {

// Pairs of hex digits; spaces are ignored.
inline Bytes from_hex(std::string_view hex) {
  auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  Bytes out;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); ++i) {
    if (hex[i] == ' ') continue;
    out.push_back(static_cast<std::uint8_t>(digit(hex[i]) << 4 | digit(hex[i + 1])));
    ++i;
  }
  return out;
}

// Lower-case pairs separated by single spaces.
inline std::string to_hex(ByteView bytes) {
  std::string out;
  char pair[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    if (!out.empty()) out += ' ';
    out += pair;
  }
  return out;
}

}  // namespace zq::test
