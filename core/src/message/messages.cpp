// Request and response messages: the header writers and readers with the cookies map, the URL
// text and the payload bytes around them.
#include "message/messages.h"

#include "common/utf8.h"
#include "message/request_header.h"
#include "message/response_header.h"
#include "serialization/msgpack.h"
#include "url/url_printer.h"

namespace zq {
namespace {

constexpr std::size_t kHeaderRoom = 64;

WireError bad_cookies() { return WireError::invalid("bad msgpack payload"); }

PayloadFraming framing_of(const EncodedPayload& payload) {
  if (!payload.present) return {};
  return {PayloadMode::Sized, payload.view.size()};
}

std::optional<ByteView> view_of(const std::optional<Bytes>& bytes) {
  if (!bytes) return std::nullopt;
  return ByteView(*bytes);
}

// The payload bytes after the header, by the framing the header announced, copied into a slot.
Result<TempDataObject> read_payload(ByteView message, const PayloadFraming& framing, std::uint64_t header_len) {
  const std::uint64_t available = message.size() - header_len;
  switch (framing.mode) {
    case PayloadMode::Absent:
      if (available != 0) return WireError::invalid("Trailing bytes");
      return TempDataObject();
    case PayloadMode::ToEnd:
      break;
    case PayloadMode::Sized:
      // Compared with what remains, so a huge length cannot overflow the end position.
      if (framing.length > available) return WireError::truncated();
      if (framing.length < available) return WireError::invalid("Trailing bytes");
      break;
  }
  const ByteView bytes = message.subspan(static_cast<std::size_t>(header_len));
  return TempDataObject::raw(Bytes(bytes.data(), bytes.size()));
}

// The cookies section: one whole MessagePack map, or none.
Result<Value> read_cookies(const std::optional<ByteView>& section) {
  if (!section) return Value::empty_map();
  std::size_t position = 0;
  auto decoded = decode_value(*section, position, /*ext_as_bytes=*/true);
  if (!decoded.ok() || position != section->size()) return bad_cookies();
  if (decoded->kind() != Value::Kind::Map) return WireError::invalid("cookies must be msgpack map");
  return std::move(decoded).value();
}

Result<Bytes> write_request(const ZQRequest& request, std::uint8_t version, bool with_payload) {
  ZQ_ASSIGN_OR_RETURN(const std::optional<Bytes> cookies, encode_cookies(request.cookies));
  ZQ_ASSIGN_OR_RETURN(const EncodedPayload payload, encode_temp_data_object(request.payload));
  const std::string url = display_url(request.url);

  RequestHeader header;
  header.payload = framing_of(payload);
  header.transport = request.transport;
  header.method = request.method;
  header.route = request.route;
  header.url = as_bytes(url);
  header.cookies = view_of(cookies);
  header.version = version;

  Bytes out;
  out.reserve(url.size() + (cookies ? cookies->size() : 0) + kHeaderRoom +
              (with_payload ? payload.view.size() : 0));
  ZQ_RETURN_IF_ERROR(write_request_header(header, out));
  if (with_payload) append(out, payload.view);
  return out;
}

Result<Bytes> write_response(const ZQResponse& response, bool with_payload) {
  ZQ_ASSIGN_OR_RETURN(const std::optional<Bytes> cookies, encode_cookies(response.cookies));
  ZQ_ASSIGN_OR_RETURN(const EncodedPayload payload, encode_temp_data_object(response.payload));
  const CommandObject command = normalize_command(response.command);

  ResponseHeader header;
  header.payload = framing_of(payload);
  header.command = command.view();
  header.cookies = view_of(cookies);
  header.version = response.version;

  Bytes out;
  out.reserve((cookies ? cookies->size() : 0) + kHeaderRoom + (with_payload ? payload.view.size() : 0));
  ZQ_RETURN_IF_ERROR(write_response_header(header, out));
  if (with_payload) append(out, payload.view);
  return out;
}

}  // namespace

Result<std::optional<Bytes>> encode_cookies(const Value& cookies) {
  if (cookies.as_map().empty()) return std::optional<Bytes>();
  Bytes out;
  if (!encode_map_pairs(cookies, out).ok()) return bad_cookies();
  return std::optional<Bytes>(std::move(out));
}

Result<Bytes> serialize_request(const ZQRequest& request) { return write_request(request, request.version, true); }
Result<Bytes> serialize_request_header(const ZQRequest& request) {
  return write_request(request, request.version, false);
}
Result<Bytes> serialize_request(const ZQRequest& request, std::uint8_t version) {
  return write_request(request, version, true);
}
Result<Bytes> serialize_request_header(const ZQRequest& request, std::uint8_t version) {
  return write_request(request, version, false);
}
Result<Bytes> serialize_response(const ZQResponse& response) { return write_response(response, true); }
Result<Bytes> serialize_response_header(const ZQResponse& response) { return write_response(response, false); }

Result<ZQRequest> deserialize_request(ByteView message) {
  ZQ_ASSIGN_OR_RETURN(const RequestHeader header, read_request_header(message));
  ZQRequest request;
  ZQ_ASSIGN_OR_RETURN(request.payload, read_payload(message, header.payload, header.header_len));
  request.transport.assign(header.transport);
  request.route.assign(header.route);
  request.method.assign(header.method);

  const std::string_view url_text = as_text(header.url);
  if (!is_valid_utf8(url_text)) return WireError::invalid("invalid utf-8 in url");
  auto url = parse_message_url(url_text);
  if (!url.ok()) return WireError::invalid("invalid url");
  request.url = std::move(url).value();

  ZQ_ASSIGN_OR_RETURN(request.cookies, read_cookies(header.cookies));
  request.version = header.version;
  return request;
}

Result<ZQResponse> deserialize_response(ByteView message) {
  ZQ_ASSIGN_OR_RETURN(const ResponseHeader header, read_response_header(message));
  ZQResponse response;
  ZQ_ASSIGN_OR_RETURN(response.payload, read_payload(message, header.payload, header.header_len));
  response.command = CommandObject::from_view(header.command);
  ZQ_ASSIGN_OR_RETURN(response.cookies, read_cookies(header.cookies));
  response.version = header.version;
  return response;
}

}  // namespace zq
