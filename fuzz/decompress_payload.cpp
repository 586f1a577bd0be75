// Fuzzes decompress_payload: it fails only with its one error, never returns more than 1 GiB,
// and what it returns survives compression and decompression unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "compress/compression.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "decompress_payload: %s\n", what);
  std::abort();
}

// Larger outputs are only checked for their size, to keep the run fast.
constexpr std::size_t kRoundTripLimit = std::size_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto restored = zq::decompress_payload({data, size});
  if (!restored.ok()) {
    if (!(restored.error() == zq::WireError::invalid("zstd decompression failed"))) fail("unexpected error");
    return 0;
  }
  if (restored->size() > zq::kMaxDecompressedSize) fail("output above 1 GiB");
  if (restored->size() > kRoundTripLimit) return 0;
  const auto compressed = zq::compress_payload(*restored, {1, 0, 0, 0});
  if (!compressed.ok()) fail("output does not compress");
  const auto again = zq::decompress_payload(compressed->view);
  if (!again.ok() || *again != *restored) fail("output does not survive a round trip");
  return 0;
}
