// STP and DMP containers: one MessagePack value filling the body, optionally zstd-compressed.
#include "compress/compression.h"
#include "container/headers.h"
#include "objects/container.h"
#include "objects/internal/container_body.h"
#include "serialization/msgpack.h"

namespace zq {
namespace {

constexpr WireError kBadPayload = WireError::invalid("bad msgpack payload");

// The body must be exactly one value.
Result<Value> decode_value_body(ByteView body) {
  std::size_t position = 0;
  auto value = decode_value(body, position, /*ext_as_bytes=*/true);
  if (!value.ok() || position != body.size()) return kBadPayload;
  return std::move(value).value();
}

// Shared by STP and DMP. `write_header(info, out)` appends the kind's header with that setting.
// A compressed value goes through the thread's scratch buffer and then zstd; a plain one is
// encoded straight after the header.
template <class WriteHeader>
Result<Bytes> encode_value_container(const Value& payload, const std::optional<CompressionInfo>& setting,
                                     std::size_t plain_capacity, std::size_t header_room, WriteHeader write_header) {
  Bytes out;
  if (setting && setting->compressed != 0) {
    auto encoded = encode_value_to_bytes(payload);
    if (!encoded.ok()) return kBadPayload;
    ZQ_ASSIGN_OR_RETURN(CompressedBody body, compress_payload(*encoded, *setting));
    out.reserve(body.view.size() + header_room);
    ZQ_RETURN_IF_ERROR(write_header(*setting, out));
    append(out, body.view);
    return out;
  }
  CompressionInfo plain = setting.value_or(CompressionInfo{});
  plain.compressed = 0;
  out.reserve(plain_capacity);
  ZQ_RETURN_IF_ERROR(write_header(plain, out));
  if (!encode_value(payload, out).ok()) return kBadPayload;
  return out;
}

}  // namespace

Result<STPContainer> decode_stp(ByteView data) {
  ZQ_ASSIGN_OR_RETURN(const STPHeader header, parse_stp_header(data));
  ZQ_ASSIGN_OR_RETURN(const internal::ContainerBody body,
                      internal::read_container_body(data, header.header_len, header.compression_info));
  STPContainer container;
  ZQ_ASSIGN_OR_RETURN(container.payload, decode_value_body(body.view));
  container.version = header.version;
  container.compression_info = header.compression_info;
  return container;
}

Result<DMPContainer> decode_dmp(ByteView data) {
  ZQ_ASSIGN_OR_RETURN(const DMPHeader header, parse_dmp_header(data));
  ZQ_ASSIGN_OR_RETURN(const internal::ContainerBody body,
                      internal::read_container_body(data, header.header_len, header.compression_info));
  DMPContainer container;
  ZQ_ASSIGN_OR_RETURN(container.payload, decode_value_body(body.view));
  container.schema_name = std::string(header.schema_name);
  container.version = header.version;
  container.compression_info = header.compression_info;
  container.schema_kind = header.schema_kind;
  return container;
}

Result<Bytes> encode_stp(const STPContainer& container) {
  return encode_value_container(container.payload, container.compression_info, 64, 8,
                                [&](const CompressionInfo& info, Bytes& out) {
                                  return write_stp_header(STPHeader{container.version, info, 0}, out);
                                });
}

Result<Bytes> encode_dmp(const DMPContainer& container) {
  return encode_value_container(
      container.payload, container.compression_info, 64 + container.schema_name.size(),
      16 + container.schema_name.size(), [&](const CompressionInfo& info, Bytes& out) {
        return write_dmp_header(DMPHeader{container.schema_kind, container.schema_name, container.version, info, 0},
                                out);
      });
}

}  // namespace zq
