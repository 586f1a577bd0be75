// Request header writer and reader.
#include "message/request_header.h"

#include <cstring>

#include "common/byte_reader.h"
#include "common/utf8.h"
#include "message/token_codes.h"
#include "tables/canonical_tables.h"

namespace zq {

namespace {

constexpr std::uint8_t kTransportDefault = 0x20;
constexpr std::uint8_t kTransportCoded = 0x10;
constexpr std::uint8_t kMethodDefault = 0x08;
constexpr std::uint8_t kMethodCoded = 0x04;
constexpr std::uint8_t kRouteDefault = 0x02;
constexpr std::uint8_t kRouteCoded = 0x01;

constexpr std::uint8_t kFramingBits = 0x81;
constexpr std::uint8_t kSizedBits = 0x80;
constexpr std::uint8_t kToEndBits = 0x81;
constexpr std::uint8_t kCookiesPresent = 0x40;

constexpr std::size_t kMaxTokenText = 255;

constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// `method` with A-Z lower-cased equals `token` (a lower-case token).
bool method_is(std::string_view method, std::string_view token) {
  if (method.size() != token.size()) return false;
  for (std::size_t i = 0; i < method.size(); ++i) {
    if (ascii_lower(method[i]) != token[i]) return false;
  }
  return true;
}

// Width code of a plain length field: 1, 2, 4 or 8 bytes.
unsigned width_code(std::uint64_t n) {
  if (n < (std::uint64_t{1} << 8)) return 0;
  if (n < (std::uint64_t{1} << 16)) return 1;
  if (n < (std::uint64_t{1} << 32)) return 2;
  return 3;
}

// Writes `n` as a big-endian field of the width `code` gives at `p`; returns the end.
std::uint8_t* put_length(std::uint64_t n, unsigned code, std::uint8_t* p) {
  const std::size_t width = std::size_t{1} << code;
  for (std::size_t i = 0; i < width; ++i) p[i] = static_cast<std::uint8_t>(n >> (8 * (width - 1 - i)));
  return p + width;
}

std::uint8_t* put_bytes(ByteView bytes, std::uint8_t* p) {
  if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  return p + bytes.size();
}

Result<std::uint64_t> read_length(ByteReader& reader, unsigned code) {
  ZQ_ASSIGN_OR_RETURN(const ByteView bytes, reader.bytes(std::size_t{1} << code));
  std::uint64_t n = 0;
  for (std::uint8_t b : bytes) n = (n << 8) | b;
  return n;
}

// A length field of width `code`, then that many bytes. Compared with what remains, so a huge
// length cannot overflow the end position.
Result<ByteView> read_sized_bytes(ByteReader& reader, unsigned code) {
  ZQ_ASSIGN_OR_RETURN(const std::uint64_t n, read_length(reader, code));
  if (n > reader.remaining()) return WireError::truncated();
  return reader.bytes(static_cast<std::size_t>(n));
}

// A token text of `length` bytes, checked for UTF-8.
Result<std::string_view> read_token_text(ByteReader& reader, std::uint8_t length) {
  ZQ_ASSIGN_OR_RETURN(const ByteView bytes, reader.bytes(length));
  const std::string_view text = as_text(bytes);
  if (!is_valid_utf8(text)) return WireError::invalid("invalid utf-8");
  return text;
}

// A token as default bit, code or text, from one header's point of view.
struct TokenChoice {
  std::uint8_t flag = 0;  // the default or coded bit; 0 for text
  std::uint8_t code = 0;  // wire code when coded
};

}  // namespace

bool operator==(const RequestHeader& a, const RequestHeader& b) {
  auto same = [](const std::optional<ByteView>& x, const std::optional<ByteView>& y) {
    return x.has_value() == y.has_value() && (!x || as_text(*x) == as_text(*y));
  };
  return a.payload == b.payload && a.transport == b.transport && a.method == b.method && a.route == b.route &&
         as_text(a.url) == as_text(b.url) && same(a.cookies, b.cookies) && a.version == b.version &&
         a.header_len == b.header_len;
}

Status write_request_header(const RequestHeader& header, Bytes& out) {
  if (header.version > 3) return WireError::invalid("version must be 0..3");

  TokenChoice transport, method, route;
  if (header.transport == tables::kBaseTransport) {
    transport.flag = kTransportDefault;
  } else if ((transport.code = internal::wire_code_of(tables::common_transports(),
                                                      [&](std::string_view t) { return t == header.transport; }))) {
    transport.flag = kTransportCoded;
  }
  if (method_is(header.method, tables::kBaseMethod)) {
    method.flag = kMethodDefault;
  } else if ((method.code = internal::wire_code_of(tables::common_methods(),
                                                   [&](std::string_view t) { return method_is(header.method, t); }))) {
    method.flag = kMethodCoded;
  }
  if (header.route == tables::kBaseRoute) {
    route.flag = kRouteDefault;
  } else if ((route.code = internal::wire_code_of(tables::common_routes(),
                                                  [&](std::string_view t) { return t == header.route; }))) {
    route.flag = kRouteCoded;
  }

  const bool transport_text = transport.flag == 0, method_text = method.flag == 0, route_text = route.flag == 0;
  if (transport_text && header.transport.size() > kMaxTokenText) return WireError::invalid("transport");
  if (method_text && header.method.size() > kMaxTokenText) return WireError::invalid("method");
  if (route_text && header.route.size() > kMaxTokenText) return WireError::invalid("route");
  const bool sized = header.payload.mode == PayloadMode::Sized;
  if (sized && header.payload.length > kMaxHeaderVarint) return WireError::too_large();

  // Every check is done: from here on the bytes are written into room made for all of them.
  const std::uint8_t code_byte = static_cast<std::uint8_t>(transport.code << 4 | method.code);
  const unsigned url_width = width_code(header.url.size());
  const unsigned cookies_width = header.cookies ? width_code(header.cookies->size()) : 0;
  const std::size_t varint_size = sized ? header_varint_size(header.payload.length) : 0;
  std::size_t size = 2 + (code_byte != 0) + (route.flag == kRouteCoded) + (std::size_t{1} << url_width) +
                     header.url.size() + varint_size;
  if (transport_text) size += 1 + header.transport.size();
  if (method_text) size += 1 + header.method.size();
  if (route_text) size += 1 + header.route.size();
  if (header.cookies) size += (std::size_t{1} << cookies_width) + header.cookies->size();
  const std::size_t start = out.size();
  out.resize(start + size);
  std::uint8_t* p = out.data() + start;

  *p++ = static_cast<std::uint8_t>(header.version << 6 | transport.flag | method.flag | route.flag);
  if (code_byte != 0) *p++ = code_byte;
  if (route.flag == kRouteCoded) *p++ = route.code;
  if (transport_text) *p++ = static_cast<std::uint8_t>(header.transport.size());
  if (method_text) *p++ = static_cast<std::uint8_t>(header.method.size());
  if (route_text) *p++ = static_cast<std::uint8_t>(header.route.size());
  if (transport_text) p = put_bytes(as_bytes(header.transport), p);
  if (method_text) {
    for (char c : header.method) *p++ = static_cast<std::uint8_t>(ascii_lower(c));
  }
  if (route_text) p = put_bytes(as_bytes(header.route), p);

  std::uint8_t sizes = static_cast<std::uint8_t>(url_width << 4);
  if (sized) sizes |= kSizedBits;
  if (header.payload.mode == PayloadMode::ToEnd) sizes |= kToEndBits;
  if (header.cookies) sizes |= static_cast<std::uint8_t>(kCookiesPresent | cookies_width << 2);
  *p++ = sizes;
  p = put_length(header.url.size(), url_width, p);
  p = put_bytes(header.url, p);
  if (header.cookies) {
    p = put_length(header.cookies->size(), cookies_width, p);
    p = put_bytes(*header.cookies, p);
  }
  if (sized) put_header_varint(header.payload.length, varint_size, p);
  return {};
}

Result<RequestHeader> read_request_header(ByteView data) {
  ByteReader reader(data);
  RequestHeader header;
  ZQ_ASSIGN_OR_RETURN(const std::uint8_t flags, reader.u8());
  header.version = flags >> 6;
  std::uint8_t code_byte = 0, route_code = 0, transport_len = 0, method_len = 0, route_len = 0;
  if ((flags & 0x30) == kTransportCoded || (flags & kMethodCoded)) {
    ZQ_ASSIGN_OR_RETURN(code_byte, reader.u8());
  }
  if ((flags & 0x03) == kRouteCoded) {
    ZQ_ASSIGN_OR_RETURN(route_code, reader.u8());
  }
  const bool transport_text = (flags & 0x30) == 0, method_text = (flags & 0x0C) == 0,
             route_text = (flags & 0x03) == 0;
  if (transport_text) {
    ZQ_ASSIGN_OR_RETURN(transport_len, reader.u8());
  }
  if (method_text) {
    ZQ_ASSIGN_OR_RETURN(method_len, reader.u8());
  }
  if (route_text) {
    ZQ_ASSIGN_OR_RETURN(route_len, reader.u8());
  }

  // Default bits win over coded bits; a nibble that no coded field uses is ignored.
  if (flags & kTransportDefault) {
    header.transport = tables::kBaseTransport;
  } else if (flags & kTransportCoded) {
    const auto token = internal::token_of(tables::common_transports(), code_byte >> 4);
    if (!token) return WireError::invalid("transport");
    header.transport = *token;
  } else {
    ZQ_ASSIGN_OR_RETURN(header.transport, read_token_text(reader, transport_len));
  }
  if (flags & kMethodDefault) {
    header.method = tables::kBaseMethod;
  } else if (flags & kMethodCoded) {
    const auto token = internal::token_of(tables::common_methods(), code_byte & 0x0F);
    if (!token) return WireError::invalid("method");
    header.method = *token;
  } else {
    ZQ_ASSIGN_OR_RETURN(header.method, read_token_text(reader, method_len));
  }
  if (flags & kRouteDefault) {
    header.route = tables::kBaseRoute;
  } else if (flags & kRouteCoded) {
    const auto token = internal::token_of(tables::common_routes(), route_code);
    if (!token) return WireError::invalid("route");
    header.route = *token;
  } else {
    ZQ_ASSIGN_OR_RETURN(header.route, read_token_text(reader, route_len));
  }

  ZQ_ASSIGN_OR_RETURN(const std::uint8_t sizes, reader.u8());
  ZQ_ASSIGN_OR_RETURN(header.url, read_sized_bytes(reader, (sizes >> 4) & 3));
  if (sizes & kCookiesPresent) {
    ZQ_ASSIGN_OR_RETURN(header.cookies, read_sized_bytes(reader, (sizes >> 2) & 3));
  }
  // Bit 7 clear is Absent whatever bit 0 holds.
  if ((sizes & kFramingBits) == kToEndBits) {
    header.payload.mode = PayloadMode::ToEnd;
  } else if (sizes & kSizedBits) {
    header.payload.mode = PayloadMode::Sized;
    ZQ_ASSIGN_OR_RETURN(header.payload.length, read_header_varint(reader));
  }
  header.header_len = reader.offset();
  return header;
}

}  // namespace zq
