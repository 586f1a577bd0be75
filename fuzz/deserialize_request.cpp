// Fuzzes the request message reader against its writer: a request read from any input writes
// again (unless its cookies hold a value the encoder refuses), reads back as the same request up
// to what the wire and the URL text do not carry (method case, isIp beside a port, an empty
// transport or route of the URL, and so a scheme holding "~" after an empty transport; a query
// value of infinite or NaN float, written "inf" or "nan", reads back as text, a text that was
// quoted may read back as another value, and an empty key without value is not written at all),
// and from then on writes the same bytes (a URL the text does not carry may take one more hop);
// a payload that is a container writes, once unpacked, what its fresh encoding writes held raw.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "message/messages.h"
#include "message_checks.h"
#include "url/query_value.h"

namespace {

bool text_carries(const zq::Url& url) {
  if (url.scheme.view().find('~') != std::string_view::npos && !(url.transport && !url.transport->empty())) return false;
  for (const zq::QueryParam& param : url.params) {
    const zq::QueryValue& value = param.value;
    if (value.kind() == zq::QueryValue::Kind::Float && !std::isfinite(value.as_float())) return false;
    if (param.key.empty() && value.kind() == zq::QueryValue::Kind::None) return false;  // writes nothing
    // A text unquoted from 'text' is written bare and may read as another value.
    if (value.kind() == zq::QueryValue::Kind::Str && !(zq::parse_query_value(value.text()) == value)) return false;
  }
  return true;
}

// The request as reading its own message gives it back.
zq::ZQRequest as_carried(zq::ZQRequest request) {
  std::string method(request.method.view());
  for (char& c : method) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  request.method.assign(method);
  zq::Url& url = request.url;
  if (url.port) url.isIp = true;
  if (url.transport && url.transport->empty()) url.transport.reset();
  if (url.route && url.route->empty()) url.route.reset();
  return request;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zq;
  const auto request = deserialize_request(ByteView(data, size));
  if (!request.ok()) return 0;
  ZQ_FUZZ_CHECK(request->payload.state() != TempDataObject::State::Decoded);

  const auto written = serialize_request(*request);
  if (!fuzz::cookies_encodable(request->cookies)) {
    ZQ_FUZZ_CHECK(!written.ok() && written.error() == WireError::invalid("bad msgpack payload"));
    return 0;
  }
  ZQ_FUZZ_CHECK(written.ok());
  const auto again = deserialize_request(*written);
  ZQ_FUZZ_CHECK(again.ok());
  ZQRequest expected = as_carried(*request);
  const bool carried = text_carries(request->url);
  if (carried) ZQ_FUZZ_CHECK(again->url == expected.url);
  expected.url = again->url;
  ZQ_FUZZ_CHECK(fuzz::same_cookies(again->cookies, expected.cookies));
  expected.cookies = Value::empty_map();  // compared above, by encoding: a NaN is not equal to itself
  ZQ_FUZZ_CHECK(fuzz::without_cookies(*again) == expected);

  // A URL the text does not carry may take another hop to settle; it still reads back.
  const auto rewritten = serialize_request(*again);
  ZQ_FUZZ_CHECK(rewritten.ok() && (*rewritten == *written || (!carried && deserialize_request(*rewritten).ok())));
  const auto header = serialize_request_header(*again);
  ZQ_FUZZ_CHECK(header.ok() && header->size() <= rewritten->size());
  ZQ_FUZZ_CHECK(std::equal(header->begin(), header->end(), rewritten->begin()));

  // A payload that unpacks writes, Decoded, what its container's encoding writes held raw.
  if (const auto pair = fuzz::unpacked_and_raw(*again)) {
    ZQ_FUZZ_CHECK(fuzz::same_output(serialize_request(pair->first), serialize_request(pair->second)));
    ZQ_FUZZ_CHECK(fuzz::same_output(serialize_request_header(pair->first), serialize_request_header(pair->second)));
  }
  return 0;
}
