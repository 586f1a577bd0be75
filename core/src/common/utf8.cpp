// UTF-8 validation and lossy decoding over one sequence scanner: ASCII is skipped eight bytes
// at a time, other sequences are checked byte by byte against the well-formed ranges.
#include "common/utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zq {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The bytes at `p` (with `left` > 0 bytes available) up to where the ASCII run ends, eight at
// a time and then byte by byte.
std::size_t ascii_run(const unsigned char* p, std::ptrdiff_t left) {
  std::size_t n = 0;
  while (left - static_cast<std::ptrdiff_t>(n) >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p + n, 8);
    if ((word & kHighBits) != 0) break;
    n += 8;
  }
  while (static_cast<std::ptrdiff_t>(n) < left && p[n] < 0x80) ++n;
  return n;
}

struct Sequence {
  std::size_t length;  // bytes of the sequence, or of the maximal ill-formed subpart
  bool valid;
};

// The non-ASCII sequence at `p`, `left` > 0 bytes available. The second byte's range depends
// on the lead byte: it excludes overlong forms (E0, F0), surrogates (ED) and code points above
// U+10FFFF (F4). An ill-formed sequence stops at the first byte that cannot continue it.
Sequence next_sequence(const unsigned char* p, std::ptrdiff_t left) {
  const unsigned char lead = p[0];
  std::size_t size;
  unsigned char lo = 0x80, hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    if (lead == 0xE0) lo = 0xA0;
    if (lead == 0xED) hi = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    if (lead == 0xF0) lo = 0x90;
    if (lead == 0xF4) hi = 0x8F;
  } else {
    return {1, false};  // continuation byte as lead, C0, C1, F5..FF
  }
  for (std::size_t i = 1; i < size; ++i) {
    if (static_cast<std::ptrdiff_t>(i) >= left) return {i, false};
    const unsigned char b = p[i];
    const bool fits = i == 1 ? (b >= lo && b <= hi) : (b & 0xC0) == 0x80;
    if (!fits) return {i, false};
  }
  return {size, true};
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  while (p != end) {
    p += ascii_run(p, end - p);
    if (p == end) break;
    const Sequence seq = next_sequence(p, end - p);
    if (!seq.valid) return false;
    p += seq.length;
  }
  return true;
}

std::string lossy_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto* const begin = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* p = begin;
  const auto* const end = p + bytes.size();
  while (p != end) {
    const std::size_t ascii = ascii_run(p, end - p);
    out.append(reinterpret_cast<const char*>(p), ascii);
    p += ascii;
    if (p == end) break;
    const Sequence seq = next_sequence(p, end - p);
    if (seq.valid) {
      out.append(reinterpret_cast<const char*>(p), seq.length);
    } else {
      out.append(kReplacement);
    }
    p += seq.length;
  }
  return out;
}

}  // namespace zq
