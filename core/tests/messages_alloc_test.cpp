// What messages allocate: written through the thread's buffers, a message costs nothing once
// they have grown (its URL text is printed on the stack); read, it makes only what the record
// keeps.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "allocation_count.h"
#include "message/messages.h"
#include "msgpack_test_values.h"
#include "url/url_printer.h"

namespace zq {
namespace {

using namespace zq::test;

// Cookies of more than 48 packed bytes (a value of its own block) and a small STP payload.
ZQResponse typical_response() {
  ZQResponse response;
  response.command = CommandObject::text("ok");
  response.cookies = MapOf({{Str("session"), Str(std::string(32, 'x'))}, {Str("lang"), Str("en")}});
  response.payload = TempDataObject::decoded(STPContainer{MapOf({{Str("id"), Int(123)}, {Str("ok"), Bool(true)}})});
  return response;
}

ZQRequest typical_request() {
  ZQRequest request;
  request.url = *parse_url("zq:quik:real~api~zq://[2001:db8::7]:8080/v1/items?id=42&name=alpha#top");
  request.method = "get";
  request.transport = "zq:quik:real";
  request.route = "api";
  const ZQResponse response = typical_response();
  request.cookies = response.cookies;
  request.payload = response.payload;
  return request;
}

TEST(MessageAllocations, WritingUsesTheThreadsBuffers) {
  const ZQResponse response = typical_response();
  const ZQResponse raw_payload = [&] {
    ZQResponse r = response;
    r.payload = TempDataObject::raw(Bytes(5000, 0x41));  // long enough to be kept apart
    return r;
  }();
  const ZQRequest request = typical_request();
  std::thread([&] {
    Bytes out(8192);
    const auto copy_out = [&](const Status& status, const WrittenMessage& message) {
      ASSERT_TRUE(status.ok());
      ASSERT_LE(message.size(), out.size());
      message.copy_to(out.data());
    };
    const auto write_a_response = [&](const ZQResponse& r) {
      WrittenMessage message;
      copy_out(write_response(r, true, message), message);
    };
    const auto write_the_request = [&] {
      WrittenMessage message;
      copy_out(write_request(request, 0, true, message), message);
    };
    for (const ZQResponse* r : {&response, &raw_payload}) {
      write_a_response(*r);  // the thread's buffers grow
      EXPECT_EQ(count_allocations([&] { write_a_response(*r); }).calls, 0u);
    }
    write_the_request();  // the URL is printed on the stack
    EXPECT_EQ(count_allocations(write_the_request).calls, 0u);
  }).join();
}

TEST(MessageAllocations, ReadingMakesWhatTheRecordKeeps) {
  const Bytes response_wire = *serialize_response(typical_response());
  ZQResponse response;
  const Allocations read = count_allocations([&] { ASSERT_TRUE(deserialize_response_into(response_wire, response).ok()); });
  // The cookies map's block and the payload bytes, each of exactly its size.
  EXPECT_EQ(read.calls, 2u);
  EXPECT_EQ(read.bytes, response.cookies.packed().size() + response.payload.verbatim()->size());

  const ZQRequest written = typical_request();
  const Bytes request_wire = *serialize_request(written);
  const std::string url_text = display_url(written.url);
  Url parsed;
  const Allocations url = count_allocations([&] { (void)parse_message_url_into(parsed, url_text); });
  ZQRequest request;
  const Allocations read_request =
      count_allocations([&] { ASSERT_TRUE(deserialize_request_into(request_wire, request).ok()); });
  EXPECT_EQ(read_request.calls, 2u + url.calls);
  EXPECT_EQ(read_request.bytes, url.bytes + request.cookies.packed().size() + request.payload.verbatim()->size());
}

}  // namespace
}  // namespace zq
