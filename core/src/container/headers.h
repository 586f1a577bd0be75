// The five container headers: readers that return views into their input with `header_len`,
// and writers that append the kind code and the header to a caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/bytes.h"
#include "common/result.h"
#include "compress/compression_info.h"

namespace zq {

// Packs the four fields into the compression byte; TooLarge when a field does not fit its bits.
Status write_compression_byte(const CompressionInfo& info, Bytes& out);
CompressionInfo read_compression_byte(std::uint8_t byte);

// The interpreter type as the ITP header carries it; a custom name is a view.
struct InterpreterTypeView {
  bool custom = false;
  std::uint16_t code = 0;
  std::string_view name;
  friend bool operator==(const InterpreterTypeView&, const InterpreterTypeView&) = default;
};

struct STPHeader {
  std::uint64_t version = 0;
  CompressionInfo compression_info;
  std::size_t header_len = 0;
  friend bool operator==(const STPHeader&, const STPHeader&) = default;
};

struct ITPHeader {
  InterpreterTypeView interpreterType;
  std::uint64_t interpretatorVersion = 0;
  CompressionInfo compression_info;
  std::size_t header_len = 0;
  friend bool operator==(const ITPHeader&, const ITPHeader&) = default;
};

struct VFSDHeader {
  std::uint64_t version = 0;
  CompressionInfo compression_info;
  std::string_view path;
  std::uint64_t count = 0;
  std::uint64_t created_ns = 0;
  std::uint64_t updated_ns = 0;
  std::uint64_t epoch = 0;
  std::size_t header_len = 0;
  friend bool operator==(const VFSDHeader&, const VFSDHeader&) = default;
};

struct FATManifestHeader {
  std::uint64_t version = 0;
  CompressionInfo compression_info;
  std::uint64_t size = 0;
  std::uint64_t part_size = 0;
  std::uint64_t parts_count = 0;
  ByteView checksum;  // any length; empty means absent
  std::uint64_t created_ns = 0;
  std::size_t header_len = 0;
  // The checksum compares by content.
  friend bool operator==(const FATManifestHeader& a, const FATManifestHeader& b) {
    return a.version == b.version && a.compression_info == b.compression_info && a.size == b.size &&
           a.part_size == b.part_size && a.parts_count == b.parts_count &&
           as_text(a.checksum) == as_text(b.checksum) && a.created_ns == b.created_ns &&
           a.header_len == b.header_len;
  }
};

struct DMPHeader {
  std::uint8_t schema_kind = 0;
  std::string_view schema_name;
  std::uint64_t version = 0;
  CompressionInfo compression_info;
  std::size_t header_len = 0;
  friend bool operator==(const DMPHeader&, const DMPHeader&) = default;
};

inline constexpr std::uint64_t kMinFatPartSize = 1024;

// Each reader parses the header at the front of `data`, kind code included, and looks no further.
// Truncated when an item is cut off; Invalid for a wrong kind code, a text that is not UTF-8, and
// the kind's own checks.
Result<STPHeader> parse_stp_header(ByteView data);
Result<ITPHeader> parse_itp_header(ByteView data);
Result<VFSDHeader> parse_vfsd_header(ByteView data);
Result<FATManifestHeader> parse_fat_manifest_header(ByteView data);
Result<DMPHeader> parse_dmp_header(ByteView data);

// Each writer appends the kind code and the header; `header_len` is not read. TooLarge for a
// number above 2^62-1 or a compression field its bits cannot carry; the ITP writer is Invalid
// for a standard code below 2. On error `out` holds a partial header, which the caller discards.
Status write_stp_header(const STPHeader& header, Bytes& out);
Status write_itp_header(const ITPHeader& header, Bytes& out);
Status write_vfsd_header(const VFSDHeader& header, Bytes& out);
Status write_fat_manifest_header(const FATManifestHeader& header, Bytes& out);
Status write_dmp_header(const DMPHeader& header, Bytes& out);

}  // namespace zq
