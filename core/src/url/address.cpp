// The IPv6 mapping of address texts and its three forms with a port.
#include "url/address.h"

#include <algorithm>
#include <charconv>

#include "common/find_byte.h"
#include "url/internal/decimal.h"

namespace zq {
namespace {

constexpr std::string_view kIpv4Loopback = "127.0.0.1";
constexpr std::string_view kIpv6Loopback = "::1";
constexpr std::string_view kMappedPrefix = "::ffff:";

// Appends the IPv6 form of `ip`, growing `out` at most once.
void append_ipv6(std::string& out, std::string_view ip) {
  if (find_byte(ip, ':') != std::string_view::npos) {
    out += ip;
  } else if (ip == kIpv4Loopback) {
    out += kIpv6Loopback;
  } else {
    out.reserve(out.size() + kMappedPrefix.size() + ip.size());
    out += kMappedPrefix;
    out += ip;
  }
}

}  // namespace

std::string ip_to_ipv6(std::string_view ip) {
  std::string out;
  append_ipv6(out, ip);
  return out;
}

void assign_ip_to_ipv6(Text& out, std::string_view ip) {
  if (find_byte(ip, ':') != std::string_view::npos) {
    out.assign(ip);
  } else if (ip == kIpv4Loopback) {
    out.assign(kIpv6Loopback);
  } else {
    out.assign(ip_to_ipv6(ip));
  }
}

std::string ip_and_port_to_ipv6_with_port(std::string_view ip, std::uint64_t port) {
  char digits[20];
  const auto written = std::to_chars(digits, digits + sizeof digits, port);
  std::string out;
  out.reserve(kMappedPrefix.size() + ip.size() + 3 + sizeof digits);
  out += '[';
  append_ipv6(out, ip);
  out += "]:";
  out.append(digits, written.ptr);
  return out;
}

Result<HostAndPort, UrlError> ipv6_with_port_to_ipv6_and_port(std::string_view text) {
  const auto invalid = [text] {
    return UrlError{UrlErrorKind::InvalidHostname, std::string(text)};
  };
  const std::size_t split = text.find("]:");
  if (split == std::string_view::npos || text.find("]:", split + 2) != std::string_view::npos) {
    return invalid();
  }
  std::string_view port_text = text.substr(split + 2);
  if (!port_text.empty() && port_text[0] == '+') port_text.remove_prefix(1);
  const auto port = internal::parse_decimal_u64(port_text);
  if (!port) return invalid();

  // The first byte stands where "[" belongs and is dropped unseen; a multi-byte first character
  // cannot be cut off, so such a host reads as empty.
  const std::string_view piece = text.substr(0, split);
  const bool droppable = piece.size() >= 2 && static_cast<unsigned char>(piece[0]) < 0x80;
  return HostAndPort{droppable ? std::string(piece.substr(1)) : std::string(), *port};
}

std::string ipv4_with_port_to_ipv6_with_port(std::string_view text) {
  if (std::count(text.begin(), text.end(), ':') != 1) return std::string(text);
  const std::size_t colon = text.find(':');
  const std::string_view address = text.substr(0, colon);
  const std::string_view port_text = text.substr(colon + 1);
  std::string out;
  out.reserve(kMappedPrefix.size() + text.size() + 3);
  out += '[';
  append_ipv6(out, address);  // the address holds no ":", so this is the mapped or loopback form
  out += "]:";
  out += port_text;
  return out;
}

}  // namespace zq
