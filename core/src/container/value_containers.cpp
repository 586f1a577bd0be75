// STP and DMP containers: one MessagePack value filling the body, optionally zstd-compressed.
#include "compress/compression.h"
#include "container/container.h"
#include "container/headers.h"
#include "container/internal/container_body.h"
#include "serialization/msgpack.h"

namespace zq {
namespace {

constexpr WireError kBadPayload = WireError::invalid("bad msgpack payload");

// The body after a header of `header_len` bytes, decompressed as `info` says, into `out`; it
// must be exactly one value. An inflated body that holds the value in packed form becomes the
// value's own block.
Status decode_value_body(ByteView data, std::size_t header_len, const CompressionInfo& info, Value& out) {
  ZQ_ASSIGN_OR_RETURN(internal::ContainerBody body, internal::read_container_body(data, header_len, info));
  std::size_t position = 0;
  const std::size_t size = body.view.size();
  auto value = body.was_compressed ? decode_value_taking(std::move(body.decompressed), position, /*ext_as_bytes=*/true)
                                   : decode_value(body.view, position, /*ext_as_bytes=*/true);
  if (!value.ok() || position != size) return kBadPayload;
  out = std::move(value).value();
  return {};
}

// Shared by STP and DMP. `write_header(info, out)` appends the kind's header with that setting.
// A value is its own encoding: zstd reads it in place, and a plain one follows the header.
template <class WriteHeader>
Status encode_value_container(const Value& payload, const std::optional<CompressionInfo>& setting,
                              ScratchOutput& out, WriteHeader write_header) {
  if (setting && setting->compressed != 0) {
    if (!encodable(payload)) return kBadPayload;
    ZQ_ASSIGN_OR_RETURN(CompressedBody body, compress_payload(payload.packed(), *setting));
    ZQ_RETURN_IF_ERROR(write_header(*setting, out.bytes()));
    append(out.bytes(), body.view);
    return {};
  }
  CompressionInfo plain = setting.value_or(CompressionInfo{});
  plain.compressed = 0;
  ZQ_RETURN_IF_ERROR(write_header(plain, out.bytes()));
  if (!out.encode(payload).ok()) return kBadPayload;
  return {};
}

// The output as a new byte string of exactly its size.
Result<Bytes> take_bytes(const Status& status, const ScratchOutput& out) {
  if (!status.ok()) return status.error();
  Bytes bytes(out.size());
  out.copy_to(bytes.data());
  return bytes;
}

}  // namespace

Status decode_stp_into(ByteView data, STPContainer& out) {
  ZQ_ASSIGN_OR_RETURN(const STPHeader header, parse_stp_header(data));
  ZQ_RETURN_IF_ERROR(decode_value_body(data, header.header_len, header.compression_info, out.payload));
  out.version = header.version;
  out.compression_info = header.compression_info;
  return {};
}

Result<STPContainer> decode_stp(ByteView data) {
  STPContainer container;
  ZQ_RETURN_IF_ERROR(decode_stp_into(data, container));
  return container;
}

Result<DMPContainer> decode_dmp(ByteView data) {
  ZQ_ASSIGN_OR_RETURN(const DMPHeader header, parse_dmp_header(data));
  DMPContainer container;
  ZQ_RETURN_IF_ERROR(decode_value_body(data, header.header_len, header.compression_info, container.payload));
  container.schema_name = std::string(header.schema_name);
  container.version = header.version;
  container.compression_info = header.compression_info;
  container.schema_kind = header.schema_kind;
  return container;
}

Status encode_stp_to(const STPContainer& container, ScratchOutput& out) {
  return encode_value_container(container.payload, container.compression_info, out,
                                [&](const CompressionInfo& info, Bytes& header) {
                                  return write_stp_header(STPHeader{container.version, info, 0}, header);
                                });
}

Status encode_dmp_to(const DMPContainer& container, ScratchOutput& out) {
  return encode_value_container(
      container.payload, container.compression_info, out, [&](const CompressionInfo& info, Bytes& header) {
        return write_dmp_header(DMPHeader{container.schema_kind, container.schema_name, container.version, info, 0},
                                header);
      });
}

Result<Bytes> encode_stp(const STPContainer& container) {
  ScratchOutput out;
  return take_bytes(encode_stp_to(container, out), out);
}

Result<Bytes> encode_dmp(const DMPContainer& container) {
  ScratchOutput out;
  return take_bytes(encode_dmp_to(container, out), out);
}

}  // namespace zq
