// Request header writer and reader.
#include "message/request_header.h"

#include <cstring>

#include "common/byte_reader.h"
#include "common/utf8.h"
#include "message/token_codes.h"
#include "serialization/big_endian.h"
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

// `given` equals `token`, with A-Z in `given` lower-cased first when `fold_case` (the token is
// lower-case). Always inline: against a constant token it folds into a few compares.
[[gnu::always_inline]] inline bool token_matches(std::string_view given, std::string_view token, bool fold_case) {
  if (given.size() != token.size()) return false;
  if (!fold_case) return given == token;
  for (std::size_t i = 0; i < given.size(); ++i) {
    if (ascii_lower(given[i]) != token[i]) return false;
  }
  return true;
}

// Width code of a plain length field: 1, 2, 4 or 8 bytes.
unsigned width_code(std::uint64_t n) {
  return unsigned{n > 0xFF} + unsigned{n > 0xFFFF} + unsigned{n > 0xFFFFFFFF};
}

// Writes `n` as a big-endian field of the width `code` gives at `p`; returns the end. Out of
// line: one body serves the URL and the cookies fields.
[[gnu::noinline]] std::uint8_t* put_length(std::uint64_t n, unsigned code, std::uint8_t* p) {
  switch (code) {
    case 0:
      *p = static_cast<std::uint8_t>(n);
      break;
    case 1:
      store_be(p, static_cast<std::uint16_t>(n));
      break;
    case 2:
      store_be(p, static_cast<std::uint32_t>(n));
      break;
    default:
      store_be(p, n);
      break;
  }
  return p + (std::size_t{1} << code);
}

std::uint8_t* put_bytes(ByteView bytes, std::uint8_t* p) {
  if (!bytes.empty()) [[likely]] std::memcpy(p, bytes.data(), bytes.size());
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

// How one token goes out: as its default bit, as its coded bit and code, or as text.
struct TokenForm {
  std::uint8_t flag = 0;  // the default or coded bit; 0 for text
  std::uint8_t code = 0;  // wire code when coded
};

// The three tokens in wire order, with what tells their forms apart.
struct TokenKind {
  std::string_view base;
  std::span<const tables::NamedCode> (*table)();
  std::uint8_t default_bit;
  std::uint8_t coded_bit;
  bool fold_case;
  const char* name;  // the Invalid error of a text too long to write or a code without a token
};
constexpr TokenKind kTokenKinds[3] = {
    {tables::kBaseTransport, tables::common_transports, kTransportDefault, kTransportCoded, false, "transport"},
    {tables::kBaseMethod, tables::common_methods, kMethodDefault, kMethodCoded, true, "method"},
    {tables::kBaseRoute, tables::common_routes, kRouteDefault, kRouteCoded, false, "route"},
};

// The coded form of a token other than the base one, or text when the table lacks it. Out of
// line: one body serves all three tokens.
[[gnu::noinline]] TokenForm coded_form(std::string_view token, const TokenKind& kind) {
  for (const tables::NamedCode& entry : kind.table()) {
    if (token_matches(token, entry.name, kind.fold_case)) {
      return {kind.coded_bit, static_cast<std::uint8_t>(entry.code + 1)};
    }
  }
  return {};
}

// The form of a token of kind `kKind`: its default bit for the base token, else its coded form.
// Inline, so that the base token is a constant to compare with.
template <std::size_t kKind>
[[gnu::always_inline]] inline TokenForm form_of(std::string_view token) {
  constexpr TokenKind kind = kTokenKinds[kKind];
  if (token_matches(token, kind.base, kind.fold_case)) return {kind.default_bit, 0};
  return coded_form(token, kTokenKinds[kKind]);
}

// The token in the form `flags` give it (the default bit wins over the coded bit): the default,
// the token of `code`, or a text of `length` bytes read here. Out of line: one body serves all
// three tokens.
[[gnu::noinline]] Result<std::string_view> read_token(ByteReader& reader, std::uint8_t flags, const TokenKind& kind,
                                                      unsigned code, std::uint8_t length) {
  if (flags & kind.default_bit) return kind.base;
  if (flags & kind.coded_bit) {
    const auto token = internal::token_of(kind.table(), code);
    if (!token) return WireError::invalid(kind.name);
    return *token;
  }
  return read_token_text(reader, length);
}

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
  if (header.version > 3) [[unlikely]] return WireError::invalid("version must be 0..3");

  const std::string_view tokens[3] = {header.transport, header.method, header.route};
  // The base tokens are matched here, against constants; only other tokens are looked up.
  const TokenForm forms[3] = {form_of<0>(tokens[0]), form_of<1>(tokens[1]), form_of<2>(tokens[2])};
  for (std::size_t i = 0; i < 3; ++i) {
    if (forms[i].flag == 0 && tokens[i].size() > kMaxTokenText) [[unlikely]] {
      return WireError::invalid(kTokenKinds[i].name);
    }
  }
  const bool sized = header.payload.mode == PayloadMode::Sized;
  if (sized && header.payload.length > kMaxHeaderVarint) [[unlikely]] return WireError::too_large();

  // Every check is done: from here on the bytes are written into room made for all of them.
  const std::uint8_t code_byte = static_cast<std::uint8_t>(forms[0].code << 4 | forms[1].code);
  const bool route_coded = forms[2].flag == kRouteCoded;
  const unsigned url_width = width_code(header.url.size());
  const unsigned cookies_width = width_code(header.cookies ? header.cookies->size() : 0);
  const std::size_t varint_size = sized ? header_varint_size(header.payload.length) : 0;
  std::size_t size = 2 + (code_byte != 0) + route_coded + (std::size_t{1} << url_width) + header.url.size() +
                     varint_size;
  for (std::size_t i = 0; i < 3; ++i) {
    if (forms[i].flag == 0) size += 1 + tokens[i].size();
  }
  if (header.cookies) size += (std::size_t{1} << cookies_width) + header.cookies->size();
  const std::size_t start = out.size();
  out.resize(start + size);
  std::uint8_t* p = out.data() + start;

  *p++ = static_cast<std::uint8_t>(header.version << 6 | forms[0].flag | forms[1].flag | forms[2].flag);
  // Optional bytes are stored and then kept or not, without branches: the sizes byte always
  // follows, so a byte stored and not kept is written over.
  *p = code_byte;
  p += code_byte != 0;
  *p = forms[2].code;
  p += route_coded;
  for (std::size_t i = 0; i < 3; ++i) {
    *p = static_cast<std::uint8_t>(tokens[i].size());
    p += forms[i].flag == 0;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (forms[i].flag != 0) continue;
    if (kTokenKinds[i].fold_case) {
      for (char c : tokens[i]) *p++ = static_cast<std::uint8_t>(ascii_lower(c));
    } else {
      p = put_bytes(as_bytes(tokens[i]), p);
    }
  }

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
  RequestHeader header;
  ZQ_RETURN_IF_ERROR(read_request_header_into(data, header));
  return header;
}

Status read_request_header_into(ByteView data, RequestHeader& header) {
  ByteReader reader(data);
  ZQ_ASSIGN_OR_RETURN(const std::uint8_t flags, reader.u8());
  header.version = flags >> 6;
  std::uint8_t code_byte = 0, route_code = 0;
  if ((flags & 0x30) == kTransportCoded || (flags & kMethodCoded)) {
    ZQ_ASSIGN_OR_RETURN(code_byte, reader.u8());
  }
  if ((flags & 0x03) == kRouteCoded) {
    ZQ_ASSIGN_OR_RETURN(route_code, reader.u8());
  }
  std::uint8_t lengths[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    if ((flags & (kTokenKinds[i].default_bit | kTokenKinds[i].coded_bit)) == 0) {
      ZQ_ASSIGN_OR_RETURN(lengths[i], reader.u8());
    }
  }
  // A nibble that no coded field uses is ignored.
  const unsigned codes[3] = {unsigned{code_byte} >> 4, unsigned{code_byte} & 0x0Fu, route_code};
  std::string_view* const tokens[3] = {&header.transport, &header.method, &header.route};
  for (std::size_t i = 0; i < 3; ++i) {
    ZQ_ASSIGN_OR_RETURN(*tokens[i], read_token(reader, flags, kTokenKinds[i], codes[i], lengths[i]));
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
  return {};
}

}  // namespace zq
