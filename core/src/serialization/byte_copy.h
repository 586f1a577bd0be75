// Copies raw bytes into a new Bytes with one memcpy. Range construction of Bytes goes through
// its allocator's construct() byte by byte, which is several times slower for large payloads.
#pragma once

#include <cstring>

#include "common/bytes.h"

namespace zq {

inline Bytes copy_to_bytes(const std::uint8_t* data, std::size_t size) {
  Bytes out;
  out.resize(size);  // no zero-filling
  if (size != 0) std::memcpy(out.data(), data, size);
  return out;
}

}  // namespace zq
