// Fuzzes the response header reader against its writer. The input is a whole message: a read
// header lies inside it, and the header written again, followed by as many payload bytes as it
// announces, is a message that reads back as the same header and writes again to the same
// bytes. That includes flagged messages whose length could pass for an inline command.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "message/response_header.h"

namespace {

// Sized payloads beyond this are not materialised.
constexpr std::uint64_t kMaxPayload = 1 << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zq;
  const ByteView input(data, size);
  const auto header = read_response_header(input);
  if (!header.ok()) return 0;
  ZQ_FUZZ_CHECK(header->header_len <= size);
  if (header->payload.mode == PayloadMode::ToEnd) {
    ZQ_FUZZ_CHECK(header->payload.length == size - header->header_len);
  }
  if (header->payload.mode != PayloadMode::Absent && header->payload.length > kMaxPayload) return 0;

  Bytes message;
  ZQ_FUZZ_CHECK(write_response_header(*header, message).ok());
  const std::size_t written = message.size();
  if (header->payload.mode != PayloadMode::Absent) {
    message.resize(written + static_cast<std::size_t>(header->payload.length), 0xA5);
  }
  const auto again = read_response_header(message);
  ZQ_FUZZ_CHECK(again.ok());
  ResponseHeader expected = *header;
  expected.header_len = written;
  ZQ_FUZZ_CHECK(*again == expected);

  Bytes rewritten;
  ZQ_FUZZ_CHECK(write_response_header(*again, rewritten).ok());
  ZQ_FUZZ_CHECK(rewritten.size() == written && std::memcmp(rewritten.data(), message.data(), written) == 0);
  return 0;
}
