// Fuzzes decode_value: bit 0 of the first byte selects ext_as_bytes, the rest is the input.
// A decoded value encodes again unless it holds what the encoder refuses (nesting 512 deep,
// timestamp nanos above 999999999), and its encoding decodes to a value with the same encoding.
#include <cstdint>
#include <optional>

#include "fuzz_check.h"
#include "serialization/msgpack.h"

namespace {

using zq::SerializationError;
using zq::Value;

// The failure encode_value meets first, walking `v` in its order, if any.
std::optional<SerializationError> first_encode_failure(const Value& v, std::size_t depth) {
  switch (v.kind()) {
    case Value::Kind::Array:
      if (depth >= zq::kMaxEncodeDepth) return SerializationError::DepthExceeded;
      for (const Value& item : v.as_array()) {
        if (auto e = first_encode_failure(item, depth + 1)) return e;
      }
      return std::nullopt;
    case Value::Kind::Map:
      if (depth >= zq::kMaxEncodeDepth) return SerializationError::DepthExceeded;
      for (const zq::ValuePair& pair : v.as_map()) {
        if (auto e = first_encode_failure(pair.key, depth + 1)) return e;
        if (auto e = first_encode_failure(pair.value, depth + 1)) return e;
      }
      return std::nullopt;
    case Value::Kind::Timestamp:
      if (v.as_timestamp().nanos > 999999999) return SerializationError::NotEncodable;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool ext_as_bytes = (data[0] & 1) != 0;
  const zq::ByteView input(data + 1, size - 1);
  std::size_t pos = 0;
  const auto decoded = zq::decode_value(input, pos, ext_as_bytes);
  if (!decoded.ok()) return 0;
  ZQ_FUZZ_CHECK(pos > 0 && pos <= input.size());

  zq::Bytes once;
  const auto status = zq::encode_value(*decoded, once);
  if (const auto refused = first_encode_failure(*decoded, 0)) {
    ZQ_FUZZ_CHECK(!status.ok() && status.error() == *refused);
    return 0;
  }
  ZQ_FUZZ_CHECK(status.ok());
  const auto to_bytes = zq::encode_value_to_bytes(*decoded);
  ZQ_FUZZ_CHECK(to_bytes.ok() && *to_bytes == once);

  // Compared as encodings, since a NaN never equals itself.
  std::size_t pos_again = 0;
  const auto again = zq::decode_value(once, pos_again, ext_as_bytes);
  ZQ_FUZZ_CHECK(again.ok() && pos_again == once.size());
  zq::Bytes twice;
  ZQ_FUZZ_CHECK(zq::encode_value(*again, twice).ok() && twice == once);
  return 0;
}
