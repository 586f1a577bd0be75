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

// The payload bytes after the header, by the framing the header announced, copied into `slot`.
Status read_payload(ByteView message, const PayloadFraming& framing, std::uint64_t header_len, TempDataObject& slot) {
  const std::uint64_t available = message.size() - header_len;
  switch (framing.mode) {
    case PayloadMode::Absent:
      if (available != 0) return WireError::invalid("Trailing bytes");
      return {};
    case PayloadMode::ToEnd:
      break;
    case PayloadMode::Sized:
      // Compared with what remains, so a huge length cannot overflow the end position.
      if (framing.length > available) return WireError::truncated();
      if (framing.length < available) return WireError::invalid("Trailing bytes");
      break;
  }
  slot.assign_raw(message.subspan(static_cast<std::size_t>(header_len)));
  return {};
}

// The cookies section: one whole MessagePack map, or none (the record's empty map stays).
Status read_cookies(const std::optional<ByteView>& section, Value& cookies) {
  if (!section) return {};
  std::size_t position = 0;
  auto decoded = decode_value(*section, position, /*ext_as_bytes=*/true);
  if (!decoded.ok() || position != section->size()) return bad_cookies();
  if (decoded->kind() != Value::Kind::Map) return WireError::invalid("cookies must be msgpack map");
  cookies = std::move(decoded).value();
  return {};
}

// A written message as a new byte string of exactly its size.
Result<Bytes> take_bytes(const Status& status, const WrittenMessage& message) {
  if (!status.ok()) return status.error();
  Bytes bytes(message.size());
  message.copy_to(bytes.data());
  return bytes;
}

Result<Bytes> request_bytes(const ZQRequest& request, std::uint8_t version, bool with_payload) {
  WrittenMessage message;
  return take_bytes(write_request(request, version, with_payload, message), message);
}

Result<Bytes> response_bytes(const ZQResponse& response, bool with_payload) {
  WrittenMessage message;
  return take_bytes(write_response(response, with_payload, message), message);
}

}  // namespace

Result<std::optional<ByteView>> cookies_section(const Value& cookies) {
  if (cookies.as_map().empty()) return std::optional<ByteView>();
  if (!encodable(cookies)) return bad_cookies();
  return std::optional<ByteView>(cookies.packed());
}

Status write_request(const ZQRequest& request, std::uint8_t version, bool with_payload, WrittenMessage& out) {
  ZQ_ASSIGN_OR_RETURN(const std::optional<ByteView> cookies, cookies_section(request.cookies));
  ZQ_RETURN_IF_ERROR(encode_temp_data_object(request.payload, out.payload_));
  const PrintedUrl url(request.url);

  RequestHeader header;
  header.payload = framing_of(out.payload_);
  header.transport = request.transport;
  header.method = request.method;
  header.route = request.route;
  header.url = as_bytes(url.view());
  header.cookies = cookies;
  header.version = version;

  ScratchOutput& scratch = out.out_.emplace();
  scratch.bytes().reserve(url.size() + (cookies ? cookies->size() : 0) + kHeaderRoom);
  ZQ_RETURN_IF_ERROR(write_request_header(header, scratch.bytes()));
  if (with_payload) scratch.append_kept(out.payload_.view);
  return {};
}

Status write_response(const ZQResponse& response, bool with_payload, WrittenMessage& out) {
  ZQ_ASSIGN_OR_RETURN(const std::optional<ByteView> cookies, cookies_section(response.cookies));
  ZQ_RETURN_IF_ERROR(encode_temp_data_object(response.payload, out.payload_));

  ResponseHeader header;
  header.payload = framing_of(out.payload_);
  header.command = normal_view(response.command);
  header.cookies = cookies;
  header.version = response.version;

  ScratchOutput& scratch = out.out_.emplace();
  scratch.bytes().reserve((cookies ? cookies->size() : 0) + kHeaderRoom);
  ZQ_RETURN_IF_ERROR(write_response_header(header, scratch.bytes()));
  if (with_payload) scratch.append_kept(out.payload_.view);
  return {};
}

Result<Bytes> serialize_request(const ZQRequest& request) { return request_bytes(request, request.version, true); }
Result<Bytes> serialize_request_header(const ZQRequest& request) {
  return request_bytes(request, request.version, false);
}
Result<Bytes> serialize_request(const ZQRequest& request, std::uint8_t version) {
  return request_bytes(request, version, true);
}
Result<Bytes> serialize_request_header(const ZQRequest& request, std::uint8_t version) {
  return request_bytes(request, version, false);
}
Result<Bytes> serialize_response(const ZQResponse& response) { return response_bytes(response, true); }
Result<Bytes> serialize_response_header(const ZQResponse& response) { return response_bytes(response, false); }

Status deserialize_request_into(ByteView message, ZQRequest& out) {
  RequestHeader header;
  ZQ_RETURN_IF_ERROR(read_request_header_into(message, header));
  ZQ_RETURN_IF_ERROR(read_payload(message, header.payload, header.header_len, out.payload));
  out.transport.assign(header.transport);
  out.route.assign(header.route);
  out.method.assign(header.method);

  const std::string_view url_text = as_text(header.url);
  if (!is_valid_utf8(url_text)) return WireError::invalid("invalid utf-8 in url");
  // `out` is a fresh record, so its URL holds the defaults the parser starts from.
  if (!parse_message_url_into(out.url, url_text).ok()) return WireError::invalid("invalid url");

  ZQ_RETURN_IF_ERROR(read_cookies(header.cookies, out.cookies));
  out.version = header.version;
  return {};
}

Status deserialize_response_into(ByteView message, ZQResponse& out) {
  ZQ_ASSIGN_OR_RETURN(const ResponseHeader header, read_response_header(message));
  ZQ_RETURN_IF_ERROR(read_payload(message, header.payload, header.header_len, out.payload));
  out.command = CommandObject::from_view(header.command);
  ZQ_RETURN_IF_ERROR(read_cookies(header.cookies, out.cookies));
  out.version = header.version;
  return {};
}

Result<ZQRequest> deserialize_request(ByteView message) {
  ZQRequest request;
  ZQ_RETURN_IF_ERROR(deserialize_request_into(message, request));
  return request;
}

Result<ZQResponse> deserialize_response(ByteView message) {
  ZQResponse response;
  ZQ_RETURN_IF_ERROR(deserialize_response_into(message, response));
  return response;
}

}  // namespace zq
