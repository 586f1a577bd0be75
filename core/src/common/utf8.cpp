// Strict UTF-8 validation: ASCII is skipped eight bytes at a time, other sequences are checked
// byte by byte against the well-formed ranges.
#include "common/utf8.h"

#include <cstdint>
#include <cstring>

namespace zq {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

constexpr bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

bool is_valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p != end) {
    if (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      if ((word & kHighBits) == 0) {
        p += 8;
        continue;
      }
    }
    const unsigned char lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    const std::ptrdiff_t left = end - p;
    // The second byte's range depends on the lead byte: it excludes overlong forms (E0, F0),
    // surrogates (ED) and code points above U+10FFFF (F4).
    if (lead >= 0xC2 && lead <= 0xDF) {
      if (left < 2 || !is_continuation(p[1])) return false;
      p += 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      if (left < 3) return false;
      const unsigned char lo = lead == 0xE0 ? 0xA0 : 0x80;
      const unsigned char hi = lead == 0xED ? 0x9F : 0xBF;
      if (p[1] < lo || p[1] > hi || !is_continuation(p[2])) return false;
      p += 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      if (left < 4) return false;
      const unsigned char lo = lead == 0xF0 ? 0x90 : 0x80;
      const unsigned char hi = lead == 0xF4 ? 0x8F : 0xBF;
      if (p[1] < lo || p[1] > hi || !is_continuation(p[2]) || !is_continuation(p[3])) return false;
      p += 4;
    } else {
      return false;  // continuation byte as lead, C0, C1, F5..FF
    }
  }
  return true;
}

}  // namespace zq
