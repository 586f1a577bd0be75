// Fuzzes the request header reader against its writer: a read header lies inside its input,
// writing it reads back as the same header but for the method's case, and writing what that
// gives is stable.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "message/request_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zq;
  const auto header = read_request_header(ByteView(data, size));
  if (!header.ok()) return 0;
  ZQ_FUZZ_CHECK(header->header_len <= size);

  // Every header the reader returns is one the writer accepts.
  Bytes written;
  ZQ_FUZZ_CHECK(write_request_header(*header, written).ok());
  const auto again = read_request_header(written);
  ZQ_FUZZ_CHECK(again.ok());
  ZQ_FUZZ_CHECK(again->header_len == written.size());

  std::string lowered(header->method);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  RequestHeader expected = *header;
  expected.method = lowered;
  expected.header_len = written.size();
  ZQ_FUZZ_CHECK(*again == expected);

  Bytes rewritten;
  ZQ_FUZZ_CHECK(write_request_header(*again, rewritten).ok());
  ZQ_FUZZ_CHECK(rewritten == written);
  return 0;
}
