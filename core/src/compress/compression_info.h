// How a container body is stored: four whole-byte fields, packed on the wire into the
// compression byte (bit 7 compressed, bit 6 pretrained map, bits 5-2 algorithm, bits 1-0 level).
#pragma once

#include <cstdint>

namespace zq {

struct CompressionInfo {
  std::uint8_t compressed = 0;
  std::uint8_t pretrained_map = 0;
  std::uint8_t algorithm = 0;
  std::uint8_t level = 0;
  friend bool operator==(const CompressionInfo&, const CompressionInfo&) = default;
};

}  // namespace zq
