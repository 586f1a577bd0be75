// FAT manifest containers: the 32-byte identifiers of a file's parts, optionally zstd-compressed,
// under a header with sizes, an optional 16-byte checksum and a creation time.
#include <algorithm>

#include "compress/compression.h"
#include "container/container.h"
#include "container/headers.h"
#include "container/internal/container_body.h"

namespace zq {
namespace {

constexpr std::size_t kPartIdSize = 32;

// Compared by division, so a huge `parts_count` cannot overflow into a match.
bool holds_parts(std::size_t length, std::uint64_t parts_count) {
  return length % kPartIdSize == 0 && length / kPartIdSize == parts_count;
}

}  // namespace

Result<FATManifestContainer> decode_fat_manifest(ByteView data) {
  ZQ_ASSIGN_OR_RETURN(const FATManifestHeader header, parse_fat_manifest_header(data));
  FATManifestContainer container;
  if (header.checksum.size() == 16) {
    container.checksum.emplace();
    std::copy(header.checksum.begin(), header.checksum.end(), container.checksum->begin());
  } else if (!header.checksum.empty()) {
    return WireError::invalid("checksum must be bytes(16)");
  }
  ZQ_ASSIGN_OR_RETURN(internal::ContainerBody body,
                      internal::read_container_body(data, header.header_len, header.compression_info));
  if (body.view.size() % kPartIdSize != 0) {
    return WireError::invalid("FAT manifest payload length must be divisible by 32");
  }
  if (!holds_parts(body.view.size(), header.parts_count)) return WireError::invalid("FAT manifest part count mismatch");
  container.size = header.size;
  container.part_size = header.part_size;
  container.parts_count = header.parts_count;
  container.payload = std::move(body).take();
  container.created_ns = header.created_ns;
  container.version = header.version;
  container.compression_info = header.compression_info;
  return container;
}

Result<Bytes> encode_fat_manifest(const FATManifestContainer& container) {
  if (!holds_parts(container.payload.size(), container.parts_count)) {
    return WireError::invalid("FAT manifest part count mismatch");
  }
  if (container.parts_count == 0) return WireError::invalid("parts_count must be > 0");
  const CompressionInfo setting = container.compression_info.value_or(CompressionInfo{});
  ZQ_ASSIGN_OR_RETURN(const CompressedBody body, compress_payload(container.payload, setting));

  Bytes out;
  out.reserve(body.view.size() + 24);
  const ByteView checksum = container.checksum ? ByteView(*container.checksum) : ByteView();
  const FATManifestHeader header{container.version,     setting,  container.size,       container.part_size,
                                 container.parts_count, checksum, container.created_ns, 0};
  ZQ_RETURN_IF_ERROR(write_fat_manifest_header(header, out));
  append(out, body.view);
  return out;
}

}  // namespace zq
