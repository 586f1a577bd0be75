// Fuzzes decode_value: bit 0 of the first byte selects ext_as_bytes, the rest is the input.
// A decoded value has exactly the packed form that Value's own makers give it, item by item;
// read_value agrees with it; it encodes again unless it holds what the encoder refuses (nesting
// 512 deep, timestamp nanos above 999999999), and its encoding decodes to the same value.
#include <cstdint>
#include <optional>

#include "fuzz_check.h"
#include "serialization/msgpack.h"
#include "value_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool ext_as_bytes = (data[0] & 1) != 0;
  const zq::ByteView input(data + 1, size - 1);
  std::size_t pos = 0;
  const auto decoded = zq::decode_value(input, pos, ext_as_bytes);
  std::size_t read_pos = 0;
  const auto read = zq::read_value(input, read_pos, ext_as_bytes);
  if (!decoded.ok()) {
    ZQ_FUZZ_CHECK(!read.ok() && read.error() == decoded.error());
    return 0;
  }
  ZQ_FUZZ_CHECK(pos > 0 && pos <= input.size());
  ZQ_FUZZ_CHECK(read.ok() && read_pos == pos && read->view().packed().size() == decoded->packed().size());
  ZQ_FUZZ_CHECK(zq::fuzz::same_value(zq::fuzz::rebuilt(read->view()), *decoded));
  ZQ_FUZZ_CHECK(zq::fuzz::same_value(zq::fuzz::rebuilt(decoded->view()), *decoded));

  zq::Bytes once;
  const auto status = zq::encode_value(*decoded, once);
  if (const auto refused = zq::fuzz::first_encode_failure(decoded->view(), 0)) {
    ZQ_FUZZ_CHECK(!status.ok() && status.error() == *refused && !zq::encodable(*decoded));
    return 0;
  }
  ZQ_FUZZ_CHECK(status.ok() && zq::encodable(*decoded));
  const auto to_bytes = zq::encode_value_to_bytes(*decoded);
  ZQ_FUZZ_CHECK(to_bytes.ok() && *to_bytes == once);

  std::size_t pos_again = 0;
  const auto again = zq::decode_value(once, pos_again, ext_as_bytes);
  ZQ_FUZZ_CHECK(again.ok() && pos_again == once.size() && zq::fuzz::same_value(*again, *decoded));
  return 0;
}
