// VFSD containers: a path, timestamps and `count` frames, the frames optionally zstd-compressed.
#include "compress/compression.h"
#include "container/container.h"
#include "container/headers.h"
#include "container/internal/container_body.h"
#include "container/vfsd_frames.h"

namespace zq {

Result<VFSDContainer> decode_vfsd(ByteView data) {
  ZQ_ASSIGN_OR_RETURN(const VFSDHeader header, parse_vfsd_header(data));
  ZQ_ASSIGN_OR_RETURN(const internal::ContainerBody body,
                      internal::read_container_body(data, header.header_len, header.compression_info));
  VFSDContainer container;
  ZQ_ASSIGN_OR_RETURN(container.frames, decode_vfsd_frames(body.view, header.count));
  container.path = std::string(header.path);
  container.version = header.version;
  container.created_ns = header.created_ns;
  container.updated_ns = header.updated_ns;
  container.epoch = header.epoch;
  container.count = header.count;
  container.compression_info = header.compression_info;
  return container;
}

Result<Bytes> encode_vfsd(const VFSDContainer& container) {
  if (container.frames.size() != container.count) return WireError::invalid("VFSD frame count mismatch");
  ZQ_ASSIGN_OR_RETURN(const Bytes frames, encode_vfsd_frames(container.frames));
  const CompressionInfo setting = container.compression_info.value_or(CompressionInfo{});
  ZQ_ASSIGN_OR_RETURN(const CompressedBody body, compress_payload(frames, setting));

  Bytes out;
  out.reserve(body.view.size() + 16 + container.path.size());
  const VFSDHeader header{
      container.version, setting, container.path, container.count, container.created_ns, container.updated_ns,
      container.epoch,   0};
  ZQ_RETURN_IF_ERROR(write_vfsd_header(header, out));
  append(out, body.view);
  return out;
}

}  // namespace zq
