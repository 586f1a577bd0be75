// Request header: the header varint at every width, the worked examples both ways, how the
// writer classifies tokens and sizes lengths, its errors in order, and the reader's checks in
// wire order, with default bits winning over coded bits.
#include "message/request_header.h"

#include <gtest/gtest.h>

#include <string>

#include "header_summary.h"
#include "hex_bytes.h"
#include "message/header_varint.h"
#include "wire_error_text.h"

namespace zq {
namespace {

using test::describe;
using test::from_hex;
using test::to_hex;

const WireError kTruncated = WireError::truncated();
const WireError kTooLarge = WireError::too_large();
WireError invalid(const char* message) { return WireError::invalid(message); }

// ---- header varint

TEST(HeaderVarintTest, SmallestFormsAtEveryWidthBoundary) {
  const struct {
    std::uint64_t value;
    const char* hex;
  } cases[] = {
      {0, "00 00"},
      {300, "01 2c"},
      {16383, "3f ff"},
      {16384, "40 40 00"},
      {4194303, "7f ff ff"},
      {4194304, "80 00 40 00 00"},
      {(std::uint64_t{1} << 38) - 1, "bf ff ff ff ff"},
      {std::uint64_t{1} << 38, "c0 00 00 40 00 00 00 00"},
      {kMaxHeaderVarint, "ff ff ff ff ff ff ff ff"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Bytes out;
    ASSERT_TRUE(write_header_varint(c.value, out).ok());
    EXPECT_EQ(to_hex(out), c.hex);
    EXPECT_EQ(header_varint_size(c.value), out.size());
    out.push_back(0xAA);  // not part of the varint
    const auto read = read_header_varint(out);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->value, c.value);
    EXPECT_EQ(read->size, out.size() - 1);
  }
}

TEST(HeaderVarintTest, LongerFormsAreWrittenOnRequestAndRead) {
  const struct {
    std::uint64_t value;
    std::size_t size;
    const char* hex;
  } cases[] = {
      {5, 3, "40 00 05"},
      {5, 5, "80 00 00 00 05"},
      {5, 8, "c0 00 00 00 00 00 00 05"},
      {16384, 5, "80 00 00 40 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    Bytes out;
    ASSERT_TRUE(write_header_varint(c.value, c.size, out).ok());
    EXPECT_EQ(to_hex(out), c.hex);
    const auto read = read_header_varint(out);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->value, c.value);
    EXPECT_EQ(read->size, c.size);
  }
}

TEST(HeaderVarintTest, TooLargeAppendsNothingAndCutOffFormsAreTruncated) {
  for (std::uint64_t value : {kMaxHeaderVarint + 1, ~std::uint64_t{0}}) {
    Bytes out = from_hex("aa");
    const Status status = write_header_varint(value, out);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error(), kTooLarge);
    EXPECT_EQ(to_hex(out), "aa");
  }
  for (const char* hex : {"", "00", "40 00", "80 00 00 00", "c0 00 00 00 00 00 00"}) {
    SCOPED_TRACE(hex);
    EXPECT_EQ(describe(read_header_varint(from_hex(hex))), "Truncated");
  }
}

// ---- worked examples

const std::string kUrl300(300, 'u');

RequestHeader sized(RequestHeader h, std::uint64_t n) {
  h.payload = {PayloadMode::Sized, n};
  return h;
}

struct Example {
  const char* name;
  RequestHeader written;    // what the writer is given
  std::string hex;          // the whole header
  const char* read_method;  // the method the reader returns
};

const Bytes kCookies = from_hex("81 a1 61 01");

std::vector<Example> examples() {
  RequestHeader first = sized({.transport = "zq:quik:real", .method = "POST", .route = "api",
                               .url = as_bytes("zq://h/a")}, 5);
  RequestHeader second{.transport = "zq:raw:dev", .method = "Options", .route = "files",
                       .url = as_bytes("zq://h/"), .cookies = ByteView(kCookies), .version = 1};
  RequestHeader third{.payload = {PayloadMode::ToEnd, 0}, .transport = "tcp", .method = "get",
                      .route = "zq:net", .url = as_bytes(kUrl300), .version = 2};
  return {
      {"version 0, post, api, sized", first, "25 02 01 80 08 7a 71 3a 2f 2f 68 2f 61 00 05", "post"},
      {"version 1, coded transport, texts, cookies", second,
       "50 20 07 05 6f 70 74 69 6f 6e 73 66 69 6c 65 73 40 07 7a 71 3a 2f 2f 68 2f 04 81 a1 61 01", "options"},
      {"version 2, tcp, 300-byte url, to the end", third, "8a 03 74 63 70 91 01 2c " + test::to_hex(as_bytes(kUrl300)),
       "get"},
  };
}

TEST(RequestHeaderTest, WorkedExamplesBothWays) {
  for (const Example& example : examples()) {
    SCOPED_TRACE(example.name);
    Bytes out;
    const Status written = write_request_header(example.written, out);
    ASSERT_TRUE(written.ok()) << describe(written);
    EXPECT_EQ(to_hex(out), example.hex);

    const Bytes wire = from_hex(example.hex);
    const auto read = read_request_header(wire);
    ASSERT_TRUE(read.ok()) << describe(read);
    RequestHeader expected = example.written;
    expected.method = example.read_method;
    expected.header_len = wire.size();
    EXPECT_TRUE(*read == expected);
  }
}

TEST(RequestHeaderTest, ReaderStopsAtThePayloadAndReturnsViews) {
  const Bytes wire = from_hex("25 02 01 80 08 7a 71 3a 2f 2f 68 2f 61 00 05 01 02 03 04 05");
  const auto read = read_request_header(wire);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read->header_len, 15u);
  EXPECT_EQ(read->url.data(), wire.data() + 5);

  const Bytes with_texts = from_hex("00 01 01 01 61 62 63 00 00");
  const auto texts = read_request_header(with_texts);
  ASSERT_TRUE(texts.ok()) << describe(texts);
  EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(texts->method.data()), with_texts.data() + 5);
}

// ---- the writer

struct WriteCase {
  const char* name;
  RequestHeader header;
  const char* hex;  // the whole header
};

// Transport, method and route all default, an empty URL, no cookies, nothing after.
RequestHeader base() { return {.transport = "zq:quik:real", .method = "get", .route = "zq:net"}; }
RequestHeader with(void (*change)(RequestHeader&)) {
  RequestHeader h = base();
  change(h);
  return h;
}

const std::string k255(255, 'm');
const std::string k256(256, 'm');
const std::string kUrl255(255, 'u');
const std::string kUrl256(256, 'u');
const Bytes kCookies256(256, 0x80);

TEST(RequestHeaderTest, WriterClassifiesTokensAndSizesLengths) {
  const WriteCase cases[] = {
      {"all defaults", base(), "2a 00 00"},
      {"GET is the default bit", with([](RequestHeader& h) { h.method = "GET"; }), "2a 00 00"},
      {"Get is the default bit", with([](RequestHeader& h) { h.method = "Get"; }), "2a 00 00"},
      {"Fetch goes as text fetch", with([](RequestHeader& h) { h.method = "Fetch"; }), "22 05 66 65 74 63 68 00 00"},
      {"non-ASCII bytes keep their case", with([](RequestHeader& h) { h.method = "\xc3\x89T"; }),
       "22 03 c3 89 74 00 00"},
      {"post", with([](RequestHeader& h) { h.method = "post"; }), "26 02 00 00"},
      {"put", with([](RequestHeader& h) { h.method = "put"; }), "26 03 00 00"},
      {"delete", with([](RequestHeader& h) { h.method = "DELETE"; }), "26 04 00 00"},
      {"patch", with([](RequestHeader& h) { h.method = "patch"; }), "26 05 00 00"},
      {"zq:sys", with([](RequestHeader& h) { h.method = "ZQ:SYS"; }), "26 08 00 00"},
      {"zq:quik:dev", with([](RequestHeader& h) { h.transport = "zq:quik:dev"; }), "1a 10 00 00"},
      {"zq:raw:dev", with([](RequestHeader& h) { h.transport = "zq:raw:dev"; }), "1a 20 00 00"},
      {"zq:quik:net with post share the code byte",
       with([](RequestHeader& h) { h.transport = "zq:quik:net"; h.method = "post"; }), "16 32 00 00"},
      {"transport in capitals travels as text", with([](RequestHeader& h) { h.transport = "ZQ:QUIK:REAL"; }),
       "0a 0c 5a 51 3a 51 55 49 4b 3a 52 45 41 4c 00 00"},
      {"route api is coded", with([](RequestHeader& h) { h.route = "api"; }), "29 01 00 00"},
      {"empty route text", with([](RequestHeader& h) { h.route = ""; }), "28 00 00 00"},
      {"texts in transport, method, route order",
       with([](RequestHeader& h) { h.transport = "t"; h.method = "M"; h.route = "r"; }),
       "00 01 01 01 74 6d 72 00 00"},
      {"version 3", with([](RequestHeader& h) { h.version = 3; }), "ea 00 00"},
      {"to the end", with([](RequestHeader& h) { h.payload = {PayloadMode::ToEnd, 99}; }), "2a 81 00"},
      {"sized 0", with([](RequestHeader& h) { h.payload = {PayloadMode::Sized, 0}; }), "2a 80 00 00 00"},
      {"sized 16383 takes two varint bytes", with([](RequestHeader& h) { h.payload = {PayloadMode::Sized, 16383}; }),
       "2a 80 00 3f ff"},
      {"sized 16384 takes three", with([](RequestHeader& h) { h.payload = {PayloadMode::Sized, 16384}; }),
       "2a 80 00 40 40 00"},
      {"empty cookies section", with([](RequestHeader& h) { h.cookies = ByteView(); }), "2a 40 00 00"},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out;
    const Status status = write_request_header(c.header, out);
    ASSERT_TRUE(status.ok()) << describe(status);
    EXPECT_EQ(to_hex(out), c.hex);
  }
}

TEST(RequestHeaderTest, WriterLengthFieldWidths) {
  const struct {
    const char* name;
    RequestHeader header;
    std::uint8_t sizes;
    std::size_t size;
  } cases[] = {
      {"255-byte method text", with([](RequestHeader& h) { h.method = k255; }), 0x00, 1 + 1 + 255 + 1 + 1},
      {"255-byte url, one-byte length", with([](RequestHeader& h) { h.url = as_bytes(kUrl255); }), 0x00,
       1 + 1 + 1 + 255},
      {"256-byte url, width code 1", with([](RequestHeader& h) { h.url = as_bytes(kUrl256); }), 0x10,
       1 + 1 + 2 + 256},
      {"256-byte cookies, width code 1", with([](RequestHeader& h) { h.cookies = ByteView(kCookies256); }), 0x44,
       1 + 1 + 1 + 2 + 256},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out;
    ASSERT_TRUE(write_request_header(c.header, out).ok());
    EXPECT_EQ(out.size(), c.size);
    const auto read = read_request_header(out);
    ASSERT_TRUE(read.ok()) << describe(read);
    EXPECT_EQ(read->header_len, out.size());
    RequestHeader expected = c.header;
    expected.header_len = out.size();
    EXPECT_TRUE(*read == expected);
    // The sizes byte follows the texts.
    const std::size_t sizes_at = c.header.method.size() == 255 ? 1 + 1 + 255 : 1;
    EXPECT_EQ(out[sizes_at], c.sizes);
  }
}

TEST(RequestHeaderTest, WriterErrorsInOrderLeaveTheBufferAlone) {
  const struct {
    const char* name;
    RequestHeader header;
    WireError error;
  } cases[] = {
      {"version 4", with([](RequestHeader& h) { h.version = 4; h.transport = k256; }), invalid("version must be 0..3")},
      {"version 255", with([](RequestHeader& h) { h.version = 255; }), invalid("version must be 0..3")},
      {"256-byte transport before method", with([](RequestHeader& h) { h.transport = k256; h.method = k256; }),
       invalid("transport")},
      {"256-byte method", with([](RequestHeader& h) { h.method = k256; }), invalid("method")},
      {"256-byte method before route", with([](RequestHeader& h) { h.method = k256; h.route = k256; }),
       invalid("method")},
      {"256-byte route", with([](RequestHeader& h) { h.route = k256; }), invalid("route")},
      {"sized 2^62", with([](RequestHeader& h) { h.payload = {PayloadMode::Sized, kMaxHeaderVarint + 1}; }),
       kTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out = from_hex("aa");
    const Status status = write_request_header(c.header, out);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(describe(status.error()), describe(c.error));
    EXPECT_EQ(to_hex(out), "aa");
  }
}

// ---- the reader

struct ReadCase {
  const char* name;
  const char* hex;
  std::string expected;  // "transport|method|route|url|mode length|cookies hex|version|header_len" or an error
};

std::string summary(const Result<RequestHeader>& read) {
  if (!read.ok()) return describe(read.error());
  const RequestHeader& h = *read;
  std::string s;
  for (std::string_view part : {h.transport, h.method, h.route, as_text(h.url)}) s.append(part).append("|");
  return s + test::framing_summary(h.payload, h.cookies, h.version, h.header_len);
}

TEST(RequestHeaderTest, ReaderCases) {
  const ReadCase cases[] = {
      // Default bits win over coded bits; the code byte is still there when the layout says so.
      {"transport default and coded", "3a 00 00", "zq:quik:real|get|zq:net||absent|-|v0|3"},
      {"method default and coded keeps its code byte", "2e ff 00 00", "zq:quik:real|get|zq:net||absent|-|v0|4"},
      {"route default and coded has no route byte", "2b 00 00", "zq:quik:real|get|zq:net||absent|-|v0|3"},
      {"unused nibble ignored", "1a 3f 00 00", "zq:quik:net|get|zq:net||absent|-|v0|4"},
      {"route code 2 reads as zq:net", "29 02 00 00", "zq:quik:real|get|zq:net||absent|-|v0|4"},
      {"route code 1 reads as api", "29 01 00 00", "zq:quik:real|get|api||absent|-|v0|4"},
      {"method code 8", "26 08 00 00", "zq:quik:real|zq:sys|zq:net||absent|-|v0|4"},
      {"method code 1", "26 01 00 00", "zq:quik:real|get|zq:net||absent|-|v0|4"},
      {"method text keeps its case", "22 03 47 45 54 00 00", "zq:quik:real|GET|zq:net||absent|-|v0|7"},
      {"empty route text", "28 00 00 00", "zq:quik:real|get|||absent|-|v0|4"},
      {"sizes 0x01 is absent", "2a 01 00", "zq:quik:real|get|zq:net||absent|-|v0|3"},
      {"reserved sizes bit ignored", "2a 02 00", "zq:quik:real|get|zq:net||absent|-|v0|3"},
      {"to the end", "2a 81 01 61 ee ee", "zq:quik:real|get|zq:net|a|to-end 0|-|v0|4"},
      {"sized with a long varint", "2a 80 00 80 00 00 00 05", "zq:quik:real|get|zq:net||sized 5|-|v0|8"},
      {"8-byte lengths", "ea 7c 00 00 00 00 00 00 00 01 61 00 00 00 00 00 00 00 01 80",
       "zq:quik:real|get|zq:net|a|absent|[80]|v3|20"},
      {"2- and 4-byte lengths", "6a 58 00 01 61 00 00 00 00", "zq:quik:real|get|zq:net|a|absent|[]|v1|9"},
      // Every cut-off item.
      {"empty", "", "Truncated"},
      {"code byte missing", "04", "Truncated"},
      {"route code byte missing", "29", "Truncated"},
      {"text length byte missing", "20", "Truncated"},
      {"transport text cut", "0a 03 74 63", "Truncated"},
      {"sizes byte missing", "2a", "Truncated"},
      {"url length missing", "2a 00", "Truncated"},
      {"8-byte url length, fewer than 8 bytes left", "2a 30 00 00 00 00 00 00 00", "Truncated"},
      {"url length near 2^64", "2a 30 ff ff ff ff ff ff ff f0 61", "Truncated"},
      {"url cut", "2a 00 02 61", "Truncated"},
      {"cookies length missing", "2a 40 00", "Truncated"},
      {"cookies cut", "2a 40 00 02 80", "Truncated"},
      {"payload varint missing", "2a 80 00", "Truncated"},
      {"payload varint cut", "2a 80 00 40 00", "Truncated"},
      // Bad codes and texts.
      {"transport nibble 0", "1a 00 00 00", "Invalid: transport"},
      {"transport nibble 4", "1a 40 00 00", "Invalid: transport"},
      {"method nibble 0", "26 00 00 00", "Invalid: method"},
      {"method nibble 6", "26 06 00 00", "Invalid: method"},
      {"method nibble 7", "26 07 00 00", "Invalid: method"},
      {"method nibble 9", "26 09 00 00", "Invalid: method"},
      {"method nibble 15", "26 0f 00 00", "Invalid: method"},
      {"route code 0", "29 00 00 00", "Invalid: route"},
      {"route code 3", "29 03 00 00", "Invalid: route"},
      {"transport text not utf-8", "0a 01 ff 00 00", "Invalid: invalid utf-8"},
      {"method text not utf-8", "22 02 c3 28 00 00", "Invalid: invalid utf-8"},
      {"route text not utf-8", "28 01 80 00 00", "Invalid: invalid utf-8"},
      // The order of the checks.
      {"length bytes are read before codes are checked", "10 40", "Truncated"},
      {"transport code before a cut method text", "12 40 05 61", "Invalid: transport"},
      {"transport text before method code", "06 06 01 ff", "Invalid: invalid utf-8"},
      {"cut method text before route code", "21 20 05 61", "Truncated"},
      {"route code before sizes", "29 00", "Invalid: route"},
      {"route text before a cut url", "28 01 ff 00 05", "Invalid: invalid utf-8"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(summary(read_request_header(from_hex(c.hex))), c.expected);
  }
}

}  // namespace
}  // namespace zq
