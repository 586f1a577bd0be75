// Header varint reading and writing.
#include "message/header_varint.h"

#include "serialization/big_endian.h"

namespace zq {

namespace {

// Total bytes by size code.
constexpr std::size_t kSizes[4] = {2, 3, 5, 8};

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
  switch (size) {
    case 2:
      store_be<std::uint16_t>(p, static_cast<std::uint16_t>(value));
      break;
    case 3:
      p[0] = static_cast<std::uint8_t>(0x40 | value >> 16);
      store_be<std::uint16_t>(p + 1, static_cast<std::uint16_t>(value));
      break;
    case 5:
      p[0] = static_cast<std::uint8_t>(0x80 | value >> 32);
      store_be<std::uint32_t>(p + 1, static_cast<std::uint32_t>(value));
      break;
    default:
      store_be<std::uint64_t>(p, value | std::uint64_t{3} << 62);
      break;
  }
  return p + size;
}

}  // namespace zq
