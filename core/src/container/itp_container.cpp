// ITP containers: raw payload bytes typed by an interpreter type, optionally zstd-compressed;
// without a setting a standard type gets its default compression.
#include "compress/compression.h"
#include "container/container.h"
#include "container/headers.h"
#include "container/internal/container_body.h"
#include "tables/canonical_tables.h"

namespace zq {

Result<ITPContainer> decode_itp(ByteView data) {
  ZQ_ASSIGN_OR_RETURN(const ITPHeader header, parse_itp_header(data));
  const InterpreterTypeView& type = header.interpreterType;
  if (!type.custom && type.code >= tables::kInTypeCount) {
    return WireError::invalid("Unknown standard interpretator code");
  }
  ZQ_ASSIGN_OR_RETURN(internal::ContainerBody body,
                      internal::read_container_body(data, header.header_len, header.compression_info));
  ITPContainer container;
  // A custom name stays custom even when it spells a standard type's name.
  container.interpreterType =
      type.custom ? InterpreterType::custom_name(std::string(type.name)) : InterpreterType::standard(type.code);
  container.payload = std::move(body).take();
  container.interpretatorVersion = header.interpretatorVersion;
  container.compression_info = header.compression_info;
  return container;
}

Result<Bytes> encode_itp(const ITPContainer& container) {
  const InterpreterType& type = container.interpreterType;
  CompressionInfo setting{};
  if (container.compression_info) {
    setting = *container.compression_info;
  } else if (!type.custom) {
    setting = tables::default_compression(type.code).value_or(CompressionInfo{});
  }
  ZQ_ASSIGN_OR_RETURN(const CompressedBody body, compress_payload(container.payload, setting));

  Bytes out;
  out.reserve(body.view.size() + 8 + type.name.size());
  const ITPHeader header{InterpreterTypeView{type.custom, type.code, type.name}, container.interpretatorVersion,
                         setting, 0};
  ZQ_RETURN_IF_ERROR(write_itp_header(header, out));
  append(out, body.view);
  return out;
}

}  // namespace zq
