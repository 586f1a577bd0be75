// Any container: dispatch on the big-endian kind code when decoding, on the record when encoding.
#include "container/container.h"

#include <variant>

namespace zq {

Result<Container> decode_container(ByteView data) {
  if (data.size() < 2) return WireError::truncated();
  const auto kind = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
  switch (static_cast<ContainerKind>(kind)) {
    case ContainerKind::ITP: {
      ZQ_ASSIGN_OR_RETURN(ITPContainer c, decode_itp(data));
      return Container(std::move(c));
    }
    case ContainerKind::STP: {
      ZQ_ASSIGN_OR_RETURN(STPContainer c, decode_stp(data));
      return Container(std::move(c));
    }
    case ContainerKind::VFSD: {
      ZQ_ASSIGN_OR_RETURN(VFSDContainer c, decode_vfsd(data));
      return Container(std::move(c));
    }
    case ContainerKind::FATManifest: {
      ZQ_ASSIGN_OR_RETURN(FATManifestContainer c, decode_fat_manifest(data));
      return Container(std::move(c));
    }
    case ContainerKind::DMP: {
      ZQ_ASSIGN_OR_RETURN(DMPContainer c, decode_dmp(data));
      return Container(std::move(c));
    }
  }
  return WireError::invalid("Invalid TempDataObject data");
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
