// Reading a container body after its header: in place when stored plain, decompressed otherwise.
#include "container/internal/container_body.h"

#include "compress/compression.h"

namespace zq::internal {

Result<ContainerBody> read_container_body(ByteView data, std::size_t header_len, const CompressionInfo& info) {
  ContainerBody body;
  body.view = data.subspan(header_len);
  // A plain body ignores the other compression fields, whatever they hold.
  if (info.compressed == 0) return body;
  if (info.pretrained_map != 0) return WireError::invalid("pretrained map decompression not implemented");
  if (info.algorithm != 0) return WireError::invalid("unknown compression algorithm code");
  ZQ_ASSIGN_OR_RETURN(body.decompressed, decompress_payload(body.view));
  body.view = body.decompressed;
  body.was_compressed = true;
  return body;
}

}  // namespace zq::internal
