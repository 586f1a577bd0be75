// Fuzzes the "[host]:port" reader: failures carry the whole input, and a host and port read
// back from both bracketed forms written for them. Also checks that the IPv4 form passes every
// text without exactly one ":" through unchanged.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "url/address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zq;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string ipv4_form = ipv4_with_port_to_ipv6_with_port(text);
  if (std::count(text.begin(), text.end(), ':') != 1) ZQ_FUZZ_CHECK(ipv4_form == text);

  const auto read = ipv6_with_port_to_ipv6_and_port(text);
  if (!read.ok()) {
    ZQ_FUZZ_CHECK(read.error() == (UrlError{UrlErrorKind::InvalidHostname, std::string(text)}));
    return 0;
  }
  const HostAndPort& got = *read;
  ZQ_FUZZ_CHECK(got.host.find("]:") == std::string::npos);
  ZQ_FUZZ_CHECK(got.host.size() < text.size());

  const auto plain =
      ipv6_with_port_to_ipv6_and_port("[" + got.host + "]:" + std::to_string(got.port));
  ZQ_FUZZ_CHECK(plain.ok() && *plain == got);

  const auto mapped =
      ipv6_with_port_to_ipv6_and_port(ip_and_port_to_ipv6_with_port(got.host, got.port));
  ZQ_FUZZ_CHECK(mapped.ok() && *mapped == (HostAndPort{ip_to_ipv6(got.host), got.port}));
  return 0;
}
