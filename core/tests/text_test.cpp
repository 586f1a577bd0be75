// Owned short texts and the inline byte searches: every length around the inline capacity and
// the 16-byte blocks, assignment from a text's own bytes, and the whole-block write.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/find_byte.h"
#include "common/text.h"

namespace zq {
namespace {

// Distinct bytes, so that a copy from the wrong offset shows.
std::string pattern(std::size_t n, char first = 'a') {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += static_cast<char>(first + i % 26);
  return text;
}

// Lengths on both sides of each branch of the short copy and of the inline capacity.
constexpr std::size_t kLengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 23, 24, 25, 40, 100};

TEST(TextTest, HoldsEveryLength) {
  for (const std::size_t n : kLengths) {
    const std::string expected = pattern(n);
    const Text made(expected);
    EXPECT_EQ(made.view(), expected) << n;
    EXPECT_EQ(made.size(), n);
    EXPECT_EQ(made.empty(), n == 0);

    Text copied(made);
    EXPECT_EQ(copied.view(), expected) << n;
    Text moved(std::move(copied));
    EXPECT_EQ(moved.view(), expected) << n;
    EXPECT_TRUE(copied.empty()) << n;  // a moved-from text is empty

    // Assignment across every pair of lengths, so that inline and heap texts replace each other.
    for (const std::size_t m : kLengths) {
      Text target(pattern(m, 'A'));
      target.assign(expected);
      EXPECT_EQ(target.view(), expected) << m << " <- " << n;
      Text copy_assigned(pattern(m, 'A'));
      copy_assigned = made;
      EXPECT_EQ(copy_assigned.view(), expected) << m << " <- " << n;
      Text move_assigned(pattern(m, 'A'));
      Text source(made);
      move_assigned = std::move(source);
      EXPECT_EQ(move_assigned.view(), expected) << m << " <- " << n;
    }
  }
}

TEST(TextTest, AssignsFromItsOwnBytes) {
  for (const std::size_t n : kLengths) {
    for (std::size_t from = 0; from <= n; from += 3) {
      const std::string whole = pattern(n);
      Text text(whole);
      text.assign(text.view().substr(from));
      EXPECT_EQ(text.view(), whole.substr(from)) << n << " from " << from;
    }
    Text self(pattern(n));
    const Text& alias = self;
    self = alias;
    EXPECT_EQ(self.view(), pattern(n)) << n;
  }
}

TEST(TextTest, WritesWithinItsRoomAndReturnsTheEnd) {
  for (const std::size_t n : kLengths) {
    const std::string expected = pattern(n);
    char room[Text::kInlineCapacity + 128];
    std::string(sizeof room, '#').copy(room, sizeof room);
    char* const end = Text(expected).write_to(room);
    EXPECT_EQ(std::string_view(room, static_cast<std::size_t>(end - room)), expected) << n;
    // Nothing is written past the larger of the text and the inline block.
    const std::size_t used = std::max(n, Text::kInlineCapacity);
    EXPECT_EQ(std::string_view(room + used, sizeof room - used), std::string(sizeof room - used, '#')) << n;
  }
}

// Whole-block copies carry the inline bytes past a short text's end: those must be bytes something
// wrote (zeros), also when the short text replaced a heap text, whose inline block held a pointer.
TEST(TextTest, InlineBytesPastTheEndAreZero) {
  for (const std::size_t n : kLengths) {
    if (n > Text::kInlineCapacity) continue;
    const std::string expected = pattern(n);
    Text made(expected);
    Text replaced(pattern(100, 'A'));
    replaced.assign(expected);
    for (const Text* text : {&made, &replaced}) {
      char room[Text::kInlineCapacity + 128];
      std::string(sizeof room, '#').copy(room, sizeof room);
      text->write_to(room);
      EXPECT_EQ(std::string_view(room, n), expected) << n;
      const std::size_t past = Text::kInlineCapacity - n;
      EXPECT_EQ(std::string_view(room + n, past), std::string(past, '\0'))
          << n << (text == &made ? " made" : " assigned over a heap text");
    }
  }
}

// A difference at any position of any length is seen, whichever word of the comparison holds it.
TEST(TextTest, ComparesEveryPosition) {
  for (const std::size_t n : kLengths) {
    const std::string bytes = pattern(n);
    const Text text(bytes);
    EXPECT_TRUE(text == std::string_view(bytes)) << n;
    for (std::size_t i = 0; i < n; ++i) {
      std::string other = bytes;
      other[i] = static_cast<char>(other[i] ^ 0x20);
      EXPECT_FALSE(text == std::string_view(other)) << n << " at " << i;
      EXPECT_FALSE(text == Text(other)) << n << " at " << i;
    }
  }
}

TEST(TextTest, ComparesByBytes) {
  EXPECT_EQ(Text("abc"), "abc");
  EXPECT_EQ(Text("abc"), std::string("abc"));
  EXPECT_EQ(Text("abc"), std::string_view("abc"));
  EXPECT_FALSE(Text("abc") == Text("abd"));
  EXPECT_FALSE(Text("abc") == "ab");
  EXPECT_EQ(Text(std::string_view("a\0b", 3)).size(), 3u);
  EXPECT_FALSE(Text(std::string_view("a\0b", 3)) == Text(std::string_view("a\0c", 3)));
}

// Every position of the needle and every start around the 16-byte blocks, against the standard
// search; texts with no needle and with several.
TEST(FindByteTest, AgreesWithStringViewFind) {
  for (std::size_t n = 0; n <= 70; ++n) {
    std::string text(n, '.');
    for (std::size_t hit = 0; hit <= n; ++hit) {
      if (hit < n) text[hit] = '&';
      if (hit + 5 < n) text[hit + 5] = '&';
      for (std::size_t from = 0; from <= n; ++from) {
        const std::string_view view(text);
        ASSERT_EQ(find_byte(view, '&', from), view.find('&', from)) << n << " " << hit << " " << from;
      }
      text.assign(n, '.');
    }
  }
}

// The positions of either byte, in order, for texts of every length around the blocks with the
// two bytes scattered, dense and absent; a visit that returns false stops the walk there.
TEST(FindByteTest, VisitsEachOfTwoBytesInOrder) {
  for (std::size_t n = 0; n <= 70; ++n) {
    for (const char* fill : {".", "&", "=", "&=x"}) {
      std::string text;
      for (std::size_t i = 0; i < n; ++i) text += fill[(i * 7) % std::char_traits<char>::length(fill)];
      std::vector<std::size_t> expected;
      for (std::size_t i = 0; i < n; ++i) {
        if (text[i] == '&' || text[i] == '=') expected.push_back(i);
      }
      std::vector<std::size_t> seen;
      EXPECT_TRUE(for_each_of(text, '&', '=', [&](std::size_t at) {
        seen.push_back(at);
        return true;
      }));
      EXPECT_EQ(seen, expected) << n << " " << fill;

      if (expected.size() < 2) continue;
      seen.clear();
      EXPECT_FALSE(for_each_of(text, '&', '=', [&](std::size_t at) {
        seen.push_back(at);
        return seen.size() < 2;
      }));
      EXPECT_EQ(seen, std::vector<std::size_t>(expected.begin(), expected.begin() + 2)) << n << " " << fill;
    }
  }
}

}  // namespace
}  // namespace zq
