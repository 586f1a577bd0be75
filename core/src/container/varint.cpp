// Container varint and varint-prefixed byte strings.
#include "container/varint.h"

#include "serialization/big_endian.h"

namespace zq {

Result<VarintRead> read_varint(ByteView data) {
  if (data.empty()) return WireError::truncated();
  const std::size_t size = std::size_t{1} << (data[0] >> 6);
  if (data.size() < size) return WireError::truncated();
  std::uint64_t value = data[0] & 0x3F;
  for (std::size_t i = 1; i < size; ++i) value = (value << 8) | data[i];
  return VarintRead{value, size};
}

Result<PrefixedRead> read_varint_prefixed(ByteView data) {
  ZQ_ASSIGN_OR_RETURN(const VarintRead n, read_varint(data));
  // Compared with what remains, so that a huge declared length cannot overflow an offset.
  if (data.size() - n.size < n.value) return WireError::truncated();
  return PrefixedRead{data.subspan(n.size, static_cast<std::size_t>(n.value)),
                      n.size + static_cast<std::size_t>(n.value)};
}

std::uint8_t* put_varint(std::uint64_t value, std::uint8_t* p) {
  if (value <= 63) {
    *p = static_cast<std::uint8_t>(value);
    return p + 1;
  }
  if (value <= 16383) {
    store_be(p, static_cast<std::uint16_t>(value | 0x4000));
    return p + 2;
  }
  if (value <= 1073741823) {
    store_be(p, static_cast<std::uint32_t>(value) | 0x80000000U);
    return p + 4;
  }
  store_be(p, value | (std::uint64_t{3} << 62));
  return p + 8;
}

Status write_varint(std::uint64_t value, Bytes& out) {
  if (value > kMaxVarint) [[unlikely]] return WireError::too_large();
  std::uint8_t buf[8];
  out.append(buf, static_cast<std::size_t>(put_varint(value, buf) - buf));
  return {};
}

Status write_varint_prefixed(ByteView bytes, Bytes& out) {
  ZQ_RETURN_IF_ERROR(write_varint(bytes.size(), out));
  append(out, bytes);
  return {};
}

Result<std::uint64_t> read_varint(ByteReader& reader) {
  ZQ_ASSIGN_OR_RETURN(const VarintRead read, read_varint(reader.rest()));
  reader.skip(read.size);
  return read.value;
}

Result<ByteView> read_varint_prefixed(ByteReader& reader) {
  ZQ_ASSIGN_OR_RETURN(const PrefixedRead read, read_varint_prefixed(reader.rest()));
  reader.skip(read.size);
  return read.bytes;
}

}  // namespace zq
