// Canonical tables: their shapes and orders, the interpreter-type lookups, and the defaults and
// maps whose rows are easy to get wrong.
#include "tables/canonical_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace zq::tables {
namespace {

std::vector<std::string> names_of(std::span<const NamedCode> rows) {
  std::vector<std::string> out;
  for (const auto& row : rows) out.push_back(std::string(row.name) + "=" + std::to_string(row.code));
  return out;
}

std::string_view lookup(std::span<const TextPair> rows, std::string_view from) {
  for (const auto& row : rows) {
    if (row.from == from) return row.to;
  }
  return "<missing>";
}

TEST(TablesTest, SmallTablesInOrder) {
  const std::vector<std::string_view> core(zq_core_domains().begin(), zq_core_domains().end());
  EXPECT_EQ(core, (std::vector<std::string_view>{"core", "gw", "vorn", "abs"}));
  const std::vector<std::string_view> sys(zq_sys_domains().begin(), zq_sys_domains().end());
  EXPECT_EQ(sys, (std::vector<std::string_view>{"zq", "sys"}));
  const std::vector<std::string_view> domains(zq_domains().begin(), zq_domains().end());
  EXPECT_EQ(domains, (std::vector<std::string_view>{"com", "net", "gov"}));

  EXPECT_EQ(kBaseTransport, "zq:quik:real");
  EXPECT_EQ(kBaseMethod, "get");
  EXPECT_EQ(kBaseRoute, "zq:net");

  using V = std::vector<std::string>;
  EXPECT_EQ(names_of(common_transports()), (V{"zq:quik:dev=0", "zq:raw:dev=1", "zq:quik:net=2"}));
  EXPECT_EQ(names_of(common_methods()),
            (V{"get=0", "post=1", "put=2", "delete=3", "patch=4", "zq:sys=7"}));
  EXPECT_EQ(names_of(common_routes()), (V{"api=0", "zq:net=1"}));
  EXPECT_EQ(names_of(common_data_types()),
            (V{"static=1", "api=2", "img=3", "fat=4", "stream=5"}));
  EXPECT_EQ(names_of(common_compress_types()), (V{"none=0", "zstd=1"}));
}

TEST(TablesTest, RowCounts) {
  EXPECT_EQ(common_in_types().size(), 72u);
  EXPECT_EQ(in_types_compression().size(), 70u);
  EXPECT_EQ(legacy_mime_to_intype().size(), 83u);
  EXPECT_EQ(legacy_intype_to_mime().size(), 70u);
  EXPECT_EQ(file_extension_to_intype().size(), 84u);
}

TEST(InTypeTest, CodesRunInOrderAndNamesLookUpBothWays) {
  const auto rows = common_in_types();
  std::set<std::string_view> seen;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(rows[i].code, i);
    EXPECT_TRUE(seen.insert(rows[i].name).second) << "duplicate name";
    EXPECT_EQ(intype_code(rows[i].name), rows[i].code);
    EXPECT_EQ(intype_name(rows[i].code), rows[i].name);
  }
  EXPECT_EQ(intype_name(0), "none");
  EXPECT_EQ(intype_name(1), "unknown");
  EXPECT_EQ(intype_name(20), "go");
  EXPECT_EQ(intype_name(71), "pem");
}

TEST(InTypeTest, LookupsRefuseWhatIsNotInTheTable) {
  for (std::string_view name : {"", "HTML", "Html", "html ", " html", "jpeg", "woff3"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(intype_code(name), std::nullopt);
  }
  EXPECT_EQ(intype_code(std::string_view("pem\0", 4)), std::nullopt);
  for (std::uint16_t code : {72, 255, 65535}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(intype_name(code), "");
  }
}

TEST(DefaultCompressionTest, ExactlyTheAlreadyCompressedFormatsArePlain) {
  const std::set<std::string_view> plain = {
      "pdf", "jar", "apk", "png", "jpg", "webp", "avif", "tif", "ico", "flac", "aac", "m4a", "ogg",
      "opus", "mp4", "mkv", "webm", "mov", "docx", "xlsx", "pptx", "woff", "woff2", "parquet", "npz"};
  ASSERT_EQ(plain.size(), 25u);
  const CompressionInfo zstd_level_2{1, 0, 0, 2};
  const auto rows = in_types_compression();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string_view name = intype_name(rows[i].code);
    SCOPED_TRACE(name);
    EXPECT_EQ(rows[i].code, i + 2);
    const CompressionInfo expected = plain.count(name) ? CompressionInfo{} : zstd_level_2;
    EXPECT_TRUE(rows[i].info == expected);
    EXPECT_TRUE(default_compression(rows[i].code) == expected);
  }
}

TEST(DefaultCompressionTest, NeighboursThatDiffer) {
  const struct {
    const char* name;
    bool compressed;
  } cases[] = {
      {"wav", true},  {"flac", false}, {"ttf", true},    {"otf", true},     {"woff", false},
      {"woff2", false}, {"npy", true}, {"npz", false},   {"sqlite", true},  {"parquet", false},
      {"html", true}, {"png", false},  {"pem", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto info = default_compression(*intype_code(c.name));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->compressed, c.compressed);
  }
  for (std::uint16_t code : {0, 1, 72, 65535}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(default_compression(code), std::nullopt);
  }
}

TEST(MimeTablesTest, MediaTypesMapToStandardNamesGroupedInCodeOrder) {
  std::set<std::string_view> media_types;
  std::set<std::string_view> names;
  std::vector<std::string_view> group_order;
  for (const auto& row : legacy_mime_to_intype()) {
    SCOPED_TRACE(row.from);
    EXPECT_TRUE(media_types.insert(row.from).second) << "media type listed twice";
    const auto code = intype_code(row.to);
    ASSERT_TRUE(code.has_value());
    EXPECT_GE(*code, kFirstStandardInType);
    names.insert(row.to);
    if (group_order.empty() || group_order.back() != row.to) group_order.push_back(row.to);
  }
  EXPECT_EQ(names.size(), 70u) << "every standard name has a media type";

  // Groups follow code order, except that log comes before xml.
  std::vector<std::string_view> expected;
  for (std::uint16_t code = kFirstStandardInType; code < kInTypeCount; ++code) {
    expected.push_back(intype_name(code));
  }
  std::swap(expected[10 - 2], expected[11 - 2]);
  EXPECT_EQ(group_order, expected);

  const auto rows = legacy_mime_to_intype();
  EXPECT_EQ(lookup(rows, "audio/mp4"), "m4a");
  EXPECT_EQ(lookup(rows, "video/mp4"), "mp4");
  EXPECT_EQ(lookup(rows, "text/x-log"), "log");
  EXPECT_EQ(lookup(rows, "text/x-pem-file"), "pem");
  EXPECT_EQ(rows.front().from, "text/html");
  EXPECT_EQ(rows.back().from, "text/x-pem-file");
}

TEST(MimeTablesTest, EachNameMapsToItsFirstMediaType) {
  const auto rows = legacy_intype_to_mime();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].from);
    EXPECT_EQ(rows[i].from, intype_name(static_cast<std::uint16_t>(i + 2)));
    const TextPair* first = nullptr;
    for (const auto& mime : legacy_mime_to_intype()) {
      if (mime.to == rows[i].from) {
        first = &mime;
        break;
      }
    }
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(rows[i].to, first->from);
  }
  EXPECT_EQ(lookup(rows, "js"), "application/javascript");
  EXPECT_EQ(lookup(rows, "xml"), "application/xml");
  EXPECT_EQ(lookup(rows, "ico"), "image/x-icon");
  EXPECT_EQ(lookup(rows, "pem"), "application/x-pem-file");
}

TEST(ExtensionTableTest, NamesMapToThemselvesWithExtraSpellingsAfterTheirRow) {
  // The extra extensions and the row each follows.
  const std::vector<std::pair<std::string_view, std::string_view>> extras = {
      {"htm", "html"}, {"cc", "cpp"},   {"cxx", "cc"},    {"hh", "hpp"},
      {"hxx", "hh"},   {"kts", "kt"},   {"bash", "sh"},   {"gql", "graphql"},
      {"s", "asm"},    {"o", "obj"},    {"jpeg", "jpg"},  {"jpe", "jpeg"},
      {"tiff", "tif"}, {"sqlite3", "sqlite"},
  };
  const auto rows = file_extension_to_intype();
  std::vector<std::string_view> own_names;
  std::set<std::string_view> extensions;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].from);
    EXPECT_TRUE(extensions.insert(rows[i].from).second) << "extension listed twice";
    if (rows[i].from == rows[i].to) {
      own_names.push_back(rows[i].from);
      continue;
    }
    bool listed = false;
    for (const auto& [extension, after] : extras) {
      if (extension == rows[i].from) {
        listed = true;
        ASSERT_GT(i, 0u);
        EXPECT_EQ(rows[i - 1].from, after);
      }
    }
    EXPECT_TRUE(listed) << "unexpected extension";
  }
  std::vector<std::string_view> standard;
  for (std::uint16_t code = kFirstStandardInType; code < kInTypeCount; ++code) {
    standard.push_back(intype_name(code));
  }
  EXPECT_EQ(own_names, standard);

  for (std::string_view extension : {"jpg", "jpeg", "jpe"}) {
    EXPECT_EQ(lookup(rows, extension), "jpg") << extension;
  }
  EXPECT_EQ(lookup(rows, "o"), "obj");
  EXPECT_EQ(lookup(rows, "cxx"), "cpp");
  EXPECT_EQ(lookup(rows, "sqlite3"), "sqlite");
}

}  // namespace
}  // namespace zq::tables
