// Request and response messages: the worked example byte for byte, payload framing, cookies,
// the order of the reader's checks, and that every request read back equals what was written.
#include "message/messages.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "container/container.h"
#include "hex_bytes.h"
#include "message/request_header.h"
#include "message/response_header.h"
#include "serialization/msgpack.h"
#include "tables/canonical_tables.h"
#include "url/url_printer.h"
#include "wire_error_text.h"

namespace zq {
namespace {

using test::describe;
using test::from_hex;
using test::to_hex;
using State = TempDataObject::State;

Url url_of(std::string_view text) { return *parse_url(text); }

ZQRequest example_request() {
  ZQRequest r;
  r.url = url_of("zq://h/a");
  r.method = "post";
  r.transport = std::string(tables::kBaseTransport);
  r.route = "api";
  r.payload = TempDataObject::raw(from_hex("01 02 03 04 05"));
  return r;
}

ZQResponse response_of(CommandObject command, TempDataObject payload = {}) {
  ZQResponse r;
  r.command = std::move(command);
  r.payload = std::move(payload);
  return r;
}

template <class T>
std::string hex_or_error(const Result<T>& result) {
  return result.ok() ? to_hex(*result) : describe(result.error());
}

Value pairs(std::initializer_list<std::pair<Value, Value>> list) {
  Value::Map out;
  for (const auto& [k, v] : list) out.push_back({k, v});
  return Value::map(out);
}

TEST(MessagesTest, WorkedExampleRequestByteForByte) {
  const ZQRequest r = example_request();
  EXPECT_EQ(hex_or_error(serialize_request(r)), "25 02 01 80 08 7a 71 3a 2f 2f 68 2f 61 00 05 01 02 03 04 05");
  EXPECT_EQ(hex_or_error(serialize_request_header(r)), "25 02 01 80 08 7a 71 3a 2f 2f 68 2f 61 00 05");

  auto back = deserialize_request(from_hex("25 02 01 80 08 7a 71 3a 2f 2f 68 2f 61 00 05 01 02 03 04 05"));
  ASSERT_TRUE(back.ok()) << describe(back.error());
  EXPECT_EQ(*back, r);
  EXPECT_EQ(back->payload.state(), State::Raw);
  EXPECT_TRUE(back->cookies.as_map().empty());
  // The header alone announces five bytes that are not there.
  EXPECT_EQ(describe(deserialize_request(*serialize_request_header(r))), "Truncated");
}

TEST(MessagesTest, PayloadFramingOfBothMessages) {
  struct Case {
    TempDataObject slot;
    std::uint8_t request_bits;  // framing bits of the sizes byte
    State read_back;
  };
  const Case cases[] = {
      {TempDataObject(), 0x00, State::Empty},
      {TempDataObject::raw(Bytes()), 0x80, State::Raw},
      {TempDataObject::raw(from_hex("aa")), 0x80, State::Raw},
  };
  for (const Case& c : cases) {
    ZQRequest request = example_request();
    request.payload = c.slot;
    const Bytes wire = *serialize_request(request);
    EXPECT_EQ(wire[3] & 0x81, c.request_bits);
    auto back = deserialize_request(wire);
    ASSERT_TRUE(back.ok()) << describe(back.error());
    EXPECT_EQ(back->payload.state(), c.read_back);
    EXPECT_EQ(*back, request);

    const ZQResponse response = response_of(CommandObject::integer(7), c.slot);
    auto response_back = deserialize_response(*serialize_response(response));
    ASSERT_TRUE(response_back.ok()) << describe(response_back.error());
    EXPECT_EQ(*response_back, response);
  }
  // Zero raw bytes are sized, length 0.
  ZQRequest zero = example_request();
  zero.payload = TempDataObject::raw(Bytes());
  EXPECT_EQ(hex_or_error(serialize_request(zero)), "25 02 01 80 08 7a 71 3a 2f 2f 68 2f 61 00 00");
}

TEST(MessagesTest, ToEndPayloadIsTheRestOfTheMessage) {
  for (const char* rest : {"", "01 02 03"}) {
    RequestHeader header;
    header.payload.mode = PayloadMode::ToEnd;
    header.transport = tables::kBaseTransport;
    header.method = "get";
    header.route = "api";
    const std::string url = "zq://h/";
    header.url = as_bytes(url);
    Bytes wire;
    ASSERT_TRUE(write_request_header(header, wire).ok());
    append(wire, from_hex(rest));
    auto back = deserialize_request(wire);
    ASSERT_TRUE(back.ok()) << describe(back.error());
    ASSERT_EQ(back->payload.state(), State::Raw);
    EXPECT_EQ(to_hex(*back->payload.verbatim()), rest);
  }
}

TEST(MessagesTest, ReaderChecksInOrder) {
  // Sizes byte 00: no payload, 5-byte URL. The URL bytes vary; a byte after them is trailing.
  struct Case {
    const char* wire;
    const char* error;
  };
  const Case cases[] = {
      {"25 02 01 00 07 7a 71 3a 2f 2f 68 2f", "ok"},
      {"25 02 01 00 07 7a 71 3a 2f 2f 68 2f 00", "Invalid: Trailing bytes"},
      {"25 02 01 00 03 ff fe fd", "Invalid: invalid utf-8 in url"},
      {"25 02 01 00 03 61 62 63", "Invalid: invalid url"},
      {"25 02 01 00 03 61 62 63 00", "Invalid: Trailing bytes"},  // framing before the URL
      {"25 02 01 80 03 61 62 63 00 05 01", "Truncated"},
      {"25 02 01 80 07 7a 71 3a 2f 2f 68 2f 00 01 aa bb", "Invalid: Trailing bytes"},
      // Cookies: an array; two maps; a truncated map; a map.
      {"25 02 01 40 07 7a 71 3a 2f 2f 68 2f 01 90", "Invalid: cookies must be msgpack map"},
      {"25 02 01 40 07 7a 71 3a 2f 2f 68 2f 02 80 80", "Invalid: bad msgpack payload"},
      {"25 02 01 40 07 7a 71 3a 2f 2f 68 2f 01 81", "Invalid: bad msgpack payload"},
      {"25 02 01 40 07 7a 71 3a 2f 2f 68 2f 01 80", "ok"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(describe(deserialize_request(from_hex(c.wire))), c.error) << c.wire;
  }
}

TEST(MessagesTest, CookiesKeepOrderDuplicatesAndKeyKinds) {
  ZQRequest request = example_request();
  request.cookies = pairs({{Value::str("a"), Value::integer(1)},
                           {Value::str("a"), Value::integer(2)},
                           {Value::bin(Bytes{'a'}), Value::integer(3)}});
  auto back = deserialize_request(*serialize_request(request));
  ASSERT_TRUE(back.ok()) << describe(back.error());
  EXPECT_EQ(back->cookies, request.cookies);

  ZQResponse response = response_of(CommandObject::text("ok"));
  response.cookies = request.cookies;
  auto response_back = deserialize_response(*serialize_response(response));
  ASSERT_TRUE(response_back.ok()) << describe(response_back.error());
  EXPECT_EQ(response_back->cookies, request.cookies);

  // No cookies, no section: 0x40 of the sizes byte and 0x08 of the response's byte 0 clear.
  EXPECT_EQ((*serialize_request(example_request()))[3] & 0x40, 0);
  EXPECT_EQ((*serialize_response(response_of(CommandObject::integer(9), TempDataObject::raw(Bytes{1}))))[0] & 0x08,
            0);
  // A value the encoder refuses.
  request.cookies = pairs({{Value::str("t"), Value::timestamp({0, 1000000000})}});
  EXPECT_EQ(describe(serialize_request(request)), "Invalid: bad msgpack payload");
}

TEST(MessagesTest, ResponseCommandOnTheWire) {
  // "ok" goes out as Bool true, inline, and reads back so.
  EXPECT_EQ(hex_or_error(serialize_response(response_of(CommandObject::text("ok")))), "02");
  auto back = deserialize_response(from_hex("02"));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back->command, CommandObject::boolean(true));
  EXPECT_TRUE(back->payload.is_empty());

  // Texts and bytes of every short length, with and without payload, read back as written:
  // the writer keeps a flagged message from reading as an inline one.
  for (std::size_t n = 0; n < 20; ++n) {
    for (int with_payload = 0; with_payload < 2; ++with_payload) {
      for (std::size_t payload_len = 0; payload_len < 18; ++payload_len) {
        TempDataObject slot = with_payload ? TempDataObject::raw(Bytes(payload_len, 0x41)) : TempDataObject();
        for (const CommandObject& command : {CommandObject::text(std::string(n, 'x')),
                                             CommandObject::binary(Bytes(n, 0xff))}) {
          ZQResponse response = response_of(command, slot);
          response.version = 2;
          auto read = deserialize_response(*serialize_response(response));
          ASSERT_TRUE(read.ok()) << n << " " << payload_len << " " << describe(read.error());
          EXPECT_EQ(*read, response) << n << " " << payload_len;
        }
        if (!with_payload) break;
      }
    }
  }
  EXPECT_EQ(describe(serialize_response(response_of(CommandObject::integer(std::uint64_t{1} << 62)))), "TooLarge");
  EXPECT_EQ(describe(serialize_response(response_of(CommandObject::integer((std::uint64_t{1} << 62) - 1)))), "ok");
}

TEST(MessagesTest, VersionFourFailsAfterTheSectionsWereEncoded) {
  ZQRequest request = example_request();
  request.version = 4;
  EXPECT_EQ(describe(serialize_request(request)), "Invalid: version must be 0..3");
  // The payload is encoded first: its error wins over the version's.
  request.payload = TempDataObject::decoded(STPContainer{Value::timestamp({0, 1000000000})});
  EXPECT_NE(describe(serialize_request(request)), "Invalid: version must be 0..3");
  ZQResponse response = response_of(CommandObject::boolean(true));
  response.version = 4;
  EXPECT_EQ(describe(serialize_response(response)), "Invalid: version must be 0..3");
}

// Messages as they were written before they went through a scratch output: the cookies and the
// payload encoded into buffers of their own, the header written into a buffer, the payload
// bytes appended.
std::optional<Bytes> reference_payload(const TempDataObject& slot, std::optional<WireError>& error) {
  if (slot.is_empty()) return std::nullopt;
  if (const Bytes* bytes = slot.verbatim()) return *bytes;
  auto encoded = encode_container(*slot.container());
  if (!encoded.ok()) {
    error = encoded.error();
    return std::nullopt;
  }
  return *encoded;
}

Result<Bytes> reference_request(const ZQRequest& request, bool with_payload) {
  std::optional<Bytes> cookies;
  if (!request.cookies.as_map().empty()) {
    cookies.emplace();
    if (!encode_map_pairs(request.cookies, *cookies).ok()) return WireError::invalid("bad msgpack payload");
  }
  std::optional<WireError> error;
  const std::optional<Bytes> payload = reference_payload(request.payload, error);
  if (error) return *error;
  const std::string url = display_url(request.url);
  RequestHeader header;
  if (payload) header.payload = {PayloadMode::Sized, payload->size()};
  header.transport = request.transport;
  header.method = request.method;
  header.route = request.route;
  header.url = as_bytes(url);
  if (cookies) header.cookies = ByteView(*cookies);
  header.version = request.version;
  Bytes out;
  if (auto status = write_request_header(header, out); !status.ok()) return status.error();
  if (with_payload && payload) append(out, *payload);
  return out;
}

Result<Bytes> reference_response(const ZQResponse& response, bool with_payload) {
  std::optional<Bytes> cookies;
  if (!response.cookies.as_map().empty()) {
    cookies.emplace();
    if (!encode_map_pairs(response.cookies, *cookies).ok()) return WireError::invalid("bad msgpack payload");
  }
  std::optional<WireError> error;
  const std::optional<Bytes> payload = reference_payload(response.payload, error);
  if (error) return *error;
  const CommandObject command = normalize_command(response.command);
  ResponseHeader header;
  if (payload) header.payload = {PayloadMode::Sized, payload->size()};
  header.command = command.view();
  if (cookies) header.cookies = ByteView(*cookies);
  header.version = response.version;
  Bytes out;
  if (auto status = write_response_header(header, out); !status.ok()) return status.error();
  if (with_payload && payload) append(out, *payload);
  return out;
}

// Every cookies and payload form the writers treat apart (none, inline and kept-apart sizes,
// refused values, each container kind, compressed bodies) with tokens, commands and versions,
// whole and header alone: the same bytes, or the same error, as the reference writers.
TEST(MessagesTest, WritersMatchTheReferenceWriters) {
  const std::string long_text(ScratchOutput::kGatherMin + 10, 'l');
  const Value cookie_forms[] = {
      Value::empty_map(),
      pairs({{Value::str("k"), Value::integer(1)}}),
      pairs({{Value::str("session"), Value::str(std::string(32, 'x'))}, {Value::str("zq"), pairs({})}}),
      pairs({{Value::str("big"), Value::str(long_text)}}),
      pairs({{Value::str("t"), Value::timestamp({0, 1000000000})}}),
  };
  const Value big_value = Value::array({Value::str(long_text), Value::bin(Bytes(5000, 3))});
  const TempDataObject payload_forms[] = {
      TempDataObject(),
      TempDataObject::raw(Bytes()),
      TempDataObject::raw(from_hex("01 02 03")),
      TempDataObject::raw(Bytes(ScratchOutput::kGatherMin * 2, 0x55)),
      TempDataObject::decoded(STPContainer{}),
      TempDataObject::decoded(STPContainer{pairs({{Value::str("id"), Value::integer(123)}}), 3, std::nullopt}),
      TempDataObject::decoded(STPContainer{big_value, 0, std::nullopt}),
      TempDataObject::decoded(STPContainer{big_value, 1, CompressionInfo{1, 0, 0, 1}}),
      TempDataObject::decoded(STPContainer{Value::timestamp({0, 1000000000}), 0, std::nullopt}),
      TempDataObject::decoded(DMPContainer{"schema", big_value, 2, std::nullopt, 1}),
      TempDataObject::decoded(DMPContainer{"s", Value::integer(5), 0, CompressionInfo{1, 0, 0, 0}, 0}),
      TempDataObject::decoded(ITPContainer{InterpreterType{}, Bytes(9000, 7), 1, std::nullopt}),
      TempDataObject::decoded(VFSDContainer{"/p", {}, 0, 0, 0, 0, 1, std::nullopt}),  // count 1, no frame
  };
  const CommandObject commands[] = {CommandObject::text("ok"), CommandObject::integer(7),
                                    CommandObject::binary(Bytes(3, 1)), CommandObject::text(std::string(300, 'c'))};
  std::size_t tried = 0;
  for (const Value& cookies : cookie_forms) {
    for (const TempDataObject& payload : payload_forms) {
      for (std::uint8_t version : {0, 3, 4}) {
        for (bool with_payload : {true, false}) {
          ZQRequest request = example_request();
          request.cookies = cookies;
          request.payload = payload;
          request.version = version;
          request.method = version == 3 ? std::string(300, 'm') : "Fetch";
          WrittenMessage message;
          const Status status = write_request(request, version, with_payload, message);
          const Result<Bytes> expected = reference_request(request, with_payload);
          ASSERT_EQ(status.ok(), expected.ok()) << tried;
          if (status.ok()) {
            Bytes written(message.size());
            message.copy_to(written.data());
            EXPECT_EQ(to_hex(written), to_hex(*expected)) << tried;
          } else {
            EXPECT_EQ(describe(status.error()), describe(expected.error())) << tried;
          }
          EXPECT_EQ(hex_or_error(with_payload ? serialize_request(request) : serialize_request_header(request)),
                    hex_or_error(expected))
              << tried;

          for (const CommandObject& command : commands) {
            ZQResponse response = response_of(command, payload);
            response.cookies = cookies;
            response.version = version;
            EXPECT_EQ(hex_or_error(with_payload ? serialize_response(response) : serialize_response_header(response)),
                      hex_or_error(reference_response(response, with_payload)))
                << tried;
          }
          ++tried;
        }
      }
    }
  }
  EXPECT_EQ(tried, std::size(cookie_forms) * std::size(payload_forms) * 6);
}

// What the URL text cannot carry, set as reading gives it back: the text of a host with a port
// is always bracketed, and an empty transport or route is written as none.
Url as_carried(Url url) {
  if (url.port) url.isIp = true;
  if (url.transport && url.transport->empty()) url.transport.reset();
  if (url.route && url.route->empty()) url.route.reset();
  return url;
}

// Reading a request back gives the request written, for every URL the parser makes and for
// the empty record, up to what the URL text cannot carry (as_carried); the empty scheme reads
// back as "zq", the scheme it is written as.
TEST(MessagesTest, EveryRequestReadsBackAsWritten) {
  const std::vector<std::string> chains = {"", "t~", "t~r~", "t~~", "~", "~~"};
  const std::vector<std::string> schemes = {"zq", "x", "lib", "file"};
  const std::vector<std::string> hosts = {"h", "a.b", "[::1]", "h:80", "[10.0.0.1]:8", "", "lib.sys",
                                          "lib.sysq", "[[::1]", "[[::1]:9"};
  const std::vector<std::string> paths = {"", "/", "/a/b", "/lib.sys", "x"};
  const std::vector<std::string> queries = {"", "?", "?a=1", "?a=1&b&a=2", "?s=x&f=1.5&t=True", "?k='q'&n=-3"};
  const std::vector<std::string> fragments = {"", "#", "#f", "#a?b"};
  std::mt19937 rng(9);
  std::size_t tried = 0;
  for (const auto& chain : chains)
    for (const auto& scheme : schemes)
      for (const auto& host : hosts)
        for (const auto& path : paths)
          for (const auto& query : queries)
            for (const auto& fragment : fragments) {
              const std::string text = chain + scheme + "://" + host + path + query + fragment;
              auto url = parse_url(text);
              if (!url.ok()) continue;
              ZQRequest request;
              request.url = as_carried(std::move(url).value());
              request.method = rng() % 2 ? "get" : "custom";  // the wire lower-cases methods
              request.transport = rng() % 2 ? std::string(tables::kBaseTransport) : "t";
              request.route = rng() % 2 ? "api" : "zq:net";
              if (rng() % 2) request.cookies = pairs({{Value::str("k"), Value::integer(rng() % 100)}});
              if (rng() % 2) request.payload = TempDataObject::raw(Bytes(rng() % 4, 0x41));
              auto back = deserialize_request(*serialize_request(request));
              ASSERT_TRUE(back.ok()) << text << ": " << describe(back.error());
              EXPECT_EQ(back->url, request.url) << text << " -> " << display_url(back->url);
              EXPECT_EQ(*back, request) << text;
              ++tried;
            }
  EXPECT_GT(tried, 5000u);

  ZQRequest empty;
  empty.url.transport = "t";
  auto back = deserialize_request(*serialize_request(empty));
  ASSERT_TRUE(back.ok()) << describe(back.error());
  Url expected = empty.url;
  expected.scheme = "zq";
  EXPECT_EQ(back->url, expected);
}

// Records no text makes, as setters leave them, read back too.
TEST(MessagesTest, SetterMadeUrlsReadBack) {
  struct Case {
    Url url;
    Url expected;
  };
  Url tilde_scheme = url_of("x://h/p");
  tilde_scheme.scheme = "a~b~c~d";
  Url library = url_of("lib://x");
  library.path = "";
  Url no_path = new_url();
  no_path.scheme = "x";
  no_path.path = "";
  Url expected_no_path = no_path;
  expected_no_path.path = "/";  // an empty path reads back as the default one
  const Case cases[] = {{tilde_scheme, tilde_scheme}, {library, library}, {no_path, expected_no_path}};
  for (const Case& c : cases) {
    ZQRequest request = example_request();
    request.url = c.url;
    auto back = deserialize_request(*serialize_request(request));
    ASSERT_TRUE(back.ok()) << display_url(c.url) << ": " << describe(back.error());
    EXPECT_EQ(back->url, c.expected) << display_url(c.url);
  }
}

}  // namespace
}  // namespace zq
