// Fuzzes decode_vfsd_frames: the first byte is the expected frame count, the rest the body. Frames
// it accepts encode again, no longer than the body, and decode to the same frames.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "container/vfsd_frames.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "decode_vfsd_frames: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint64_t expected_count = data[0];
  const zq::ByteView body(data + 1, size - 1);
  const auto frames = zq::decode_vfsd_frames(body, expected_count);
  if (!frames.ok()) return 0;
  if (frames->size() != expected_count) fail("frame count differs from the expected count");
  const auto encoded = zq::encode_vfsd_frames(*frames);
  if (!encoded.ok()) fail("decoded frames do not encode again");
  // Every item is written in its smallest form.
  if (encoded->size() > body.size()) fail("re-encoded body is longer than the body read");
  const auto again = zq::decode_vfsd_frames(*encoded, expected_count);
  if (!again.ok() || *again != *frames) fail("re-encoded frames decode to other frames");
  return 0;
}
