// One-line texts of what request and response headers share, so that reader cases compare
// as strings and failures print readably.
#pragma once

#include <optional>
#include <string>

#include "common/bytes.h"
#include "hex_bytes.h"
#include "message/header_varint.h"

namespace zq::test {

// "<mode>[ <length>]|<[cookies hex] or ->|v<version>|<header_len>".
inline std::string framing_summary(const PayloadFraming& payload, const std::optional<ByteView>& cookies,
                                   unsigned version, std::uint64_t header_len) {
  const char* modes[] = {"absent", "to-end", "sized"};
  std::string s = modes[static_cast<int>(payload.mode)];
  if (payload.mode != PayloadMode::Absent) s.append(" ").append(std::to_string(payload.length));
  s += '|';
  if (cookies) {
    s.append("[").append(to_hex(*cookies)).append("]");
  } else {
    s += '-';
  }
  s.append("|v").append(std::to_string(version)).append("|").append(std::to_string(header_len));
  return s;
}

}  // namespace zq::test
