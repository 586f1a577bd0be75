// Header varint reading and writing.
#include "message/header_varint.h"

namespace zq {

namespace {

// Total bytes by size code, and the size code's place in the first byte.
constexpr std::size_t kSizes[4] = {2, 3, 5, 8};

int size_code(std::size_t size) {
  switch (size) {
    case 2: return 0;
    case 3: return 1;
    case 5: return 2;
    default: return 3;
  }
}

}  // namespace

Result<HeaderVarint> read_header_varint(ByteView data) {
  if (data.empty()) return WireError::truncated();
  const std::size_t size = kSizes[data[0] >> 6];
  if (data.size() < size) return WireError::truncated();
  std::uint64_t value = data[0] & 0x3F;
  for (std::size_t i = 1; i < size; ++i) value = (value << 8) | data[i];
  return HeaderVarint{value, size};
}

Result<std::uint64_t> read_header_varint(ByteReader& reader) {
  ZQ_ASSIGN_OR_RETURN(const HeaderVarint read, read_header_varint(reader.rest()));
  reader.skip(read.size);
  return read.value;
}

std::size_t header_varint_size(std::uint64_t value) {
  if (value < (std::uint64_t{1} << 14)) return 2;
  if (value < (std::uint64_t{1} << 22)) return 3;
  if (value < (std::uint64_t{1} << 38)) return 5;
  return 8;
}

Status write_header_varint(std::uint64_t value, Bytes& out) {
  return write_header_varint(value, header_varint_size(value), out);
}

Status write_header_varint(std::uint64_t value, std::size_t size, Bytes& out) {
  if (value > kMaxHeaderVarint) return WireError::too_large();
  std::uint8_t buf[8];
  out.append(buf, static_cast<std::size_t>(put_header_varint(value, size, buf) - buf));
  return {};
}

std::uint8_t* put_header_varint(std::uint64_t value, std::size_t size, std::uint8_t* p) {
  const std::uint64_t word = value | (static_cast<std::uint64_t>(size_code(size)) << (8 * size - 2));
  for (std::size_t i = 0; i < size; ++i) p[i] = static_cast<std::uint8_t>(word >> (8 * (size - 1 - i)));
  return p + size;
}

}  // namespace zq
