// The response header: byte 0 (version, command kind, and a nibble that is flags, an inline
// value or length, or the escape), the command's value or length and bytes, the cookies map
// and the payload length when sized.
#pragma once

#include <cstdint>
#include <optional>

#include "common/bytes.h"
#include "common/result.h"
#include "message/header_varint.h"
#include "status/command.h"

namespace zq {

// The command, cookies and payload views point into the response being written, or into the
// message being read.
struct ResponseHeader {
  // Sized: the announced length. ToEnd: the number of payload bytes after the header; it is not
  // on the wire, the writer needs it to keep the message from reading as an inline command, and
  // the reader sets it to what follows the header.
  PayloadFraming payload;
  CommandView command;
  std::optional<ByteView> cookies;  // the bytes of a MessagePack map; none: no cookies section
  std::uint8_t version = 0;         // 0..3
  std::uint64_t header_len = 0;     // reader only: where the payload begins
};

// Views compare by content.
bool operator==(const ResponseHeader& a, const ResponseHeader& b);

// How byte 0 of a response is to be read.
enum class ResponseForm : std::uint8_t {
  Flagged,  // nibble = flags; the value or length follows as a header varint
  Inline,   // nibble = the Int value or the Str/Bytes length; nothing follows the command
  Escape,   // nibble 15: the value or length follows as a header varint; nothing follows
};

// The form of the response `message`, which must be the whole message (header, cookies and
// payload bytes, nothing more) and not empty. A Bool command is flagged and a nibble of 15 the
// escape. A nibble of 0..3 is inline. A nibble of 4..14 is inline exactly when the message is
// one byte long (Int) or 1 + nibble bytes long (Str, Bytes), in every version, and flagged
// otherwise; write_response_header never writes a flagged message of such a length.
ResponseForm response_form(ByteView message);

// Appends the response header to `out`. `header_len` is not read. Errors, before anything is
// appended: Invalid "version must be 0..3"; TooLarge for an Int, a command length, a cookies
// length or a sized payload length above 2^62-1. When a flagged Str or Bytes message (header
// plus `payload.length` bytes for Sized and ToEnd) would be 1 + nibble bytes long, the command
// length goes out in its next longer varint form, so that the message cannot read as inline.
Status write_response_header(const ResponseHeader& header, Bytes& out);

// The Str/Bytes half of the writer: appends `byte0` (version, kind and flag bits set), then
// the length of `bytes` inline, as the escape or as a varint, then `bytes`. `follows` says
// whether cookies or a payload follow the command, and `tail_len` how many message bytes come
// after the command (saturating; only small values matter). TooLarge above 2^62-1 bytes.
Status write_inline_field(Bytes& out, std::uint8_t byte0, bool follows, ByteView bytes, std::uint64_t tail_len);

// Parses the header at the front of `message`, which must be the whole message: the length
// tells an inline command from a flagged one (response_form). It does not check what follows
// the header. Truncated when an item runs past the end, an empty message included; Invalid
// "invalid utf-8 in command" for a Str command that is not UTF-8 in an inline message of
// exactly 1 + nibble bytes, Invalid "invalid utf-8" for any other such Str.
Result<ResponseHeader> read_response_header(ByteView message);

}  // namespace zq
