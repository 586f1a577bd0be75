// Address helpers: the IPv6 mapping and its three forms with a port.
#include "url/address.h"

#include <gtest/gtest.h>

#include <string>

#include "url_test_util.h"

namespace zq {
namespace {

struct TextCase {
  std::string input;
  std::string expected;
};

TEST(AddressTest, IpToIpv6) {
  const TextCase cases[] = {
      {"10.1.2.3", "::ffff:10.1.2.3"},
      {"127.0.0.1", "::1"},
      {"::1", "::1"},
      {"fe80::1", "fe80::1"},
      {":", ":"},
      {"", "::ffff:"},
      {"localhost", "::ffff:localhost"},
      {"127.0.0.1 ", "::ffff:127.0.0.1 "},
      {"127.0.0.2", "::ffff:127.0.0.2"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(ip_to_ipv6(c.input), c.expected) << c.input;
}

TEST(AddressTest, IpAndPortToIpv6WithPort) {
  const struct {
    std::string ip;
    std::uint64_t port;
    std::string expected;
  } cases[] = {
      {"127.0.0.1", 8080, "[::1]:8080"},
      {"::1", 0, "[::1]:0"},
      {"10.0.0.1", 18446744073709551615u, "[::ffff:10.0.0.1]:18446744073709551615"},
      {"", 5, "[::ffff:]:5"},
      {"host", 70000, "[::ffff:host]:70000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ip_and_port_to_ipv6_with_port(c.ip, c.port), c.expected) << c.ip;
  }
}

TEST(AddressTest, Ipv6WithPortToIpv6AndPort) {
  const struct {
    std::string input;
    HostAndPort expected;
  } cases[] = {
      {"[::1]:8080", {"::1", 8080}},
      {"[::1]:+80", {"::1", 80}},
      {"[::ffff:1.2.3.4]:0080", {"::ffff:1.2.3.4", 80}},
      {"x::1]:80", {"::1", 80}},  // the first byte is dropped unseen
      {"::1]:80", {":1", 80}},
      {"]:80", {"", 80}},
      {"[]:80", {"", 80}},
      {"\xc3\xa9::1]:80", {"", 80}},  // a multi-byte first character empties the host
      {"[h]:18446744073709551615", {"h", 18446744073709551615u}},
      {"[a]]:1", {"a]", 1}},
  };
  for (const auto& c : cases) {
    const auto got = ipv6_with_port_to_ipv6_and_port(c.input);
    ASSERT_TRUE(got.ok()) << c.input;
    EXPECT_EQ(*got, c.expected) << c.input;
  }
}

TEST(AddressTest, Ipv6WithPortFailuresCarryTheWholeInput) {
  for (const std::string input :
       {"[::1]:", "[::1]:-1", "[::1]:+", "[::1]:++1", "[::1]: 80", "[::1]:80 ", "[::1]", "::1",
        "[a]:1]:2", "[::1]:18446744073709551616", "", "]:"}) {
    const auto got = ipv6_with_port_to_ipv6_and_port(input);
    ASSERT_FALSE(got.ok()) << input;
    EXPECT_EQ(got.error(), (UrlError{UrlErrorKind::InvalidHostname, input})) << input;
    EXPECT_EQ(display_url_error(got.error()), "Invalid hostname: " + input);
  }
}

TEST(AddressTest, Ipv4WithPortToIpv6WithPort) {
  const TextCase cases[] = {
      {"1.2.3.4:80", "[::ffff:1.2.3.4]:80"},
      {"127.0.0.1:443", "[::1]:443"},
      {"127.0.0.1:", "[::1]:"},
      {":80", "[::ffff:]:80"},
      {"host:abc", "[::ffff:host]:abc"},
      // Anything without exactly one ":" passes through.
      {"1.2.3.4", "1.2.3.4"},
      {"[::1]:80", "[::1]:80"},
      {"a:b:c", "a:b:c"},
      {"", ""},
  };
  for (const TextCase& c : cases) {
    EXPECT_EQ(ipv4_with_port_to_ipv6_with_port(c.input), c.expected) << c.input;
  }
}

}  // namespace
}  // namespace zq
