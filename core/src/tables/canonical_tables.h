// The core's fixed vocabulary: domain words, token tables, data and compression types, the 72
// interpreter types with their default compression, and the media-type and extension maps.
// All constant data, in publication order.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "compress/compression_info.h"

namespace zq::tables {

struct NamedCode {
  std::string_view name;
  std::uint16_t code;
};
struct TextPair {
  std::string_view from;
  std::string_view to;
};
struct InTypeCompression {
  std::uint16_t code;
  CompressionInfo info;
};

inline constexpr std::uint16_t kInTypeCount = 72;  // codes 0..71
inline constexpr std::uint16_t kFirstStandardInType = 2;

std::span<const std::string_view> zq_core_domains();
std::span<const std::string_view> zq_sys_domains();
std::span<const std::string_view> zq_domains();
inline constexpr std::string_view kBaseTransport = "zq:quik:real";
inline constexpr std::string_view kBaseMethod = "get";
inline constexpr std::string_view kBaseRoute = "zq:net";
std::span<const NamedCode> common_transports();
std::span<const NamedCode> common_methods();
std::span<const NamedCode> common_routes();
std::span<const NamedCode> common_data_types();
std::span<const NamedCode> common_compress_types();
std::span<const NamedCode> common_in_types();             // 72 rows, codes 0..71 in order
std::span<const InTypeCompression> in_types_compression();  // 70 rows, codes 2..71
std::span<const TextPair> legacy_mime_to_intype();          // 83 rows
std::span<const TextPair> legacy_intype_to_mime();          // 70 rows
std::span<const TextPair> file_extension_to_intype();       // 84 rows

// Exact, case-sensitive lookup of an InType name; its code 0..71.
std::optional<std::uint16_t> intype_code(std::string_view name);
// The name of InType code 0..71; empty for any other code.
std::string_view intype_name(std::uint16_t code);
// The default setting of a standard code 2..71; none for any other code.
std::optional<CompressionInfo> default_compression(std::uint16_t code);

}  // namespace zq::tables
