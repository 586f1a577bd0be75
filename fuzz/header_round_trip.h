// The invariants shared by the container header fuzz targets: a parsed header lies inside its
// input, and writing it again (smallest varints) gives a header that parses to the same fields.
#pragma once

#include <cstring>

#include "common/bytes.h"
#include "common/result.h"
#include "fuzz_check.h"

namespace zq::fuzz {

template <class Header>
void check_header_round_trip(ByteView input, Result<Header> (*parse)(ByteView),
                             Status (*write)(const Header&, Bytes&)) {
  const auto header = parse(input);
  if (!header.ok()) return;
  ZQ_FUZZ_CHECK(header->header_len <= input.size());

  // Every field a reader returns is one its writer accepts.
  Bytes rewritten;
  ZQ_FUZZ_CHECK(write(*header, rewritten).ok());
  const auto again = parse(rewritten);
  ZQ_FUZZ_CHECK(again.ok());
  ZQ_FUZZ_CHECK(again->header_len == rewritten.size());
  Header same = *again;
  same.header_len = header->header_len;
  ZQ_FUZZ_CHECK(same == *header);

  // Smallest varints never take more room, and at the same size they are the input's bytes.
  ZQ_FUZZ_CHECK(rewritten.size() <= header->header_len);
  if (rewritten.size() == header->header_len) {
    ZQ_FUZZ_CHECK(std::memcmp(rewritten.data(), input.data(), rewritten.size()) == 0);
  }
}

}  // namespace zq::fuzz
