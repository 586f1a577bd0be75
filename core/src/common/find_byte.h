// Inline searches for bytes in short texts. The texts searched (pieces of a URL) are tens of
// bytes long: sixteen bytes compared at once, without the call into the C library that memchr
// costs, find most bytes sooner than that call returns.
#pragma once

#include <bit>
#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zq {

#if defined(__SSE2__)
namespace detail {

// Bit i set where byte i of the 16 at `at` equals the needle.
inline unsigned equal_bytes(const char* at, __m128i needle) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, needle)));
}

}  // namespace detail
#endif

// The position of the first `c` in `text` at or after `from` (at most text.size()), or npos.
inline std::size_t find_byte(std::string_view text, char c, std::size_t from = 0) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::size_t i = from;
#if defined(__SSE2__)
  if (size >= 16) {
    const __m128i needle = _mm_set1_epi8(c);
    for (; i + 16 <= size; i += 16) {
      if (const unsigned hits = detail::equal_bytes(data + i, needle); hits != 0) {
        return i + static_cast<std::size_t>(std::countr_zero(hits));
      }
    }
    if (i == size) return std::string_view::npos;
    // The rest, shorter than a block, is searched in the block that ends with the text; the
    // shift drops the bytes before `i` that it overlaps.
    const std::size_t last = size - 16;
    const unsigned hits = detail::equal_bytes(data + last, needle) >> (i - last);
    return hits != 0 ? i + static_cast<std::size_t>(std::countr_zero(hits)) : std::string_view::npos;
  }
#endif
  for (; i < size; ++i) {
    if (data[i] == c) return i;
  }
  return std::string_view::npos;
}

// Calls `visit(position)` for each byte of `text` that is `a` or `b`, in order, while it returns
// true. False when a visit stopped it.
template <class Visit>
bool for_each_of(std::string_view text, char a, char b, Visit&& visit) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::size_t i = 0;
#if defined(__SSE2__)
  if (size >= 16) {
    const __m128i first = _mm_set1_epi8(a);
    const __m128i second = _mm_set1_epi8(b);
    const auto hits_at = [&](std::size_t at) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
      return static_cast<unsigned>(
          _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, first), _mm_cmpeq_epi8(bytes, second))));
    };
    const auto visit_hits = [&](std::size_t base, unsigned hits) {
      for (; hits != 0; hits &= hits - 1) {
        if (!visit(base + static_cast<std::size_t>(std::countr_zero(hits)))) return false;
      }
      return true;
    };
    for (; i + 16 <= size; i += 16) {
      if (!visit_hits(i, hits_at(i))) return false;
    }
    if (i == size) return true;
    const std::size_t last = size - 16;
    return visit_hits(i, hits_at(last) >> (i - last));
  }
#endif
  for (; i < size; ++i) {
    if ((data[i] == a || data[i] == b) && !visit(i)) return false;
  }
  return true;
}

}  // namespace zq
