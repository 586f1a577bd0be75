// The container varint (1, 2, 4 or 8 bytes, big-endian, size in the top two bits of the first
// byte) and varint-prefixed byte strings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/byte_reader.h"
#include "common/bytes.h"
#include "common/result.h"

namespace zq {

inline constexpr std::uint64_t kMaxVarint = (std::uint64_t{1} << 62) - 1;

struct VarintRead {
  std::uint64_t value;
  std::size_t size;  // bytes occupied
};

struct PrefixedRead {
  ByteView bytes;    // view into the input
  std::size_t size;  // varint size plus the bytes
};

// Truncated when `data` is empty or shorter than the size code asks.
Result<VarintRead> read_varint(ByteView data);
// Truncated when the varint or the bytes it announces are cut off.
Result<PrefixedRead> read_varint_prefixed(ByteView data);
// Appends the smallest form; TooLarge above 2^62-1, appending nothing.
Status write_varint(std::uint64_t value, Bytes& out);
// Writes the smallest form of `value` (at most 2^62-1) at `p`, which has room for 8 bytes;
// returns the end.
std::uint8_t* put_varint(std::uint64_t value, std::uint8_t* p);
// Appends the length of `bytes` as a varint, then the bytes.
Status write_varint_prefixed(ByteView bytes, Bytes& out);

// The same reads at a cursor, which moves past what was read and stays put on an error.
Result<std::uint64_t> read_varint(ByteReader& reader);
Result<ByteView> read_varint_prefixed(ByteReader& reader);

}  // namespace zq
