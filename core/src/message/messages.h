// Request and response records and their whole wire messages: the header, then the payload
// bytes. Writing encodes the cookies and the payload slot and hands them to the header writer;
// reading checks the payload framing against the whole message, copies what the record keeps
// and leaves the payload raw in its slot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "common/result.h"
#include "payload/temp_data_object.h"
#include "serialization/value.h"
#include "status/command.h"
#include "url/url.h"

namespace zq {

struct ZQRequest {
  Url url = new_url();
  std::string method;  // stored as given; lower-cased on the wire only
  std::string transport;
  std::string route;
  Value cookies = Value::empty_map();  // a Map: keys of any kind, order and duplicates kept
  TempDataObject payload;
  std::uint8_t version = 0;  // only 0..3 can be written

  friend bool operator==(const ZQRequest&, const ZQRequest&) = default;
};

struct ZQResponse {
  CommandObject command;
  Value cookies = Value::empty_map();
  TempDataObject payload;
  std::uint8_t version = 0;

  friend bool operator==(const ZQResponse&, const ZQResponse&) = default;
};

// None for no cookies (an empty Map), else one MessagePack map of the pairs in order. Invalid
// "bad msgpack payload" when a value cannot be encoded.
Result<std::optional<Bytes>> encode_cookies(const Value& cookies);

// The whole message, or the header alone (which still announces the payload length). Errors in
// this order: the cookies', the payload encoder's, the header writer's.
Result<Bytes> serialize_request(const ZQRequest& request);
Result<Bytes> serialize_request_header(const ZQRequest& request);
// The same for a copy of `request` with `version` in place of its own, without making the copy.
Result<Bytes> serialize_request(const ZQRequest& request, std::uint8_t version);
Result<Bytes> serialize_request_header(const ZQRequest& request, std::uint8_t version);
Result<Bytes> serialize_response(const ZQResponse& response);
Result<Bytes> serialize_response_header(const ZQResponse& response);

// A new record from a whole message; the payload bytes are copied into a Raw slot, undecoded.
// A request's URL is read with parse_message_url, so every request serialize_request writes
// reads back. Errors in this order: the header reader's, the framing ("Trailing bytes",
// Truncated), for requests the URL ("invalid utf-8 in url", "invalid url"), then the cookies
// ("bad msgpack payload", "cookies must be msgpack map").
Result<ZQRequest> deserialize_request(ByteView message);
Result<ZQResponse> deserialize_response(ByteView message);

}  // namespace zq
