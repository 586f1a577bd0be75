// Readers and writers of the five container headers and of the compression byte.
#include "container/headers.h"

#include "common/byte_reader.h"
#include "common/utf8.h"
#include "container/varint.h"
#include "serialization/big_endian.h"

namespace zq {

namespace {

constexpr std::uint16_t kItpKind = 1;
constexpr std::uint16_t kStpKind = 2;
constexpr std::uint16_t kVfsdKind = 3;
constexpr std::uint16_t kFatManifestKind = 4;
constexpr std::uint16_t kDmpKind = 5;

constexpr std::uint16_t kInvalidInterpreterCode = 0;
constexpr std::uint16_t kCustomInterpreterCode = 1;

// Reads the kind code (Truncated under two bytes, Invalid with `wrong_kind` for any other kind's
// code), then the kind's own fields through `read_fields` in their wire order, and records where
// the header ends.
template <class Header, class ReadFields>
Result<Header> read_header(ByteView data, std::uint16_t kind, const char* wrong_kind, ReadFields read_fields) {
  ByteReader reader(data);
  ZQ_ASSIGN_OR_RETURN(const std::uint16_t code, reader.u16be());
  if (code != kind) return WireError::invalid(wrong_kind);
  Header header;
  ZQ_RETURN_IF_ERROR(read_fields(reader, header));
  header.header_len = reader.offset();
  return header;
}

// The version varint and the compression byte, which every kind carries one after the other.
Status read_version_and_compression(ByteReader& reader, std::uint64_t& version, CompressionInfo& info) {
  ZQ_ASSIGN_OR_RETURN(version, read_varint(reader));
  ZQ_ASSIGN_OR_RETURN(const std::uint8_t byte, reader.u8());
  info = read_compression_byte(byte);
  return {};
}

// A varint-prefixed text, checked for UTF-8 before anything after it is read.
Result<std::string_view> read_text(ByteReader& reader) {
  ZQ_ASSIGN_OR_RETURN(const ByteView bytes, read_varint_prefixed(reader));
  const std::string_view text = as_text(bytes);
  if (!is_valid_utf8(text)) return WireError::invalid("invalid utf-8");
  return text;
}

void write_u16be(std::uint16_t value, Bytes& out) {
  std::uint8_t buf[2];
  store_be(buf, value);
  out.append(buf, 2);
}

bool compression_fits(const CompressionInfo& info) {
  return info.level <= 3 && info.algorithm <= 15 && info.compressed <= 1 && info.pretrained_map <= 1;
}

std::uint8_t compression_byte(const CompressionInfo& info) {
  return static_cast<std::uint8_t>((info.compressed << 7) | (info.pretrained_map << 6) | (info.algorithm << 2) |
                                   info.level);
}

bool version_and_compression_fit(std::uint64_t version, const CompressionInfo& info) {
  return version <= kMaxVarint && compression_fits(info);
}

// Room for the largest varint and the compression byte.
constexpr std::size_t kVersionAndCompressionMax = 9;

std::uint8_t* put_version_and_compression(std::uint64_t version, const CompressionInfo& info, std::uint8_t* p) {
  p = put_varint(version, p);
  *p++ = compression_byte(info);
  return p;
}

// The version varint and the compression byte, which every kind carries one after the other:
// both checked before anything is written, then appended at once.
Status write_version_and_compression(std::uint64_t version, const CompressionInfo& info, Bytes& out) {
  if (!version_and_compression_fit(version, info)) [[unlikely]] return WireError::too_large();
  std::uint8_t buf[kVersionAndCompressionMax];
  out.append(buf, static_cast<std::size_t>(put_version_and_compression(version, info, buf) - buf));
  return {};
}

// The same after the kind code, as the STP, VFSD and FAT manifest headers begin.
Status write_kind_version_and_compression(std::uint16_t kind, std::uint64_t version, const CompressionInfo& info,
                                          Bytes& out) {
  if (!version_and_compression_fit(version, info)) [[unlikely]] return WireError::too_large();
  std::uint8_t buf[2 + kVersionAndCompressionMax];
  store_be(buf, kind);
  out.append(buf, static_cast<std::size_t>(put_version_and_compression(version, info, buf + 2) - buf));
  return {};
}

}  // namespace

Status write_compression_byte(const CompressionInfo& info, Bytes& out) {
  if (!compression_fits(info)) return WireError::too_large();
  out.push_back(compression_byte(info));
  return {};
}

CompressionInfo read_compression_byte(std::uint8_t byte) {
  return {static_cast<std::uint8_t>(byte >> 7), static_cast<std::uint8_t>((byte >> 6) & 1),
          static_cast<std::uint8_t>((byte >> 2) & 0x0F), static_cast<std::uint8_t>(byte & 3)};
}

Result<STPHeader> parse_stp_header(ByteView data) {
  return read_header<STPHeader>(data, kStpKind, "not an STP container",
                                [](ByteReader& reader, STPHeader& header) -> Status {
    return read_version_and_compression(reader, header.version, header.compression_info);
  });
}

Result<ITPHeader> parse_itp_header(ByteView data) {
  return read_header<ITPHeader>(data, kItpKind, "not an ITP container",
                                [](ByteReader& reader, ITPHeader& header) -> Status {
    ZQ_ASSIGN_OR_RETURN(const std::uint16_t code, reader.u16be());
    if (code == kInvalidInterpreterCode) return WireError::invalid("ITP interpretator type 0 is invalid");
    if (code == kCustomInterpreterCode) {
      header.interpreterType.custom = true;
      ZQ_ASSIGN_OR_RETURN(header.interpreterType.name, read_text(reader));
    } else {
      header.interpreterType.code = code;
    }
    return read_version_and_compression(reader, header.interpretatorVersion, header.compression_info);
  });
}

Result<VFSDHeader> parse_vfsd_header(ByteView data) {
  return read_header<VFSDHeader>(data, kVfsdKind, "not a VFSD container",
                                 [](ByteReader& reader, VFSDHeader& header) -> Status {
    ZQ_RETURN_IF_ERROR(read_version_and_compression(reader, header.version, header.compression_info));
    ZQ_ASSIGN_OR_RETURN(header.path, read_text(reader));
    ZQ_ASSIGN_OR_RETURN(header.count, read_varint(reader));
    ZQ_ASSIGN_OR_RETURN(header.created_ns, read_varint(reader));
    ZQ_ASSIGN_OR_RETURN(header.updated_ns, read_varint(reader));
    ZQ_ASSIGN_OR_RETURN(header.epoch, read_varint(reader));
    return {};
  });
}

Result<FATManifestHeader> parse_fat_manifest_header(ByteView data) {
  return read_header<FATManifestHeader>(data, kFatManifestKind, "not a FAT manifest container",
                                        [](ByteReader& reader, FATManifestHeader& header) -> Status {
    ZQ_RETURN_IF_ERROR(read_version_and_compression(reader, header.version, header.compression_info));
    ZQ_ASSIGN_OR_RETURN(header.size, read_varint(reader));
    ZQ_ASSIGN_OR_RETURN(header.part_size, read_varint(reader));
    // Checked before reading on, so a small part size wins over a truncation further on.
    if (header.part_size < kMinFatPartSize) {
      return WireError::invalid("FAT part_size must be >= 1024 bytes");
    }
    ZQ_ASSIGN_OR_RETURN(header.parts_count, read_varint(reader));
    ZQ_ASSIGN_OR_RETURN(header.checksum, read_varint_prefixed(reader));
    ZQ_ASSIGN_OR_RETURN(header.created_ns, read_varint(reader));
    return {};
  });
}

Result<DMPHeader> parse_dmp_header(ByteView data) {
  return read_header<DMPHeader>(data, kDmpKind, "not a DMP container",
                                [](ByteReader& reader, DMPHeader& header) -> Status {
    ZQ_ASSIGN_OR_RETURN(header.schema_kind, reader.u8());
    ZQ_ASSIGN_OR_RETURN(header.schema_name, read_text(reader));
    return read_version_and_compression(reader, header.version, header.compression_info);
  });
}

Status write_stp_header(const STPHeader& header, Bytes& out) {
  return write_kind_version_and_compression(kStpKind, header.version, header.compression_info, out);
}

Status write_itp_header(const ITPHeader& header, Bytes& out) {
  write_u16be(kItpKind, out);
  const InterpreterTypeView& type = header.interpreterType;
  if (type.custom) {
    write_u16be(kCustomInterpreterCode, out);
    ZQ_RETURN_IF_ERROR(write_varint_prefixed(as_bytes(type.name), out));
  } else {
    if (type.code <= kCustomInterpreterCode) {
      return WireError::invalid("ITP standard code must be >= 2");
    }
    write_u16be(type.code, out);
  }
  return write_version_and_compression(header.interpretatorVersion, header.compression_info, out);
}

Status write_vfsd_header(const VFSDHeader& header, Bytes& out) {
  ZQ_RETURN_IF_ERROR(write_kind_version_and_compression(kVfsdKind, header.version, header.compression_info, out));
  ZQ_RETURN_IF_ERROR(write_varint_prefixed(as_bytes(header.path), out));
  ZQ_RETURN_IF_ERROR(write_varint(header.count, out));
  ZQ_RETURN_IF_ERROR(write_varint(header.created_ns, out));
  ZQ_RETURN_IF_ERROR(write_varint(header.updated_ns, out));
  return write_varint(header.epoch, out);
}

Status write_fat_manifest_header(const FATManifestHeader& header, Bytes& out) {
  ZQ_RETURN_IF_ERROR(
      write_kind_version_and_compression(kFatManifestKind, header.version, header.compression_info, out));
  ZQ_RETURN_IF_ERROR(write_varint(header.size, out));
  ZQ_RETURN_IF_ERROR(write_varint(header.part_size, out));
  ZQ_RETURN_IF_ERROR(write_varint(header.parts_count, out));
  // An absent checksum is the empty view, written as length 0.
  ZQ_RETURN_IF_ERROR(write_varint_prefixed(header.checksum, out));
  return write_varint(header.created_ns, out);
}

Status write_dmp_header(const DMPHeader& header, Bytes& out) {
  write_u16be(kDmpKind, out);
  out.push_back(header.schema_kind);
  ZQ_RETURN_IF_ERROR(write_varint_prefixed(as_bytes(header.schema_name), out));
  return write_version_and_compression(header.version, header.compression_info, out);
}

}  // namespace zq
