// Fuzzes the float writer: every 8 bytes of input are a double, whose text must be the to_chars
// reference's, fit kFloatReprMax, and (when finite) read back as a query value with the same bits.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "../core/tests/float_reference.h"
#include "fuzz_check.h"
#include "url/float_repr.h"
#include "url/query_value.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 0; at + 8 <= size; at += 8) {
    std::uint64_t bits;
    std::memcpy(&bits, data + at, 8);
    const double x = std::bit_cast<double>(bits);
    const std::string text = zq::format_float_repr(x);
    ZQ_FUZZ_CHECK(text == zq::reference::float_repr(x));
    ZQ_FUZZ_CHECK(text.size() <= zq::kFloatReprMax);
    if (!std::isfinite(x)) continue;
    const zq::QueryValue read = zq::parse_query_value(text);
    ZQ_FUZZ_CHECK(read.kind() == zq::QueryValue::Kind::Float);
    ZQ_FUZZ_CHECK(std::bit_cast<std::uint64_t>(read.as_float()) == bits);
  }
  return 0;
}
