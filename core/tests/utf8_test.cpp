// UTF-8 validation: named malformations, every code point, and an exhaustive count over all
// three-byte strings. Lossy decoding: the maximal-subpart replacements, and that it repairs
// exactly what validation refuses.
#include "common/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace zq {
namespace {

// The UTF-8 form of a scalar value or surrogate (surrogates encoded as if they were scalars).
std::string encode(std::uint32_t cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

TEST(Utf8Test, KnownCases) {
  const struct {
    const char* name;
    std::string text;
    bool valid;
  } cases[] = {
      {"empty", "", true},
      {"ascii", "hello, world", true},
      {"U+007F", "\x7f", true},
      {"U+0080", "\xc2\x80", true},
      {"U+07FF", "\xdf\xbf", true},
      {"U+0800", "\xe0\xa0\x80", true},
      {"U+D7FF", "\xed\x9f\xbf", true},
      {"U+E000", "\xee\x80\x80", true},
      {"U+FFFF", "\xef\xbf\xbf", true},
      {"U+10000", "\xf0\x90\x80\x80", true},
      {"U+10FFFF", "\xf4\x8f\xbf\xbf", true},
      {"NUL inside", std::string("a\0b", 3), true},
      {"ff", "\xff", false},
      {"fe", "\xfe", false},
      {"lone continuation", "\x80", false},
      {"overlong NUL", "\xc0\x80", false},
      {"overlong c1", "\xc1\xbf", false},
      {"overlong 3-byte", "\xe0\x9f\xbf", false},
      {"overlong 4-byte", "\xf0\x8f\xbf\xbf", false},
      {"first surrogate", "\xed\xa0\x80", false},
      {"last surrogate", "\xed\xbf\xbf", false},
      {"above U+10FFFF", "\xf4\x90\x80\x80", false},
      {"f5 lead", "\xf5\x80\x80\x80", false},
      {"2-byte cut", "\xc3", false},
      {"3-byte cut", "\xe2\x82", false},
      {"4-byte cut", "\xf0\x9f\x98", false},
      {"bad second continuation", "\xe2\x28\xa1", false},
      {"bad third continuation", "\xf0\x9f\x28\x80", false},
      // The eight-byte ASCII skip must not step over a bad byte or the end.
      {"bad byte after 8 ascii", "abcdefgh\xff", false},
      {"bad byte inside a word", "abc\xffxyzw", false},
      {"cut sequence at the end of a word", "abcdefg\xc3", false},
      {"valid after 8 ascii", "abcdefgh\xc3\xa9", true},
      {"long ascii", std::string(1000, 'q'), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(is_valid_utf8(c.text), c.valid);
  }
}

TEST(Utf8Test, EveryCodePointIsValidExceptSurrogates) {
  for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    // Behind eight ASCII bytes so the word-wise skip is exercised too.
    const std::string text = "........" + encode(cp);
    if (is_valid_utf8(text) == surrogate) FAIL() << "U+" << std::hex << cp;
  }
}

TEST(Utf8Test, CountOfValidThreeByteStrings) {
  // Valid three-byte strings: three ASCII bytes, an ASCII byte and a two-byte sequence in either
  // order, or one three-byte sequence (U+0800..U+FFFF without the 2048 surrogates).
  constexpr std::uint64_t kExpected = 128 * 128 * 128 + 2 * 128 * 1920 + (0x10000 - 0x800 - 2048);
  std::uint64_t valid = 0;
  char text[3];
  for (int a = 0; a < 256; ++a) {
    text[0] = static_cast<char>(a);
    for (int b = 0; b < 256; ++b) {
      text[1] = static_cast<char>(b);
      for (int c = 0; c < 256; ++c) {
        text[2] = static_cast<char>(c);
        valid += is_valid_utf8(std::string_view(text, 3));
      }
    }
  }
  EXPECT_EQ(valid, kExpected);
}

#define FFFD "\xef\xbf\xbd"

TEST(LossyUtf8Test, EachMaximalSubpartBecomesOneReplacement) {
  const struct {
    const char* name;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"empty", "", ""},
      {"valid text unchanged", "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
      {"ff before ok", "\xffok", FFFD "ok"},
      {"lone continuation", "\x80", FFFD},
      {"two continuations", "\x80\xbf", FFFD FFFD},
      {"cut two-byte sequence", "\xc3", FFFD},
      {"cut three-byte sequence is one subpart", "\xe2\x82", FFFD},
      {"cut four-byte sequence is one subpart", "\xf0\x9f\x98", FFFD},
      {"cut sequence before ASCII", "\xe2\x82z", FFFD "z"},
      {"overlong lead c0", "\xc0\xaf", FFFD FFFD},
      {"overlong after e0", "\xe0\x80\xaf", FFFD FFFD FFFD},
      {"surrogate", "\xed\xa0\x80", FFFD FFFD FFFD},
      {"above U+10FFFF", "\xf4\x90\x80\x80", FFFD FFFD FFFD FFFD},
      {"f5 lead", "\xf5\x80", FFFD FFFD},
      // The example of the Unicode standard's recommended practice.
      {"mixed", "a\xf1\x80\x80\xe1\x80\xc2" "b\x80" "c\x80\xbf" "d", "a" FFFD FFFD FFFD "b" FFFD "c" FFFD FFFD "d"},
      {"bad byte after eight ASCII", "abcdefgh\xffi", "abcdefgh" FFFD "i"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lossy_utf8(c.bytes), c.text);
  }
}

TEST(LossyUtf8Test, RepairsExactlyWhatValidationRefuses) {
  // Every two-byte string, and every lead byte before a cut-off or broken tail.
  auto check = [](std::string_view bytes) {
    const std::string text = lossy_utf8(bytes);
    if (!is_valid_utf8(text)) FAIL() << "invalid output";
    if (is_valid_utf8(bytes) != (text == bytes)) FAIL() << "changed a valid text or kept an invalid one";
  };
  char two[2];
  for (int a = 0; a < 256; ++a) {
    two[0] = static_cast<char>(a);
    for (int b = 0; b < 256; ++b) {
      two[1] = static_cast<char>(b);
      check(std::string_view(two, 2));
    }
  }
  for (int lead = 0xC0; lead < 0x100; ++lead) {
    for (const char* tail : {"\x80\x80", "\x80\x80\x80", "\xbf(", "\x90\x80\x80", "\x8f\xbf\xbf"}) {
      check(std::string(1, static_cast<char>(lead)) + tail);
    }
  }
}

#undef FFFD

}  // namespace
}  // namespace zq
