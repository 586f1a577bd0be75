// zstd compression of container bodies, and decompression under a 1 GiB output limit.
#pragma once

#include <cstddef>
#include <variant>

#include "common/bytes.h"
#include "common/result.h"
#include "compress/compression_info.h"

namespace zq {

inline constexpr std::size_t kMaxDecompressedSize = std::size_t{1} << 30;

// Either the caller's input, untouched (not compressed), or a new compressed byte string.
struct CompressedBody {
  ByteView view;  // what to store as the body; points into `owned` or into the input
  Bytes owned;
};

// Checks `info` (pretrained map, algorithm, level) and compresses at the level code's zstd level.
// With `compressed` 0 returns a view of `data` itself.
Result<CompressedBody> compress_payload(ByteView data, const CompressionInfo& info);

// Restores a compressed body: one-shot into a buffer of the first frame's stated size, or
// streaming when no usable size is stated. Any failure is Invalid "zstd decompression failed".
Result<Bytes> decompress_payload(ByteView data);

}  // namespace zq
