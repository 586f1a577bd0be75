// What URL records ask the allocator for: short texts stay inline, and a thread hands the block
// of a dropped record's parameters to the next record with as many.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "allocation_count.h"
#include "url/url.h"

namespace zq {
namespace {

using test::count_allocations;

// A query of `count` distinct parameters.
std::string url_with_params(std::size_t count) {
  std::string text = "zq://search.example.com/find?";
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) text += '&';
    text.append("k").append(std::to_string(i)).append("=v");
  }
  return text;
}

// Parses `text` into a record that is dropped at once.
void parse_and_drop(const std::string& text) {
  Url url;
  ASSERT_TRUE(parse_url_into(url, text).ok());
}

TEST(UrlAllocations, ParameterBlocksPassToTheNextRecordOfTheThread) {
  // A thread of its own starts with nothing kept; what it keeps is freed when it ends (the
  // sanitizer build would report a block left behind).
  std::thread([] {
    for (const std::size_t count : {1u, 3u, 8u}) {
      const std::string text = url_with_params(count);
      EXPECT_EQ(count_allocations([&] { parse_and_drop(text); }).calls, 1u) << count;
      EXPECT_EQ(count_allocations([&] { parse_and_drop(text); }).calls, 0u) << count;
    }
    // Past eight parameters every record allocates its own block.
    const std::string long_query = url_with_params(9);
    parse_and_drop(long_query);
    EXPECT_EQ(count_allocations([&] { parse_and_drop(long_query); }).calls, 1u);

    // While one record holds the kept block, a copy of it gets a block of its own. Once both are
    // gone one block of that count is kept: the next record takes it, the one after allocates.
    const std::string text = url_with_params(3);
    {
      Url first;
      ASSERT_TRUE(parse_url_into(first, text).ok());
      Url copy;
      EXPECT_EQ(count_allocations([&] { assign_url(copy, first); }).calls, 1u);
    }
    Url one;
    Url two;
    EXPECT_EQ(count_allocations([&] {
                ASSERT_TRUE(parse_url_into(one, text).ok());
                ASSERT_TRUE(parse_url_into(two, text).ok());
              }).calls,
              1u);
  }).join();
}

}  // namespace
}  // namespace zq
