// Reading a container body after its header: in place when stored plain, decompressed otherwise.
#pragma once

#include <cstddef>

#include "common/bytes.h"
#include "common/result.h"
#include "compress/compression_info.h"

namespace zq::internal {

struct ContainerBody {
  ByteView view;       // the body: into the container's bytes, or into `decompressed`
  Bytes decompressed;  // owns what `view` shows when the body was compressed
  bool was_compressed = false;

  // The body as owned bytes: the decompressed buffer itself, or one copy of the input.
  Bytes take() && { return was_compressed ? std::move(decompressed) : Bytes(view.begin(), view.end()); }
};

// The bytes of `data` from `header_len` on, decompressed when `info.compressed` is set.
// Fails with "pretrained map decompression not implemented", "unknown compression algorithm code"
// or the error of decompression.
Result<ContainerBody> read_container_body(ByteView data, std::size_t header_len, const CompressionInfo& info);

}  // namespace zq::internal
