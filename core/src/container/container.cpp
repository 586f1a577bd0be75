// Any container: dispatch on the big-endian kind code when decoding, on the record when encoding.
#include "container/container.h"

#include <variant>

namespace zq {

namespace {

// Decodes `data` with `decode` into `out`, holding that kind.
template <class Record, class Decode>
Status decode_kind(ByteView data, Container& out, Decode decode) {
  auto decoded = decode(data);
  if (!decoded.ok()) return std::move(decoded).error();
  out.emplace<Record>(std::move(decoded).value());
  return {};
}

}  // namespace

Status decode_container_into(ByteView data, Container& out) {
  if (data.size() < 2) return WireError::truncated();
  const auto kind = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
  switch (static_cast<ContainerKind>(kind)) {
    case ContainerKind::ITP:
      return decode_kind<ITPContainer>(data, out, decode_itp);
    case ContainerKind::STP:
      // The usual payload kind: decoded where it stays.
      return decode_stp_into(data, out.emplace<STPContainer>());
    case ContainerKind::VFSD:
      return decode_kind<VFSDContainer>(data, out, decode_vfsd);
    case ContainerKind::FATManifest:
      return decode_kind<FATManifestContainer>(data, out, decode_fat_manifest);
    case ContainerKind::DMP:
      return decode_kind<DMPContainer>(data, out, decode_dmp);
  }
  return WireError::invalid("Invalid TempDataObject data");
}

Result<Container> decode_container(ByteView data) {
  Container container;
  ZQ_RETURN_IF_ERROR(decode_container_into(data, container));
  return container;
}

Result<Bytes> encode_container(const Container& container) {
  struct Encoder {
    Result<Bytes> operator()(const STPContainer& c) const { return encode_stp(c); }
    Result<Bytes> operator()(const ITPContainer& c) const { return encode_itp(c); }
    Result<Bytes> operator()(const VFSDContainer& c) const { return encode_vfsd(c); }
    Result<Bytes> operator()(const FATManifestContainer& c) const { return encode_fat_manifest(c); }
    Result<Bytes> operator()(const DMPContainer& c) const { return encode_dmp(c); }
  };
  return std::visit(Encoder{}, container);
}

}  // namespace zq
