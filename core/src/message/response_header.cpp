// Response header writer and reader, and the rule that tells an inline command from a flagged
// one.
#include "message/response_header.h"

#include <algorithm>

#include "common/byte_reader.h"
#include "common/utf8.h"

namespace zq {

namespace {

constexpr std::uint8_t kCookiesPresent = 0x08;
constexpr std::uint8_t kPayloadPresent = 0x04;
constexpr std::uint8_t kToEnd = 0x05;
constexpr std::uint8_t kBoolTrue = 0x02;
constexpr std::uint8_t kEscape = 0x0F;
constexpr std::uint8_t kInlineLimit = 15;  // inline values and lengths are 0..14

// Message lengths only matter up to 1 + 14; sums are kept from wrapping past that.
constexpr std::uint64_t kLengthCap = std::uint64_t{1} << 62;
std::uint64_t capped_sum(std::uint64_t a, std::uint64_t b) { return std::min(a, kLengthCap) + std::min(b, kLengthCap); }

CommandKind kind_of(std::uint8_t byte0) { return static_cast<CommandKind>((byte0 >> 4) & 3); }

// The command's bytes, checked for UTF-8 when it is a Str.
Status read_command_bytes(ByteReader& reader, std::uint64_t length, CommandView& command, const char* bad_utf8) {
  if (length > reader.remaining()) return WireError::truncated();
  ZQ_ASSIGN_OR_RETURN(command.bytes, reader.bytes(static_cast<std::size_t>(length)));
  if (command.kind == CommandKind::Str && !is_valid_utf8(as_text(command.bytes))) {
    return WireError::invalid(bad_utf8);
  }
  return {};
}

}  // namespace

bool operator==(const ResponseHeader& a, const ResponseHeader& b) {
  const bool same_cookies = a.cookies.has_value() == b.cookies.has_value() &&
                            (!a.cookies || as_text(*a.cookies) == as_text(*b.cookies));
  return a.payload == b.payload && a.command == b.command && same_cookies && a.version == b.version &&
         a.header_len == b.header_len;
}

ResponseForm response_form(ByteView message) {
  const std::uint8_t byte0 = message[0];
  const CommandKind kind = kind_of(byte0);
  const unsigned nibble = byte0 & 0x0F;
  if (kind == CommandKind::Bool) return ResponseForm::Flagged;
  if (nibble == kEscape) return ResponseForm::Escape;
  if (nibble < kPayloadPresent) return ResponseForm::Inline;
  const std::size_t inline_size = kind == CommandKind::Int ? 1 : 1 + nibble;
  return message.size() == inline_size ? ResponseForm::Inline : ResponseForm::Flagged;
}

Status write_inline_field(Bytes& out, std::uint8_t byte0, bool follows, ByteView bytes, std::uint64_t tail_len) {
  const std::uint64_t length = bytes.size();
  if (length > kMaxHeaderVarint) return WireError::too_large();
  if (!follows && length < kInlineLimit) {
    out.push_back(static_cast<std::uint8_t>(byte0 | length));
  } else {
    std::size_t varint_size = header_varint_size(length);
    if (!follows) {
      byte0 |= kEscape;
    } else if (capped_sum(varint_size + length, tail_len) == (byte0 & 0x0F)) {
      // 1 + nibble bytes in all would read back as an inline command: one more byte of varint
      // makes the message longer than any inline form with this byte 0. The 2-byte form is the
      // only one that can get here.
      varint_size = 3;
    }
    out.push_back(byte0);
    ZQ_RETURN_IF_ERROR(write_header_varint(length, varint_size, out));
  }
  append(out, bytes);
  return {};
}

Status write_response_header(const ResponseHeader& header, Bytes& out) {
  if (header.version > 3) return WireError::invalid("version must be 0..3");
  const CommandView& command = header.command;
  const PayloadMode mode = header.payload.mode;
  if ((command.kind == CommandKind::Int && command.number > kMaxHeaderVarint) ||
      (header.cookies && header.cookies->size() > kMaxHeaderVarint) ||
      (mode == PayloadMode::Sized && header.payload.length > kMaxHeaderVarint)) {
    return WireError::too_large();
  }

  std::uint8_t byte0 = static_cast<std::uint8_t>(header.version << 6);
  std::uint64_t tail_len = 0;  // message bytes after the command
  if (header.cookies) {
    byte0 |= kCookiesPresent;
    tail_len = header_varint_size(header.cookies->size()) + header.cookies->size();
  }
  if (mode == PayloadMode::ToEnd) {
    byte0 |= kToEnd;
    tail_len = capped_sum(tail_len, header.payload.length);
  } else if (mode == PayloadMode::Sized) {
    byte0 |= kPayloadPresent;
    tail_len = capped_sum(tail_len, capped_sum(header_varint_size(header.payload.length), header.payload.length));
  }
  const bool follows = header.cookies || mode != PayloadMode::Absent;

  const std::size_t start = out.size();
  Status status;
  switch (command.kind) {
    case CommandKind::Bool:
      out.push_back(command.flag ? static_cast<std::uint8_t>(byte0 | kBoolTrue) : byte0);
      break;
    case CommandKind::Int:
      byte0 |= 0x10;
      if (!follows && command.number < kInlineLimit) {
        out.push_back(static_cast<std::uint8_t>(byte0 | command.number));
      } else {
        out.push_back(follows ? byte0 : static_cast<std::uint8_t>(byte0 | kEscape));
        status = write_header_varint(command.number, out);
      }
      break;
    default:
      byte0 |= static_cast<std::uint8_t>(static_cast<unsigned>(command.kind) << 4);
      status = write_inline_field(out, byte0, follows, command.bytes, tail_len);
      break;
  }
  if (!status.ok()) {
    out.resize(start);
    return status;
  }
  if (header.cookies) {
    (void)write_header_varint(header.cookies->size(), out);
    append(out, *header.cookies);
  }
  if (mode == PayloadMode::Sized) (void)write_header_varint(header.payload.length, out);
  return {};
}

Result<ResponseHeader> read_response_header(ByteView message) {
  if (message.empty()) return WireError::truncated();
  ByteReader reader(message);
  ResponseHeader header;
  const std::uint8_t byte0 = *reader.u8();
  header.version = byte0 >> 6;
  CommandView& command = header.command;
  command.kind = kind_of(byte0);
  const unsigned nibble = byte0 & 0x0F;

  const ResponseForm form = response_form(message);
  if (command.kind == CommandKind::Bool) {
    command.flag = (byte0 & kBoolTrue) != 0;
  } else if (form == ResponseForm::Inline) {
    if (command.kind == CommandKind::Int) {
      command.number = nibble;
    } else {
      // "in command" when the length test recognised the whole message as this command; a
      // nibble 0..3 form with bytes after it is inline too, but not by its length.
      const char* bad_utf8 = message.size() == 1 + nibble ? "invalid utf-8 in command" : "invalid utf-8";
      ZQ_RETURN_IF_ERROR(read_command_bytes(reader, nibble, command, bad_utf8));
    }
  } else {
    ZQ_ASSIGN_OR_RETURN(const std::uint64_t value, read_header_varint(reader));
    if (command.kind == CommandKind::Int) {
      command.number = value;
    } else {
      ZQ_RETURN_IF_ERROR(read_command_bytes(reader, value, command, "invalid utf-8"));
    }
  }

  if (form == ResponseForm::Flagged) {
    if (byte0 & kCookiesPresent) {
      ZQ_ASSIGN_OR_RETURN(const std::uint64_t length, read_header_varint(reader));
      if (length > reader.remaining()) return WireError::truncated();
      ZQ_ASSIGN_OR_RETURN(header.cookies, reader.bytes(static_cast<std::size_t>(length)));
    }
    if ((byte0 & kToEnd) == kToEnd) {
      header.payload.mode = PayloadMode::ToEnd;
      header.payload.length = reader.remaining();
    } else if (byte0 & kPayloadPresent) {
      header.payload.mode = PayloadMode::Sized;
      ZQ_ASSIGN_OR_RETURN(header.payload.length, read_header_varint(reader));
    }
  }
  header.header_len = reader.offset();
  return header;
}

}  // namespace zq
