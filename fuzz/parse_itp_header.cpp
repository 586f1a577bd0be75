// Fuzzes the ITP header reader against its writer.
#include <cstddef>
#include <cstdint>

#include "container/headers.h"
#include "header_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zq::fuzz::check_header_round_trip(zq::ByteView(data, size), zq::parse_itp_header,
                                    zq::write_itp_header);
  return 0;
}
