// Request and response records and their whole wire messages: the header, then the payload
// bytes. Writing encodes the cookies and the payload slot and hands them to the header writer;
// reading checks the payload framing against the whole message, copies what the record keeps
// and leaves the payload raw in its slot.
#pragma once

#include <cstdint>
#include <optional>

#include "common/bytes.h"
#include "common/result.h"
#include "common/text.h"
#include "payload/temp_data_object.h"
#include "serialization/msgpack.h"
#include "serialization/value.h"
#include "status/command.h"
#include "url/url.h"

namespace zq {

struct ZQRequest {
  Url url = new_url();
  Text method;  // stored as given; lower-cased on the wire only
  Text transport;
  Text route;
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

// The cookies section: none for no cookies (an empty Map), else the map itself, whose packed
// form is its MessagePack encoding (a view of `cookies`). Invalid "bad msgpack payload" when the
// encoder refuses a value in it.
Result<std::optional<ByteView>> cookies_section(const Value& cookies);

// A message written for a caller that copies it once into memory of its own: the header in the
// calling thread's scratch output, the payload bytes kept where they are when long (see
// ScratchOutput). Valid while it and the record it was written from live unchanged.
class WrittenMessage {
 public:
  std::size_t size() const { return out_->size(); }
  void copy_to(std::uint8_t* out) const { out_->copy_to(out); }

 private:
  friend Status write_request(const ZQRequest&, std::uint8_t, bool, WrittenMessage&);
  friend Status write_response(const ZQResponse&, bool, WrittenMessage&);

  EncodedPayload payload_;
  std::optional<ScratchOutput> out_;  // made once the payload is encoded
};

// Writes the whole message, or with `with_payload` false the header alone (which still
// announces the payload length), into `out`. A request goes out with `version` in place of its
// own. Errors in this order: the cookies', the payload encoder's, the header writer's; `out` is
// then to be discarded.
Status write_request(const ZQRequest& request, std::uint8_t version, bool with_payload, WrittenMessage& out);
Status write_response(const ZQResponse& response, bool with_payload, WrittenMessage& out);

// The same as new byte strings. Errors as above.
Result<Bytes> serialize_request(const ZQRequest& request);
Result<Bytes> serialize_request_header(const ZQRequest& request);
// The same for a copy of `request` with `version` in place of its own, without making the copy.
Result<Bytes> serialize_request(const ZQRequest& request, std::uint8_t version);
Result<Bytes> serialize_request_header(const ZQRequest& request, std::uint8_t version);
Result<Bytes> serialize_response(const ZQResponse& response);
Result<Bytes> serialize_response_header(const ZQResponse& response);

// Reads a whole message into `out`, a default-constructed record, copying what the record keeps
// once; the payload bytes are copied into a Raw slot, undecoded. A request's URL is read with
// parse_message_url, so every request write_request writes reads back. Errors in this order:
// the header reader's, the framing ("Trailing bytes", Truncated), for requests the URL
// ("invalid utf-8 in url", "invalid url"), then the cookies ("bad msgpack payload", "cookies
// must be msgpack map"). `out` is a new record, as its default constructor makes it; on an error
// it holds part of the message and is to be discarded.
Status deserialize_request_into(ByteView message, ZQRequest& out);
Status deserialize_response_into(ByteView message, ZQResponse& out);

// The same as new records.
Result<ZQRequest> deserialize_request(ByteView message);
Result<ZQResponse> deserialize_response(ByteView message);

}  // namespace zq
