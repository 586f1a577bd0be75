// The header varint of the request and response headers (2, 3, 5 or 8 bytes, big-endian, size
// code in the top two bits of the first byte) and the payload framing the headers announce.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/byte_reader.h"
#include "common/bytes.h"
#include "common/result.h"

namespace zq {

inline constexpr std::uint64_t kMaxHeaderVarint = (std::uint64_t{1} << 62) - 1;

struct HeaderVarint {
  std::uint64_t value;
  std::size_t size;  // bytes occupied
};

// Truncated when `data` is empty or shorter than the size code asks. Longer forms than needed
// are read.
Result<HeaderVarint> read_header_varint(ByteView data);
// The same at a cursor, which moves past the varint and stays put on an error.
Result<std::uint64_t> read_header_varint(ByteReader& reader);

// Bytes of the smallest form of `value` (at most kMaxHeaderVarint): 2, 3, 5 or 8.
std::size_t header_varint_size(std::uint64_t value);
// Appends the smallest form; TooLarge above 2^62-1, appending nothing.
Status write_header_varint(std::uint64_t value, Bytes& out);
// Appends `value` in the form of `size` bytes (2, 3, 5 or 8), which must be at least its
// smallest; TooLarge above 2^62-1, appending nothing.
Status write_header_varint(std::uint64_t value, std::size_t size, Bytes& out);
// Writes `value` (at most 2^62-1) in the form of `size` bytes, at least its smallest, at `p`;
// returns the end.
std::uint8_t* put_header_varint(std::uint64_t value, std::size_t size, std::uint8_t* p);

// How the payload after a header is framed.
enum class PayloadMode : std::uint8_t {
  Absent = 0,  // no payload: the message ends with the header
  ToEnd = 1,   // every byte after the header
  Sized = 2,   // the header ends with the payload length; the message ends after that many bytes
};

struct PayloadFraming {
  PayloadMode mode = PayloadMode::Absent;
  std::uint64_t length = 0;  // Sized: the announced length (see each header for ToEnd)
  friend bool operator==(const PayloadFraming&, const PayloadFraming&) = default;
};

}  // namespace zq
