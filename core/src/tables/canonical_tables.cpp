// The canonical tables as constant arrays, in publication order, and the interpreter-type
// lookups over them.
#include "tables/canonical_tables.h"

#include <algorithm>
#include <array>

namespace zq::tables {

namespace {

constexpr std::array<std::string_view, 4> kCoreDomains = {"core", "gw", "vorn", "abs"};
constexpr std::array<std::string_view, 2> kSysDomains = {"zq", "sys"};
constexpr std::array<std::string_view, 3> kDomains = {"com", "net", "gov"};

constexpr std::array<NamedCode, 3> kTransports = {{
    {"zq:quik:dev", 0}, {"zq:raw:dev", 1}, {"zq:quik:net", 2}}};
// Numbers 5 and 6 are unassigned.
constexpr std::array<NamedCode, 6> kMethods = {{
    {"get", 0}, {"post", 1}, {"put", 2}, {"delete", 3}, {"patch", 4}, {"zq:sys", 7}}};
constexpr std::array<NamedCode, 2> kRoutes = {{{"api", 0}, {"zq:net", 1}}};
constexpr std::array<NamedCode, 5> kDataTypes = {{
    {"static", 1}, {"api", 2}, {"img", 3}, {"fat", 4}, {"stream", 5}}};
constexpr std::array<NamedCode, 2> kCompressTypes = {{{"none", 0}, {"zstd", 1}}};

constexpr std::array<NamedCode, kInTypeCount> kInTypes = {{
    {"none", 0},    {"unknown", 1}, {"html", 2},     {"css", 3},      {"js", 4},
    {"ts", 5},      {"tsx", 6},     {"jsx", 7},      {"svg", 8},      {"txt", 9},
    {"xml", 10},    {"log", 11},    {"pdf", 12},     {"wasm", 13},    {"py", 14},
    {"c", 15},      {"h", 16},      {"cpp", 17},     {"hpp", 18},     {"rs", 19},
    {"go", 20},     {"java", 21},   {"kt", 22},      {"swift", 23},   {"cs", 24},
    {"php", 25},    {"rb", 26},     {"lua", 27},     {"sh", 28},      {"ps1", 29},
    {"sql", 30},    {"proto", 31},  {"graphql", 32}, {"asm", 33},     {"bat", 34},
    {"cmd", 35},    {"exe", 36},    {"dll", 37},     {"so", 38},      {"dylib", 39},
    {"obj", 40},    {"class", 41},  {"jar", 42},     {"apk", 43},     {"png", 44},
    {"jpg", 45},    {"webp", 46},   {"avif", 47},    {"tif", 48},     {"ico", 49},
    {"wav", 50},    {"flac", 51},   {"aac", 52},     {"m4a", 53},     {"ogg", 54},
    {"opus", 55},   {"mp4", 56},    {"mkv", 57},     {"webm", 58},    {"mov", 59},
    {"docx", 60},   {"xlsx", 61},   {"pptx", 62},    {"ttf", 63},     {"otf", 64},
    {"woff", 65},   {"woff2", 66},  {"sqlite", 67},  {"parquet", 68}, {"npy", 69},
    {"npz", 70},    {"pem", 71},
}};
// intype_name() indexes by code.
static_assert([] {
  for (std::size_t i = 0; i < kInTypes.size(); ++i) {
    if (kInTypes[i].code != i) return false;
  }
  return true;
}());
constexpr std::size_t kStandardCount = kInTypeCount - kFirstStandardInType;

// Formats that are already compressed (media, archives, office files) are stored as they are;
// every other standard type defaults to zstd at level code 2.
constexpr std::array<std::uint16_t, 25> kStoredPlain = {
    12, 42, 43, 44, 45, 46, 47, 48, 49, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 65, 66, 68, 70};
constexpr CompressionInfo kDefaultCompressed{1, 0, 0, 2};
constexpr CompressionInfo kPlain{0, 0, 0, 0};

constexpr std::array<InTypeCompression, kStandardCount> kInTypesCompression = [] {
  std::array<InTypeCompression, kStandardCount> rows{};
  for (std::size_t i = 0; i < kStandardCount; ++i) {
    const auto code = static_cast<std::uint16_t>(kFirstStandardInType + i);
    const bool plain = std::find(kStoredPlain.begin(), kStoredPlain.end(), code) != kStoredPlain.end();
    rows[i] = {code, plain ? kPlain : kDefaultCompressed};
  }
  return rows;
}();

// Grouped by InType in code order, except that log comes before xml.
constexpr std::array<TextPair, 83> kMimeToInType = {{
    {"text/html", "html"},
    {"application/xhtml+xml", "html"},
    {"text/css", "css"},
    {"application/javascript", "js"},
    {"text/javascript", "js"},
    {"application/ecmascript", "js"},
    {"text/ecmascript", "js"},
    {"application/typescript", "ts"},
    {"text/typescript", "ts"},
    {"text/tsx", "tsx"},
    {"text/jsx", "jsx"},
    {"image/svg+xml", "svg"},
    {"text/plain", "txt"},
    {"text/x-log", "log"},
    {"application/xml", "xml"},
    {"text/xml", "xml"},
    {"application/pdf", "pdf"},
    {"application/wasm", "wasm"},
    {"text/x-python", "py"},
    {"application/x-python-code", "py"},
    {"text/x-c", "c"},
    {"text/x-chdr", "h"},
    {"text/x-c++", "cpp"},
    {"text/x-c++hdr", "hpp"},
    {"text/x-rust", "rs"},
    {"text/x-go", "go"},
    {"text/x-java-source", "java"},
    {"text/x-kotlin", "kt"},
    {"text/x-swift", "swift"},
    {"text/x-csharp", "cs"},
    {"application/x-httpd-php", "php"},
    {"text/x-ruby", "rb"},
    {"text/x-lua", "lua"},
    {"application/x-sh", "sh"},
    {"text/x-shellscript", "sh"},
    {"text/x-powershell", "ps1"},
    {"application/sql", "sql"},
    {"application/x-protobuf", "proto"},
    {"application/graphql", "graphql"},
    {"text/x-asm", "asm"},
    {"application/x-bat", "bat"},
    {"application/x-cmd", "cmd"},
    {"application/vnd.microsoft.portable-executable", "exe"},
    {"application/x-msdownload", "dll"},
    {"application/x-sharedlib", "so"},
    {"application/x-mach-binary", "dylib"},
    {"application/x-object", "obj"},
    {"application/java-vm", "class"},
    {"application/java-archive", "jar"},
    {"application/vnd.android.package-archive", "apk"},
    {"image/png", "png"},
    {"image/jpeg", "jpg"},
    {"image/webp", "webp"},
    {"image/avif", "avif"},
    {"image/tiff", "tif"},
    {"image/x-icon", "ico"},
    {"image/vnd.microsoft.icon", "ico"},
    {"audio/wav", "wav"},
    {"audio/x-wav", "wav"},
    {"audio/flac", "flac"},
    {"audio/aac", "aac"},
    {"audio/mp4", "m4a"},
    {"audio/ogg", "ogg"},
    {"audio/opus", "opus"},
    {"video/mp4", "mp4"},
    {"video/x-matroska", "mkv"},
    {"video/webm", "webm"},
    {"video/quicktime", "mov"},
    {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", "docx"},
    {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", "xlsx"},
    {"application/vnd.openxmlformats-officedocument.presentationml.presentation", "pptx"},
    {"font/ttf", "ttf"},
    {"font/otf", "otf"},
    {"font/woff", "woff"},
    {"font/woff2", "woff2"},
    {"application/vnd.sqlite3", "sqlite"},
    {"application/x-sqlite3", "sqlite"},
    {"application/vnd.apache.parquet", "parquet"},
    {"application/x-npy", "npy"},
    {"application/x-npz", "npz"},
    {"application/x-pem-file", "pem"},
    {"application/pem-certificate-chain", "pem"},
    {"text/x-pem-file", "pem"},
}};

// Each standard InType, in code order, maps to the first media type listed for it above.
constexpr std::array<TextPair, kStandardCount> kInTypeToMime = [] {
  std::array<TextPair, kStandardCount> rows{};
  for (std::size_t i = 0; i < kStandardCount; ++i) {
    const std::string_view name = kInTypes[kFirstStandardInType + i].name;
    const auto first = std::find_if(kMimeToInType.begin(), kMimeToInType.end(),
                                    [name](const TextPair& row) { return row.to == name; });
    rows[i] = {name, first == kMimeToInType.end() ? std::string_view{} : first->from};
  }
  return rows;
}();
static_assert(std::none_of(kInTypeToMime.begin(), kInTypeToMime.end(),
                           [](const TextPair& row) { return row.to.empty(); }),
              "every standard InType needs a media type");

// Each standard name maps to itself; the extra spellings follow the row they map to.
constexpr std::array<TextPair, 84> kExtensionToInType = {{
    {"html", "html"},       {"htm", "html"},         {"css", "css"},       {"js", "js"},
    {"ts", "ts"},           {"tsx", "tsx"},          {"jsx", "jsx"},       {"svg", "svg"},
    {"txt", "txt"},         {"xml", "xml"},          {"log", "log"},       {"pdf", "pdf"},
    {"wasm", "wasm"},       {"py", "py"},            {"c", "c"},           {"h", "h"},
    {"cpp", "cpp"},         {"cc", "cpp"},           {"cxx", "cpp"},       {"hpp", "hpp"},
    {"hh", "hpp"},          {"hxx", "hpp"},          {"rs", "rs"},         {"go", "go"},
    {"java", "java"},       {"kt", "kt"},            {"kts", "kt"},        {"swift", "swift"},
    {"cs", "cs"},           {"php", "php"},          {"rb", "rb"},         {"lua", "lua"},
    {"sh", "sh"},           {"bash", "sh"},          {"ps1", "ps1"},       {"sql", "sql"},
    {"proto", "proto"},     {"graphql", "graphql"},  {"gql", "graphql"},   {"asm", "asm"},
    {"s", "asm"},           {"bat", "bat"},          {"cmd", "cmd"},       {"exe", "exe"},
    {"dll", "dll"},         {"so", "so"},            {"dylib", "dylib"},   {"obj", "obj"},
    {"o", "obj"},           {"class", "class"},      {"jar", "jar"},       {"apk", "apk"},
    {"png", "png"},         {"jpg", "jpg"},          {"jpeg", "jpg"},      {"jpe", "jpg"},
    {"webp", "webp"},       {"avif", "avif"},        {"tif", "tif"},       {"tiff", "tif"},
    {"ico", "ico"},         {"wav", "wav"},          {"flac", "flac"},     {"aac", "aac"},
    {"m4a", "m4a"},         {"ogg", "ogg"},          {"opus", "opus"},     {"mp4", "mp4"},
    {"mkv", "mkv"},         {"webm", "webm"},        {"mov", "mov"},       {"docx", "docx"},
    {"xlsx", "xlsx"},       {"pptx", "pptx"},        {"ttf", "ttf"},       {"otf", "otf"},
    {"woff", "woff"},       {"woff2", "woff2"},      {"sqlite", "sqlite"}, {"sqlite3", "sqlite"},
    {"parquet", "parquet"}, {"npy", "npy"},          {"npz", "npz"},       {"pem", "pem"},
}};

}  // namespace

std::span<const std::string_view> zq_core_domains() { return kCoreDomains; }
std::span<const std::string_view> zq_sys_domains() { return kSysDomains; }
std::span<const std::string_view> zq_domains() { return kDomains; }
std::span<const NamedCode> common_transports() { return kTransports; }
std::span<const NamedCode> common_methods() { return kMethods; }
std::span<const NamedCode> common_routes() { return kRoutes; }
std::span<const NamedCode> common_data_types() { return kDataTypes; }
std::span<const NamedCode> common_compress_types() { return kCompressTypes; }
std::span<const NamedCode> common_in_types() { return kInTypes; }
std::span<const InTypeCompression> in_types_compression() { return kInTypesCompression; }
std::span<const TextPair> legacy_mime_to_intype() { return kMimeToInType; }
std::span<const TextPair> legacy_intype_to_mime() { return kInTypeToMime; }
std::span<const TextPair> file_extension_to_intype() { return kExtensionToInType; }

std::optional<std::uint16_t> intype_code(std::string_view name) {
  for (const NamedCode& row : kInTypes) {
    if (row.name == name) return row.code;
  }
  return std::nullopt;
}

std::string_view intype_name(std::uint16_t code) {
  return code < kInTypeCount ? kInTypes[code].name : std::string_view{};
}

std::optional<CompressionInfo> default_compression(std::uint16_t code) {
  if (code < kFirstStandardInType || code >= kInTypeCount) return std::nullopt;
  return kInTypesCompression[code - kFirstStandardInType].info;
}

}  // namespace zq::tables
