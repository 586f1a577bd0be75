// Fuzzes decode_container: every container it accepts encodes again, unless it holds what the
// encoders refuse, into bytes that decode to the same record.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "container/container.h"
#include "container_checks.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "decode_container: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto decoded = zq::decode_container({data, size});
  if (!decoded.ok()) return 0;
  const auto encoded = zq::encode_container(*decoded);
  if (!encoded.ok()) {
    if (!zq::fuzz::refusal_expected(*decoded, encoded.error())) fail("a decoded container does not encode again");
    return 0;
  }
  const auto again = zq::decode_container(*encoded);
  if (!again.ok()) fail("a re-encoded container does not decode");
  if (!zq::fuzz::same_record(*decoded, *again)) fail("a re-encoded container decodes to another record");
  return 0;
}
