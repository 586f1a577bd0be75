// Response header: the worked examples both ways, the inline, escape and flagged forms at their
// boundaries, the length test that tells inline from flagged in every version, the reader's
// errors, and the family of flagged messages whose length could pass for an inline command.
#include "message/response_header.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "header_summary.h"
#include "hex_bytes.h"
#include "wire_error_text.h"

namespace zq {
namespace {

using test::describe;
using test::from_hex;
using test::to_hex;

const Bytes kCookies = from_hex("81 a1 61 01");
const Bytes k20Bytes(20, 0x07);
const std::string k14(14, 's');
const std::string k15(15, 's');

ResponseHeader response(CommandView command, PayloadFraming payload = {}, std::optional<ByteView> cookies = {},
                        std::uint8_t version = 0) {
  return {payload, command, cookies, version, 0};
}

struct Example {
  const char* name;
  ResponseHeader header;
  std::string hex;  // the header; a message is the header and header.payload.length bytes
};

std::vector<Example> examples() {
  return {
      {"Bool true", response(CommandView::boolean(true)), "02"},
      {"Bool false, 5-byte payload", response(CommandView::boolean(false), {PayloadMode::Sized, 5}), "04 00 05"},
      {"Int 7", response(CommandView::integer(7)), "17"},
      {"Int 200", response(CommandView::integer(200)), "1f 00 c8"},
      {"Str zq:app:404", response(CommandView::text("zq:app:404")), "2a 7a 71 3a 61 70 70 3a 34 30 34"},
      {"Bytes of 20", response(CommandView::binary(k20Bytes)), "3f 00 14 " + to_hex(k20Bytes)},
      {"Int 200, cookies, 300-byte payload",
       response(CommandView::integer(200), {PayloadMode::Sized, 300}, ByteView(kCookies)),
       "1c 00 c8 00 04 81 a1 61 01 01 2c"},
      // Edge cases.
      {"Int 14 inline", response(CommandView::integer(14)), "1e"},
      {"Int 15 escape", response(CommandView::integer(15)), "1f 00 0f"},
      {"Str of 14 inline", response(CommandView::text(k14)), "2e " + to_hex(as_bytes(k14))},
      {"Str of 15 escape", response(CommandView::text(k15)), "2f 00 0f " + to_hex(as_bytes(k15))},
      {"empty Str", response(CommandView::text("")), "20"},
      {"empty Bytes", response(CommandView::binary({})), "30"},
      {"Int 3, version 1", response(CommandView::integer(3), {}, {}, 1), "53"},
      {"Int 9, version 1 (inline by length)", response(CommandView::integer(9), {}, {}, 1), "59"},
      {"Str of 14, version 3", response(CommandView::text(k14), {}, {}, 3), "ee " + to_hex(as_bytes(k14))},
      {"Int 0, sized payload", response(CommandView::integer(0), {PayloadMode::Sized, 2}), "14 00 00 00 02"},
      {"Bool true, cookies, to the end", response(CommandView::boolean(true), {PayloadMode::ToEnd, 3}, ByteView(kCookies)),
       "0f 00 04 81 a1 61 01"},
      {"Bool false, to the end, nothing left", response(CommandView::boolean(false), {PayloadMode::ToEnd, 0}), "05"},
      {"Int 2^62-1 flagged", response(CommandView::integer(kMaxHeaderVarint), {}, ByteView(kCookies)),
       "18 ff ff ff ff ff ff ff ff 00 04 81 a1 61 01"},
      {"Str flagged with cookies", response(CommandView::text("ok"), {}, ByteView(kCookies)),
       "28 00 02 6f 6b 00 04 81 a1 61 01"},
      {"Bytes, version 2, sized 0", response(CommandView::binary(kCookies), {PayloadMode::Sized, 0}, {}, 2),
       "b4 00 04 81 a1 61 01 00 00"},
  };
}

// The whole message: the header and as many payload bytes as it announces.
Bytes message_of(const std::string& hex, const ResponseHeader& header) {
  Bytes message = from_hex(hex);
  if (header.payload.mode != PayloadMode::Absent) {
    message.resize(message.size() + static_cast<std::size_t>(header.payload.length), 0xEE);
  }
  return message;
}

TEST(ResponseHeaderTest, ExamplesBothWays) {
  for (const Example& example : examples()) {
    SCOPED_TRACE(example.name);
    Bytes out;
    const Status written = write_response_header(example.header, out);
    ASSERT_TRUE(written.ok()) << describe(written);
    EXPECT_EQ(to_hex(out), example.hex);

    const Bytes message = message_of(example.hex, example.header);
    const auto read = read_response_header(message);
    ASSERT_TRUE(read.ok()) << describe(read);
    ResponseHeader expected = example.header;
    expected.header_len = out.size();
    EXPECT_TRUE(*read == expected);
  }
}

TEST(ResponseHeaderTest, ReaderReturnsViews) {
  const Bytes message = from_hex("28 00 02 6f 6b 00 04 81 a1 61 01");
  const auto read = read_response_header(message);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read->command.bytes.data(), message.data() + 3);
  EXPECT_EQ(read->cookies->data(), message.data() + 7);
}

TEST(ResponseHeaderTest, WriterErrorsLeaveTheBufferAlone) {
  const struct {
    const char* name;
    ResponseHeader header;
    WireError error;
  } cases[] = {
      {"version 4", response(CommandView::integer(kMaxHeaderVarint + 1), {}, {}, 4),
       WireError::invalid("version must be 0..3")},
      {"Int 2^62", response(CommandView::integer(kMaxHeaderVarint + 1)), WireError::too_large()},
      {"Int 2^64-1 with cookies", response(CommandView::integer(~std::uint64_t{0}), {}, ByteView(kCookies)),
       WireError::too_large()},
      {"sized 2^62", response(CommandView::boolean(true), {PayloadMode::Sized, kMaxHeaderVarint + 1}),
       WireError::too_large()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out = from_hex("aa");
    const Status status = write_response_header(c.header, out);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(describe(status.error()), describe(c.error));
    EXPECT_EQ(to_hex(out), "aa");
  }
}

// "kind value|framing|cookies|v|header_len" or the error.
std::string summary(const Result<ResponseHeader>& read) {
  if (!read.ok()) return describe(read.error());
  const ResponseHeader& h = *read;
  std::string s;
  switch (h.command.kind) {
    case CommandKind::Bool: s = h.command.flag ? "true" : "false"; break;
    case CommandKind::Int: s = "int " + std::to_string(h.command.number); break;
    case CommandKind::Str: s.append("str '").append(as_text(h.command.bytes)).append("'"); break;
    case CommandKind::Bytes: s.append("bytes [").append(to_hex(h.command.bytes)).append("]"); break;
  }
  return s.append("|") + test::framing_summary(h.payload, h.cookies, h.version, h.header_len);
}

TEST(ResponseHeaderTest, ReaderCases) {
  const struct {
    const char* name;
    const char* hex;  // the whole message
    const char* expected;
  } cases[] = {
      // The length test, in every version.
      {"Int nibble 5 alone is inline", "15", "int 5|absent|-|v0|1"},
      {"Int nibble 5 with more is flagged", "15 00 07 ee", "int 7|to-end 1|-|v0|3"},
      {"version 1 Int 14", "5e", "int 14|absent|-|v1|1"},
      {"version 2 Int 4", "94", "int 4|absent|-|v2|1"},
      {"version 3 Str of 4 by length", "e4 61 62 63 64", "str 'abcd'|absent|-|v3|5"},
      {"Str nibble 4 one byte longer is flagged", "24 00 01 61 00 00", "str 'a'|sized 0|-|v0|6"},
      {"Bytes nibble 4 of exactly 1 + 4 bytes is inline", "34 00 00 00 00", "bytes [00 00 00 00]|absent|-|v0|5"},
      {"Bytes nibble 8 flagged", "38 00 01 ff 00 01 80", "bytes [ff]|absent|[80]|v0|7"},
      {"inline nibble 0..3 with bytes after it", "22 61 62 ee", "str 'ab'|absent|-|v0|3"},
      {"escape with bytes after it", "1f 00 07 ee", "int 7|absent|-|v0|3"},
      {"escape with a long varint", "2f 80 00 00 00 01 61", "str 'a'|absent|-|v0|7"},
      // Flag bits.
      {"Bool bit 0 alone means nothing", "01", "false|absent|-|v0|1"},
      {"Bool true bit 0 alone", "03", "true|absent|-|v0|1"},
      {"flagged Int ignores bit 1", "16 00 07 00 00", "int 7|sized 0|-|v0|5"},
      {"cookies with a long varint", "08 40 00 01 80", "false|absent|[80]|v0|5"},
      {"Bool version 3 sized", "c6 00 01 ee", "true|sized 1|-|v3|3"},
      // Cut off.
      {"empty", "", "Truncated"},
      {"escape alone", "1f", "Truncated"},
      {"inline text cut", "22 61", "Truncated"},
      {"flagged command varint cut", "14 00", "Truncated"},
      {"flagged Str bytes cut", "24 00 05 61", "Truncated"},
      {"escape Str bytes cut", "2f 00 05 61", "Truncated"},
      {"cookies varint missing", "08", "Truncated"},
      {"cookies cut", "08 00 05 81", "Truncated"},
      {"payload varint missing", "04", "Truncated"},
      {"payload varint cut", "0c 00 00 40 00", "Truncated"},
      // Str bytes that are not UTF-8.
      {"inline by length", "22 ff fe", "Invalid: invalid utf-8 in command"},
      {"inline by length, nibble 4..14", "25 61 62 63 64 ff", "Invalid: invalid utf-8 in command"},
      {"inline by length, version 1", "62 c3 28", "Invalid: invalid utf-8 in command"},
      {"inline with bytes after it", "22 ff fe 00", "Invalid: invalid utf-8"},
      {"escape", "2f 00 02 ff fe", "Invalid: invalid utf-8"},
      {"flagged", "28 00 01 ff 00 00", "Invalid: invalid utf-8"},
      {"checked before the cookies are read", "28 00 01 ff 00 09", "Invalid: invalid utf-8"},
      {"Bytes are not checked", "32 ff fe", "bytes [ff fe]|absent|-|v0|3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes message = from_hex(c.hex);
    EXPECT_EQ(summary(read_response_header(message)), c.expected);
  }
}

TEST(ResponseHeaderTest, FormByByteZeroAndLength) {
  const struct {
    const char* hex;
    ResponseForm form;
  } cases[] = {
      {"0c 00 00 00 00", ResponseForm::Flagged},  // Bool
      {"1f", ResponseForm::Escape},
      {"3f 00 00", ResponseForm::Escape},
      {"13 00 00", ResponseForm::Inline},  // nibble 0..3 whatever the length
      {"14", ResponseForm::Inline},
      {"14 00", ResponseForm::Flagged},
      {"2c 00 00 00 00 00 00 00 00 00 00 00 00", ResponseForm::Inline},     // 1 + 12 bytes
      {"2c 00 00 00 00 00 00 00 00 00 00 00 00 00", ResponseForm::Flagged},  // one more
      {"7e 00 00 00 00 00 00 00 00 00 00 00 00 00 00", ResponseForm::Inline},  // version 1, 1 + 14
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(response_form(from_hex(c.hex)), c.form);
  }
}

// Every flagged Str or Bytes message whose length the smallest varints would make 1 + nibble:
// for each flag nibble the writer uses, every split of the spare bytes between command,
// cookies and payload. Each must be written one byte longer and read back whole.
TEST(ResponseHeaderTest, FlaggedMessagesNeverReadAsInline) {
  struct Flags {
    std::uint8_t nibble;
    bool cookies;
    PayloadMode mode;
  };
  const Flags flags[] = {
      {0x4, false, PayloadMode::Sized},  {0x5, false, PayloadMode::ToEnd}, {0x8, true, PayloadMode::Absent},
      {0xC, true, PayloadMode::Sized},   {0xD, true, PayloadMode::ToEnd},
  };
  const Bytes filler(16, 0x61);
  int family = 0;
  for (const Flags& f : flags) {
    for (CommandKind kind : {CommandKind::Str, CommandKind::Bytes}) {
      // Smallest sizes: 1 (byte 0) + 2 (length) + command + [2 + cookies] + [2 (Sized) + payload].
      const int fixed = 2 + (f.cookies ? 2 : 0) + (f.mode == PayloadMode::Sized ? 2 : 0);
      const int spare = f.nibble - fixed;
      for (int command = 0; command <= spare; ++command) {
        for (int cookies = 0; cookies <= (f.cookies ? spare - command : 0); ++cookies) {
          const int payload = spare - command - cookies;
          if (f.mode == PayloadMode::Absent && payload != 0) continue;
          SCOPED_TRACE(testing::Message() << "nibble " << int(f.nibble) << " kind " << int(kind) << " command "
                                          << command << " cookies " << cookies << " payload " << payload);
          const ByteView command_bytes(filler.data(), static_cast<std::size_t>(command));
          ResponseHeader header = response(
              kind == CommandKind::Str ? CommandView::text(as_text(command_bytes)) : CommandView::binary(command_bytes),
              {f.mode, f.mode == PayloadMode::Absent ? 0u : static_cast<std::uint64_t>(payload)},
              f.cookies ? std::optional<ByteView>(ByteView(filler.data(), static_cast<std::size_t>(cookies)))
                        : std::nullopt);
          Bytes message;
          ASSERT_TRUE(write_response_header(header, message).ok());
          EXPECT_EQ(message[0] & 0x0F, f.nibble);
          EXPECT_EQ(message[1], 0x40);  // the command length in its 3-byte form
          header.header_len = message.size();
          message.resize(message.size() + static_cast<std::size_t>(payload), 0xEE);
          EXPECT_EQ(message.size(), 2u + f.nibble);
          EXPECT_EQ(response_form(message), ResponseForm::Flagged);
          const auto read = read_response_header(message);
          ASSERT_TRUE(read.ok()) << describe(read);
          EXPECT_TRUE(*read == header);
          ++family;
        }
      }
    }
  }
  EXPECT_GT(family, 100);
}

TEST(ResponseHeaderTest, TheCollidingPairIsWrittenApart) {
  // An empty Str with an empty sized payload in smallest form is 24 00 00 00 00, which is also
  // the inline Str of four zero bytes; the writer lengthens the command length instead.
  Bytes out;
  ASSERT_TRUE(write_response_header(response(CommandView::text(""), {PayloadMode::Sized, 0}), out).ok());
  EXPECT_EQ(to_hex(out), "24 40 00 00 00 00");
  const auto inline_read = read_response_header(from_hex("24 00 00 00 00"));
  ASSERT_TRUE(inline_read.ok());
  EXPECT_EQ(inline_read->command.bytes.size(), 4u);
  // One byte short of the collision keeps the smallest form.
  out.clear();
  ASSERT_TRUE(write_response_header(response(CommandView::text("a"), {PayloadMode::Sized, 1}), out).ok());
  EXPECT_EQ(to_hex(out), "24 00 01 61 00 01");
}

}  // namespace
}  // namespace zq
