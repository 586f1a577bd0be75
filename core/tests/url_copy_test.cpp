// Copying URL records with assign_url: over records of every shape, into records of every shape.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "url/url.h"
#include "url_test_util.h"

namespace zq {
namespace {

// Absent, empty and present optionals, texts past the inline capacity of std::string, and
// parameter lists that grow, shrink and change kinds.
std::vector<Url> records() {
  const std::string long_text(40, 'x');
  return {
      new_url(),
      {.transport = "", .route = "", .scheme = "s", .hostname = "", .fragment = ""},
      {.transport = long_text,
       .route = "r",
       .scheme = long_text,
       .hostname = "2001:db8::7",
       .port = 8080,
       .isIp = true,
       .path = "/" + long_text,
       .params = {{"i", QueryValue::integer(-3)},
                  {long_text, QueryValue::str(long_text)},
                  {"f", QueryValue::floating(0.5)},
                  {"l", QueryValue::literal("[1, 2]")},
                  {"n", QueryValue::none()}},
       .fragment = long_text},
      {.scheme = "zq", .hostname = "h", .path = "", .params = {{"b", QueryValue::boolean(true)}}},
  };
}

TEST(UrlCopyTest, AssignUrlCopiesEveryComponent) {
  const std::vector<Url> sources = records();
  for (const Url& from : sources) {
    for (Url to : records()) {
      assign_url(to, from);
      EXPECT_EQ(to, from) << testing::PrintToString(from);
    }
  }
}

TEST(UrlCopyTest, AssignUrlToItselfKeepsTheRecord) {
  for (Url url : records()) {
    const Url before = url;
    assign_url(url, url);
    EXPECT_EQ(url, before) << testing::PrintToString(before);
  }
}

}  // namespace
}  // namespace zq
