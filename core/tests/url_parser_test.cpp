// Parsing URL text: protocol chains, host and port forms, fragments and queries, the four
// errors with the text each carries, and what a failed parse leaves in a live record.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "url/url.h"
#include "url/url_printer.h"
#include "url_test_util.h"

namespace zq {
namespace {

QueryValue integer(std::int64_t i) { return QueryValue::integer(i); }

struct ParseCase {
  std::string text;
  Url expected;
};

TEST(UrlParserTest, ParsesComponents) {
  const ParseCase cases[] = {
      {"a~b~c://h/p?x=1#f",
       {.transport = "a",
        .route = "b",
        .scheme = "c",
        .hostname = "h",
        .path = "/p",
        .params = {{"x", integer(1)}},
        .fragment = "f"}},
      {"://h", {.scheme = "zq", .hostname = "h"}},
      {"x://h", {.scheme = "x", .hostname = "h", .path = "/"}},
      {"x://h#", {.scheme = "x", .hostname = "h"}},
      {"x://h/p?q#f?g#h",
       {.scheme = "x",
        .hostname = "h",
        .path = "/p",
        .params = {{"q", QueryValue::none()}},
        .fragment = "f?g#h"}},
      {"x://h?a#b?c",
       {.scheme = "x", .hostname = "h", .params = {{"a", QueryValue::none()}}, .fragment = "b?c"}},
      // The path is kept undecoded and unnormalised; "://" later in the text is path.
      {"x://h/a/../%20b//c://d", {.scheme = "x", .hostname = "h", .path = "/a/../%20b//c://d"}},
      // Host bytes are copied as written, case included; "@" is an ordinary host byte.
      {"x://a@b", {.scheme = "x", .hostname = "a@b"}},
      {"x://Az09*-.<>@_~", {.scheme = "x", .hostname = "Az09*-.<>@_~"}},
      {"LIB://name", {.scheme = "LIB", .hostname = "name", .path = "/"}},
  };
  for (const ParseCase& c : cases) {
    const auto url = parse_url(c.text);
    ASSERT_TRUE(url.ok()) << c.text << ": " << display_url_error(url.error());
    EXPECT_EQ(*url, c.expected) << c.text;
  }
}

TEST(UrlParserTest, ProtocolChains) {
  const ParseCase cases[] = {
      {"t~~://h", {.transport = "t", .scheme = "zq", .hostname = "h"}},
      {"a~~b~c://h", {.transport = "a", .scheme = "b~c", .hostname = "h"}},
      {"a~b~~c://h", {.transport = "a~b", .scheme = "c", .hostname = "h"}},
      {"a~~b~~c://h", {.transport = "a", .scheme = "b~~c", .hostname = "h"}},
      // The first "~~" decides, also after more single "~" than a chain may have.
      {"a~b~c~d~~e://h", {.transport = "a~b~c~d", .scheme = "e", .hostname = "h"}},
      {"a~~~b://h", {.transport = "a", .scheme = "~b", .hostname = "h"}},
      {"~~~://h", {.transport = "", .scheme = "~", .hostname = "h"}},
      {"r~s://h", {.route = "r", .scheme = "s", .hostname = "h"}},
      // Empty pieces are present and empty; only an empty scheme is replaced.
      {"~s://h", {.route = "", .scheme = "s", .hostname = "h"}},
      {"~r~://h", {.transport = "", .route = "r", .scheme = "zq", .hostname = "h"}},
      {"~~://h", {.transport = "", .scheme = "zq", .hostname = "h"}},
      // The chain's characters are not validated.
      {"a b~c/d://h", {.route = "a b", .scheme = "c/d", .hostname = "h"}},
      {"x:/://h", {.scheme = "x:/", .hostname = "h"}},
  };
  for (const ParseCase& c : cases) {
    const auto url = parse_url(c.text);
    ASSERT_TRUE(url.ok()) << c.text << ": " << display_url_error(url.error());
    EXPECT_EQ(*url, c.expected) << c.text;
  }
}

TEST(UrlParserTest, HostsWithPortsAndBrackets) {
  const ParseCase cases[] = {
      // Every host with a port is stored in IPv6 form; isIp records only the brackets.
      {"x://h:080", {.scheme = "x", .hostname = "::ffff:h", .port = 80}},
      {"x://127.0.0.1:80", {.scheme = "x", .hostname = "::1", .port = 80}},
      {"x://127.0.0.1", {.scheme = "x", .hostname = "127.0.0.1"}},
      {"x://h:0/p", {.scheme = "x", .hostname = "::ffff:h", .port = 0, .path = "/p"}},
      {"x://h:18446744073709551615",
       {.scheme = "x", .hostname = "::ffff:h", .port = 18446744073709551615u}},
      {"x://[::1]:8080/p",
       {.scheme = "x", .hostname = "::1", .port = 8080, .isIp = true, .path = "/p"}},
      {"x://[10.0.0.1]", {.scheme = "x", .hostname = "::ffff:10.0.0.1", .isIp = true}},
      {"x://[127.0.0.1]:1", {.scheme = "x", .hostname = "::1", .port = 1, .isIp = true}},
      // What stands between the brackets is not validated.
      {"x://[not an ip]", {.scheme = "x", .hostname = "::ffff:not an ip", .isIp = true}},
      {"x://[[:]", {.scheme = "x", .hostname = "[:", .isIp = true}},
  };
  for (const ParseCase& c : cases) {
    const auto url = parse_url(c.text);
    ASSERT_TRUE(url.ok()) << c.text << ": " << display_url_error(url.error());
    EXPECT_EQ(*url, c.expected) << c.text;
  }
}

TEST(UrlParserTest, LibraryAndFileSchemes) {
  const ParseCase cases[] = {
      {"lib://name/x?v=1",
       {.scheme = "lib",
        .hostname = std::string(kLibDomain),
        .path = "name/x",
        .params = {{"v", integer(1)}}}},
      {"lib://?v#f",
       {.scheme = "lib",
        .hostname = std::string(kLibDomain),
        .path = "",
        .params = {{"v", QueryValue::none()}},
        .fragment = "f"}},
      {"lib://[::1]:80/x",
       {.scheme = "lib", .hostname = std::string(kLibDomain), .path = "[::1]:80/x"}},
      {"a~b~lib://n",
       {.transport = "a",
        .route = "b",
        .scheme = "lib",
        .hostname = std::string(kLibDomain),
        .path = "n"}},
      // The library domain that the printer writes in the host's place is not part of the path.
      {"lib://lib.sys/x", {.scheme = "lib", .hostname = std::string(kLibDomain), .path = "/x"}},
      {"lib://lib.sysname", {.scheme = "lib", .hostname = std::string(kLibDomain), .path = "name"}},
      {"lib://lib.sys", {.scheme = "lib", .hostname = std::string(kLibDomain), .path = ""}},
      {"lib://lib.sy/x", {.scheme = "lib", .hostname = std::string(kLibDomain), .path = "lib.sy/x"}},
      {"file:///etc/x", {.scheme = "file", .path = "/etc/x"}},
      {"file://?a", {.scheme = "file", .path = "/", .params = {{"a", QueryValue::none()}}}},
      {"file://host/etc", {.scheme = "file", .hostname = "host", .path = "/etc"}},
  };
  for (const ParseCase& c : cases) {
    const auto url = parse_url(c.text);
    ASSERT_TRUE(url.ok()) << c.text << ": " << display_url_error(url.error());
    EXPECT_EQ(*url, c.expected) << c.text;
  }
  EXPECT_EQ(kLibDomain.size(), 7u);
}

TEST(UrlParserTest, MessageUrlsMayHaveNoHost) {
  for (const char* text : {"x:///p", "zq:///", "x://?a=1#f"}) {
    const auto url = parse_message_url(text);
    ASSERT_TRUE(url.ok()) << text;
    EXPECT_FALSE(url->hostname) << text;
    EXPECT_EQ(display_url(*url), std::string(text) == "x://?a=1#f" ? "x:///?a=1#f" : text);
  }
  EXPECT_EQ(*parse_message_url("a~b~x://h:8/p?q=2"), *parse_url("a~b~x://h:8/p?q=2"));
  // What the printer writes for no path, and for a scheme holding "~" without a transport.
  EXPECT_EQ(*parse_message_url("zq://"), *parse_message_url("zq:///"));
  EXPECT_EQ(parse_message_url("lib://")->path, "");
  // An IP host starting with "[" is written without brackets.
  const auto bracket = parse_message_url("x://[::1/p");
  ASSERT_TRUE(bracket.ok());
  EXPECT_EQ(*bracket, *parse_url("x://[[::1]/p"));
  EXPECT_EQ(parse_url("x://[::1/p").error().kind, UrlErrorKind::InvalidHostname);
  const auto chain = parse_message_url("a~b~c~d://h");
  ASSERT_TRUE(chain.ok());
  EXPECT_EQ(chain->scheme, "a~b~c~d");
  EXPECT_FALSE(chain->transport || chain->route);
  EXPECT_EQ(parse_message_url("x://[]").error(), (UrlError{UrlErrorKind::InvalidHostname, "[]"}));
}

TEST(UrlParserTest, QueryPieces) {
  const ParseCase cases[] = {
      // A repeated key keeps its first position and takes the later value; empty pieces vanish.
      {"x://h?a=1&&b&a=2",
       {.scheme = "x", .hostname = "h", .params = {{"a", integer(2)}, {"b", QueryValue::none()}}}},
      {"x://h?&&", {.scheme = "x", .hostname = "h"}},
      {"x://h?", {.scheme = "x", .hostname = "h"}},
      // Only the first "=" splits; keys are taken as they stand.
      {"x://h?=5&k=&k2&k=a=b",
       {.scheme = "x",
        .hostname = "h",
        .params = {{"", integer(5)}, {"k", QueryValue::str("a=b")}, {"k2", QueryValue::none()}}}},
      {"x://h? K%20 = 1 &K=2",
       {.scheme = "x", .hostname = "h", .params = {{" K%20 ", integer(1)}, {"K", integer(2)}}}},
      {"x://h?t=True&f=2.5&s='q'&l=[1]&n=None",
       {.scheme = "x",
        .hostname = "h",
        .params = {{"t", QueryValue::boolean(true)},
                   {"f", QueryValue::floating(2.5)},
                   {"s", QueryValue::str("q")},
                   {"l", QueryValue::literal("[1]")},
                   {"n", QueryValue::none()}}}},
  };
  for (const ParseCase& c : cases) {
    const auto url = parse_url(c.text);
    ASSERT_TRUE(url.ok()) << c.text << ": " << display_url_error(url.error());
    EXPECT_EQ(*url, c.expected) << c.text;
  }
}

// Long queries find repeated keys through an index; order and last-value-wins must not change.
TEST(UrlParserTest, ManyParametersKeepFirstPositionAndLastValue) {
  const auto key = [](int i) { return std::string(1, 'k').append(std::to_string(i)); };
  std::string text = "x://h?";
  QueryParams expected;
  for (int i = 0; i < 40; ++i) {
    text.append(key(i)).append("=").append(std::to_string(i)).append("&");
    expected.push_back({key(i), integer(i)});
  }
  for (int i = 0; i < 40; i += 3) {
    text.append("&").append(key(i)).append("=").append(std::to_string(-i));
    expected[static_cast<std::size_t>(i)].value = integer(-i);
  }
  text += "&new";
  expected.push_back({"new", QueryValue::none()});
  const auto url = parse_url(text);
  ASSERT_TRUE(url.ok());
  EXPECT_EQ(url->params, expected);
}

struct ErrorCase {
  std::string text;
  UrlErrorKind kind;
  std::string carried;
};

TEST(UrlParserTest, ErrorsCarryTheirText) {
  using K = UrlErrorKind;
  const ErrorCase cases[] = {
      {"h", K::InvalidUrl, "h"},
      {"", K::InvalidUrl, ""},
      {"zq://", K::InvalidUrl, "zq://"},
      {"file://", K::InvalidUrl, "file://"},
      {"x:/h", K::InvalidUrl, "x:/h"},
      {"a~b~c~d://", K::InvalidUrl, "a~b~c~d://"},  // the missing rest is found first
      {"a~b~c~d://h", K::InvalidProtocolChain, "a~b~c~d"},
      {"a~b~c~d://[]", K::InvalidProtocolChain, "a~b~c~d"},  // reported before the host
      {"x:///p", K::MissingHostname, "x:///p"},
      {"x://?a", K::MissingHostname, "x://?a"},
      {"x://#f", K::MissingHostname, "x://#f"},
      {"lib2:///p", K::MissingHostname, "lib2:///p"},
      {"x://[]/", K::InvalidHostname, "[]"},
      {"x://[a]b", K::InvalidHostname, "[a]b"},
      {"x://[a", K::InvalidHostname, "[a"},
      {"x://[a]:", K::InvalidHostname, "[a]:"},
      {"x://[a]:1x", K::InvalidHostname, "[a]:1x"},
      {"x://h:", K::InvalidHostname, "h:"},
      {"x://h:8a", K::InvalidHostname, "h:8a"},
      {"x://h:+8", K::InvalidHostname, "h:+8"},
      {"x://h:-8", K::InvalidHostname, "h:-8"},
      {"x://h:80:90", K::InvalidHostname, "h:80:90"},
      {"x://:80", K::InvalidHostname, ":80"},
      {"x://h%41", K::InvalidHostname, "h%41"},
      {"x://h\xc3\xa9", K::InvalidHostname, "h\xc3\xa9"},
      {"x://h:18446744073709551616", K::InvalidHostname, "h:18446744073709551616"},
      {"x://h:99999999999999999999999", K::InvalidHostname, "h:99999999999999999999999"},
      // The carried host text ends at the first "/", "?" or "#".
      {"x://h x/p?q#f", K::InvalidHostname, "h x"},
      {"x://h x?q/#f", K::InvalidHostname, "h x"},
      {"x://h x#q/?", K::InvalidHostname, "h x"},
  };
  for (const ErrorCase& c : cases) {
    const auto url = parse_url(c.text);
    ASSERT_FALSE(url.ok()) << c.text;
    EXPECT_EQ(url.error(), (UrlError{c.kind, c.carried})) << c.text;
  }
}

TEST(UrlParserTest, DisplayTexts) {
  EXPECT_EQ(display_url_error({UrlErrorKind::InvalidUrl, "h"}), "Invalid URL: h");
  EXPECT_EQ(display_url_error({UrlErrorKind::InvalidUrl, ""}), "Invalid URL: ");
  EXPECT_EQ(display_url_error({UrlErrorKind::InvalidProtocolChain, "a~b~c~d"}),
            "Invalid protocol chain: a~b~c~d");
  EXPECT_EQ(display_url_error({UrlErrorKind::MissingHostname, "x:///p"}),
            "Missing hostname in URL: x:///p");
  EXPECT_EQ(display_url_error({UrlErrorKind::InvalidHostname, "{}"}), "Invalid hostname: {}");
}

TEST(UrlParserTest, NewUrlDefaults) {
  const Url url = new_url();
  EXPECT_EQ(url, (Url{.scheme = "", .path = "/"}));
  EXPECT_FALSE(url.transport || url.route || url.hostname || url.port || url.fragment);
  EXPECT_FALSE(url.isIp);
  EXPECT_TRUE(url.params.empty());
}

// A record that already holds every component, to show which ones a parse replaces.
class LiveRecordTest : public testing::Test {
 protected:
  const Url live_{.transport = "T",
                  .route = "R",
                  .scheme = "S",
                  .hostname = "H",
                  .port = 1,
                  .isIp = true,
                  .path = "/P",
                  .params = {{"K", integer(9)}},
                  .fragment = "F"};

  Url changed(const std::function<void(Url&)>& change) const {
    Url url = live_;
    change(url);
    return url;
  }
};

TEST_F(LiveRecordTest, FailuresLeaveWhatEarlierStepsWrote) {
  const struct {
    std::string text;
    Url expected;
  } cases[] = {
      {"h", live_},
      {"a~b~c~d://h", live_},
      {"x:///p#f", changed([](Url& u) {
         u.transport.reset();
         u.route.reset();
         u.scheme = "x";
         u.fragment = "f";
         u.path = "/p";
       })},
      {"t~r~x://h:bad/q", changed([](Url& u) {
         u.transport = "t";
         u.route = "r";
         u.scheme = "x";
         u.fragment.reset();
         u.path = "/q";
       })},
      {"x://[]", changed([](Url& u) {
         u.transport.reset();
         u.route.reset();
         u.scheme = "x";
         u.fragment.reset();
         u.path = "/";
       })},
  };
  for (const auto& c : cases) {
    Url url = live_;
    EXPECT_FALSE(parse_url_into(url, c.text).ok()) << c.text;
    EXPECT_EQ(url, c.expected) << c.text;
  }
}

TEST_F(LiveRecordTest, FileUrlWithoutHostKeepsTheHost) {
  Url url = live_;
  ASSERT_TRUE(parse_url_into(url, "file:///etc/x?a").ok());
  EXPECT_EQ(url, (Url{.scheme = "file",
                      .hostname = "H",
                      .port = 1,
                      .isIp = true,
                      .path = "/etc/x",
                      .params = {{"a", QueryValue::none()}}}));
  // A fresh record keeps its defaults instead.
  EXPECT_EQ(*parse_url("file:///etc/x?a"),
            (Url{.scheme = "file", .path = "/etc/x", .params = {{"a", QueryValue::none()}}}));
}

TEST_F(LiveRecordTest, SuccessReplacesEverything) {
  for (const char* text : {"x://h", "a~b~c://[::1]:80/p?x=1#f", "lib://n", "file://h/p"}) {
    Url url = live_;
    ASSERT_TRUE(parse_url_into(url, text).ok()) << text;
    EXPECT_EQ(url, *parse_url(text)) << text;
  }
}

}  // namespace
}  // namespace zq
