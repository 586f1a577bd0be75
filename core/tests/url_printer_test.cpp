// Printing URL records: the protocol chain forms, host brackets and ports, typed query values,
// masks selecting components, texts that read back unchanged, and random records printed as
// the reference printer prints them.
#include "url/url_printer.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <random>
#include <string>

#include "url_printer_reference.h"
#include "url_test_util.h"

namespace zq {
namespace {

struct PrintCase {
  Url url;
  std::string text;
};

void check(const std::vector<PrintCase>& cases) {
  for (const PrintCase& c : cases) {
    EXPECT_EQ(display_url(c.url), c.text) << testing::PrintToString(c.url);
  }
}

TEST(UrlPrinterTest, ProtocolChain) {
  check({
      {new_url(), "zq:///"},
      {{.transport = "t", .scheme = ""}, "t~~:///"},
      {{.scheme = ""}, "zq:///"},
      {{.transport = "t", .route = "r", .scheme = "s"}, "t~r~s:///"},
      {{.route = "r", .scheme = ""}, "r~:///"},
      // Empty transport and route are written like absent ones.
      {{.transport = "", .route = "", .scheme = "s"}, "s:///"},
      {{.transport = "", .route = "r", .scheme = "s"}, "r~s:///"},
      {{.transport = "t", .route = "", .scheme = "s"}, "t~~s:///"},
  });
}

TEST(UrlPrinterTest, HostForms) {
  check({
      {{.scheme = "x", .hostname = "h"}, "x://h/"},
      // A host with a port is always bracketed; an IP host without one too.
      {{.scheme = "x", .hostname = "::ffff:h", .port = 80}, "x://[::ffff:h]:80/"},
      {{.scheme = "x", .hostname = "h", .port = 80, .isIp = true}, "x://[h]:80/"},
      {{.scheme = "x", .hostname = "::1", .isIp = true}, "x://[::1]/"},
      {{.scheme = "x", .hostname = "h", .port = std::numeric_limits<std::uint64_t>::max()},
       "x://[h]:18446744073709551615/"},
      {{.scheme = "x", .hostname = "[x", .isIp = true}, "x://[x/"},
      {{.scheme = "x", .hostname = "", .isIp = true}, "x:///"},
      {{.scheme = "x", .hostname = "", .port = 5}, "x://[]:5/"},
      // No "/" is put between host and path.
      {{.scheme = "x", .hostname = "h", .path = "p"}, "x://hp"},
      {{.scheme = "lib", .hostname = std::string(kLibDomain), .path = "name/x"},
       "lib://" + std::string(kLibDomain) + "name/x"},
  });
}

TEST(UrlPrinterTest, QueryValuesAndFragment) {
  const auto with_params = [](QueryParams params) {
    return Url{.scheme = "x", .hostname = "h", .params = std::move(params)};
  };
  check({
      {with_params({{"k", QueryValue::str("a b")}}), "x://h/?k=a b"},
      {with_params({{"", QueryValue::none()}}), "x://h/"},
      {with_params({{"", QueryValue::none()}, {"a", QueryValue::none()}}), "x://h/?&a"},
      {with_params({{"", QueryValue::str("")}}), "x://h/?="},
      {with_params({{"t", QueryValue::boolean(true)}, {"f", QueryValue::boolean(false)}}),
       "x://h/?t=True&f=False"},
      {with_params({{"i", QueryValue::integer(std::numeric_limits<std::int64_t>::min())}}),
       "x://h/?i=-9223372036854775808"},
      {with_params({{"a", QueryValue::floating(1e16)},
                    {"b", QueryValue::floating(-0.0)},
                    {"c", QueryValue::floating(std::numeric_limits<double>::infinity())}}),
       "x://h/?a=1e+16&b=-0.0&c=inf"},
      {with_params({{"l", QueryValue::literal("[1, 2]")}, {"s", QueryValue::str("'q'&#")}}),
       "x://h/?l=[1, 2]&s='q'&#"},
      {{.scheme = "x", .hostname = "h", .fragment = ""}, "x://h/#"},
      {{.scheme = "x", .hostname = "h", .fragment = "f?g#h"}, "x://h/#f?g#h"},
  });
}

TEST(UrlPrinterTest, MaskSelectsComponents) {
  const Url url = *parse_url("a~b~c://h/p?x=1#f");
  const struct {
    UrlParts mask;
    const char* text;
  } cases[] = {
      {UrlParts::Transport, "a~b~c://"},
      {UrlParts::Route, "a~b~c://"},
      {UrlParts::Scheme, "a~b~c://"},
      {UrlParts::Hostname | UrlParts::Path, "h/p"},
      {UrlParts::Params, "?x=1"},
      {UrlParts::Fragment, "#f"},
      {UrlParts::Scheme | UrlParts::Fragment, "a~b~c://#f"},
      {UrlParts{}, ""},
      {UrlParts::All, "a~b~c://h/p?x=1#f"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(format_url(url, c.mask), c.text) << "mask " << static_cast<int>(c.mask);
  }
}

TEST(UrlPrinterTest, ParsedTextsPrintBack) {
  const struct {
    const char* text;
    const char* printed;
  } cases[] = {
      {"a~b~c://h/p?x=1#f", "a~b~c://h/p?x=1#f"},
      {"t~~s://h/x", "t~~s://h/x"},
      {"x://h", "x://h/"},
      {"x://h:80", "x://[::ffff:h]:80/"},
      {"x://[::1]", "x://[::1]/"},
      {"~s://h", "s://h/"},
      {"x://h?a=1&&b&a=2#", "x://h/?a=2&b"},
      {"x://h?f=1.50&g=1E3&i=0x_FF&s= 'q' &n= None", "x://h/?f=1.5&g=1000.0&i=255&s=q&n"},
      {"file:///etc/x", "file:///etc/x"},
      {"lib://name/x?v=1", "lib://lib.sysname/x?v=1"},
  };
  for (const auto& c : cases) {
    const auto url = parse_url(c.text);
    ASSERT_TRUE(url.ok()) << c.text;
    EXPECT_EQ(display_url(*url), c.printed) << c.text;
  }
}

// Records with every field absent, empty or filled with URL delimiters and multi-byte text,
// lengths on both sides of the short-copy sizes and of the inline buffer, and query values of
// every kind with their longest texts.
class RandomRecord {
 public:
  explicit RandomRecord(std::uint64_t seed) : rng_(seed) {}

  Url next() {
    Url url;
    url.transport = optional_text();
    url.route = optional_text();
    url.scheme = text();
    url.hostname = optional_text();
    if (chance(2)) url.port = integer<std::uint64_t>();
    url.isIp = chance(2);
    url.path = text();
    const std::size_t count = below(7);
    for (std::size_t i = 0; i < count; ++i) url.params.push_back({text(), value()});
    url.fragment = optional_text();
    return url;
  }

  std::uint64_t below(std::uint64_t n) { return rng_() % n; }

 private:
  bool chance(int one_in) { return below(static_cast<std::uint64_t>(one_in)) == 0; }

  std::string text() {
    static constexpr std::string_view kPieces[] = {"a", "Z", "0", "~", "~~", "[", "]", ":", "/", "?",
                                                   "&", "=", "#", " ", "\xc3\xa9", "\xe2\x82\xac"};
    const std::size_t length = chance(20) ? 240 + below(40) : below(24);
    std::string out;
    while (out.size() < length) out += kPieces[below(std::size(kPieces))];
    return out;
  }

  std::optional<std::string> optional_text() {
    if (chance(3)) return std::nullopt;
    if (chance(4)) return std::string();
    return text();
  }

  template <class Integer>
  Integer integer() {
    if (chance(3)) return chance(2) ? std::numeric_limits<Integer>::min() : std::numeric_limits<Integer>::max();
    return static_cast<Integer>(rng_() >> below(64));
  }

  QueryValue value() {
    switch (below(6)) {
      case 0:
        return QueryValue::none();
      case 1:
        return QueryValue::boolean(chance(2));
      case 2:
        return QueryValue::integer(integer<std::int64_t>());
      case 3:
        return QueryValue::floating(chance(4) ? -2.2250738585072014e-308 : std::bit_cast<double>(rng_()));
      case 4:
        return QueryValue::str(text());
      default:
        return QueryValue::literal(text());
    }
  }

  std::mt19937_64 rng_;
};

TEST(UrlPrinterTest, RandomRecordsPrintAsTheReferenceDoes) {
  RandomRecord records(20240611);
  for (int i = 0; i < 20000; ++i) {
    const Url url = records.next();
    const auto mask = static_cast<UrlParts>(i == 0 ? 0x7F : records.below(0x80));
    const std::string expected = reference::format_url(url, mask);
    const PrintedUrl printed(url, mask);
    ASSERT_EQ(printed.view(), expected) << testing::PrintToString(url) << " mask " << static_cast<int>(mask);
    ASSERT_EQ(format_url(url, mask), expected);
    ASSERT_EQ(display_url(url), reference::format_url(url, UrlParts::All));
    ASSERT_LE(reference::format_url(url, UrlParts::All).size(), url_text_bound(url));
  }
}

}  // namespace
}  // namespace zq
