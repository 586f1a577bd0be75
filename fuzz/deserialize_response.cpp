// Fuzzes the response message reader against its writer: a response read from any input writes
// again (unless its cookies hold a value the encoder refuses), reads back as the same response
// with its command in normal form ("ok" as true), and from then on writes the same bytes, inline
// commands and flagged ones of inline-looking lengths included; a payload that is a container
// writes, once unpacked, what its fresh encoding writes held raw.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "message/messages.h"
#include "message_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zq;
  const auto response = deserialize_response(ByteView(data, size));
  if (!response.ok()) return 0;
  ZQ_FUZZ_CHECK(response->payload.state() != TempDataObject::State::Decoded);

  const auto written = serialize_response(*response);
  if (!fuzz::cookies_encodable(response->cookies)) {
    ZQ_FUZZ_CHECK(!written.ok() && written.error() == WireError::invalid("bad msgpack payload"));
    return 0;
  }
  ZQ_FUZZ_CHECK(written.ok());
  const auto again = deserialize_response(*written);
  ZQ_FUZZ_CHECK(again.ok());
  ZQResponse expected = *response;
  expected.command = normalize_command(expected.command);
  ZQ_FUZZ_CHECK(fuzz::same_cookies(again->cookies, expected.cookies));
  expected.cookies = Value::empty_map();  // compared above, by encoding: a NaN is not equal to itself
  ZQ_FUZZ_CHECK(fuzz::without_cookies(*again) == expected);

  const auto rewritten = serialize_response(*again);
  ZQ_FUZZ_CHECK(rewritten.ok() && *rewritten == *written);
  const auto header = serialize_response_header(*again);
  ZQ_FUZZ_CHECK(header.ok() && header->size() <= written->size());
  ZQ_FUZZ_CHECK(std::equal(header->begin(), header->end(), written->begin()));

  // A payload that unpacks writes, Decoded, what its container's encoding writes held raw.
  if (const auto pair = fuzz::unpacked_and_raw(*again)) {
    ZQ_FUZZ_CHECK(fuzz::same_output(serialize_response(pair->first), serialize_response(pair->second)));
    ZQ_FUZZ_CHECK(fuzz::same_output(serialize_response_header(pair->first), serialize_response_header(pair->second)));
  }
  return 0;
}
