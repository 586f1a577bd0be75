// Fuzzes the STP header reader against its writer.
#include <cstddef>
#include <cstdint>

#include "container/headers.h"
#include "header_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zq::fuzz::check_header_round_trip(zq::ByteView(data, size), zq::parse_stp_header,
                                    zq::write_stp_header);
  return 0;
}
