// The request header: flags byte (version; transport, method and route each as a default bit,
// a code or a short text), the code bytes, the texts, the sizes byte, the URL and the cookies
// map, and the payload length when sized.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/bytes.h"
#include "common/result.h"
#include "message/header_varint.h"

namespace zq {

// Texts, `url` and `cookies` are views: into the request being written, or into the message
// being read.
struct RequestHeader {
  // For ToEnd the length is not on the wire; the reader leaves it 0 and the writer ignores it.
  PayloadFraming payload;
  std::string_view transport;
  std::string_view method;
  std::string_view route;
  ByteView url;
  std::optional<ByteView> cookies;  // the bytes of a MessagePack map; none: no cookies section
  std::uint8_t version = 0;         // 0..3
  std::uint64_t header_len = 0;     // reader only: where the payload begins
};

// Views compare by content.
bool operator==(const RequestHeader& a, const RequestHeader& b);

// Appends the header to `out`. The method goes out with A-Z lower-cased, matched and written
// so; transport and route are matched exactly. `header_len` is not read. Errors, in this order:
// Invalid "version must be 0..3"; Invalid "transport", "method" or "route" for the first text
// of 256 bytes or more; TooLarge for a sized payload length above 2^62-1. On error `out` is
// left as it was.
Status write_request_header(const RequestHeader& header, Bytes& out);

// Parses the header at the front of `data` and looks no further: what follows it (payload,
// trailing bytes) and the URL and cookies content are the message reader's to check. Truncated
// when an item runs past the end; Invalid "transport", "method" or "route" for a code with no
// token, Invalid "invalid utf-8" for a token text that is not UTF-8; in wire order.
Result<RequestHeader> read_request_header(ByteView data);
// The same into `header`, a default-constructed RequestHeader, which on an error holds part of
// the header and is to be discarded.
Status read_request_header_into(ByteView data, RequestHeader& header);

}  // namespace zq
