// The five container records, `Container` and `ContainerKind`, and the per-kind encoders and
// decoders that join a container header to its (possibly zstd-compressed) body.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/bytes.h"
#include "common/result.h"
#include "compress/compression_info.h"
#include "serialization/msgpack.h"
#include "serialization/value.h"
#include "tables/interpreter_type.h"

namespace zq {

enum class ContainerKind : std::uint16_t { ITP = 1, STP = 2, VFSD = 3, FATManifest = 4, DMP = 5 };

struct VFSDFrame {
  std::uint16_t type = 0;
  std::string name;
  std::array<std::uint8_t, 32> abs_id{};
  std::uint64_t updated_ns = 0;
  std::optional<Bytes> payload;  // empty payload and absent payload differ
  friend bool operator==(const VFSDFrame&, const VFSDFrame&) = default;
};

struct STPContainer {
  Value payload;
  std::uint64_t version = 0;
  std::optional<CompressionInfo> compression_info;
  friend bool operator==(const STPContainer&, const STPContainer&) = default;
};

struct ITPContainer {
  InterpreterType interpreterType;
  Bytes payload;
  std::uint64_t interpretatorVersion = 0;
  std::optional<CompressionInfo> compression_info;
  friend bool operator==(const ITPContainer&, const ITPContainer&) = default;
};

struct VFSDContainer {
  std::string path;
  std::vector<VFSDFrame> frames;
  std::uint64_t version = 0;
  std::uint64_t created_ns = 0;
  std::uint64_t updated_ns = 0;
  std::uint64_t epoch = 0;
  std::uint64_t count = 0;
  std::optional<CompressionInfo> compression_info;
  friend bool operator==(const VFSDContainer&, const VFSDContainer&) = default;
};

struct FATManifestContainer {
  std::uint64_t size = 0;
  std::uint64_t part_size = 0;
  std::uint64_t parts_count = 0;
  Bytes payload;  // the parts' 32-byte identifiers, back to back
  std::optional<std::array<std::uint8_t, 16>> checksum;
  std::uint64_t created_ns = 0;
  std::uint64_t version = 0;
  std::optional<CompressionInfo> compression_info;
  friend bool operator==(const FATManifestContainer&, const FATManifestContainer&) = default;
};

struct DMPContainer {
  std::string schema_name;
  Value payload;
  std::uint64_t version = 0;
  std::optional<CompressionInfo> compression_info;
  std::uint8_t schema_kind = 0;
  friend bool operator==(const DMPContainer&, const DMPContainer&) = default;
};

using Container = std::variant<STPContainer, ITPContainer, VFSDContainer, FATManifestContainer, DMPContainer>;

// Decoders: `data` holds exactly one container of the kind, its code included.
Result<STPContainer> decode_stp(ByteView data);
// The same into `out`, a default-constructed record; on an error `out` is to be discarded.
Status decode_stp_into(ByteView data, STPContainer& out);
Result<ITPContainer> decode_itp(ByteView data);
Result<VFSDContainer> decode_vfsd(ByteView data);
Result<FATManifestContainer> decode_fat_manifest(ByteView data);
Result<DMPContainer> decode_dmp(ByteView data);
// Chooses the decoder by the kind code in the first two bytes.
Result<Container> decode_container(ByteView data);
// The same into `out`; on an error `out` is to be discarded.
Status decode_container_into(ByteView data, Container& out);

// Encoders: a new byte string holding the whole container, or the first error.
Result<Bytes> encode_stp(const STPContainer& container);
Result<Bytes> encode_itp(const ITPContainer& container);
Result<Bytes> encode_vfsd(const VFSDContainer& container);
Result<Bytes> encode_fat_manifest(const FATManifestContainer& container);
Result<Bytes> encode_dmp(const DMPContainer& container);
// Encodes whichever record `container` holds.
Result<Bytes> encode_container(const Container& container);

// The STP and DMP encoders into a scratch output, for a caller that copies the bytes once into
// memory of its own; same bytes and errors as encode_stp and encode_dmp. On error `out` is to
// be discarded.
Status encode_stp_to(const STPContainer& container, ScratchOutput& out);
Status encode_dmp_to(const DMPContainer& container, ScratchOutput& out);

}  // namespace zq
