// Address texts in IPv6 form: IPv4 addresses and names become IPv4-mapped, 127.0.0.1 becomes
// ::1, and text holding a ":" is taken for IPv6 already. Nothing checks address syntax.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/result.h"
#include "url/url.h"

namespace zq {

// The text itself when it holds a ":", "::1" for "127.0.0.1", else "::ffff:" and the text.
std::string ip_to_ipv6(std::string_view ip);

// Replaces `out` with ip_to_ipv6(ip). `ip` must not point into `out`.
void assign_ip_to_ipv6(Text& out, std::string_view ip);

// "[" + ip_to_ipv6(ip) + "]:" + port in decimal.
std::string ip_and_port_to_ipv6_with_port(std::string_view ip, std::uint64_t port);

struct HostAndPort {
  std::string host;
  std::uint64_t port = 0;
  friend bool operator==(const HostAndPort&, const HostAndPort&) = default;
};

// Reads "[host]:port": exactly one "]:", a port of digits with an optional leading "+", and the
// host piece without its first byte (empty when that piece is shorter than two bytes or starts
// with a multi-byte character). The host is neither mapped nor checked.
// Returns InvalidHostname carrying the whole text on any failure.
Result<HostAndPort, UrlError> ipv6_with_port_to_ipv6_and_port(std::string_view text);

// "address:port" with exactly one ":" becomes "[mapped address]:port" with the port text copied
// as it is; any other text is returned unchanged.
std::string ipv4_with_port_to_ipv6_with_port(std::string_view text);

}  // namespace zq
