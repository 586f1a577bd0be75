// Inline searches for one byte in short texts. The texts searched (pieces of a URL) are tens of
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

// How many times `c` occurs in `text`.
inline std::size_t count_byte(std::string_view text, char c) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::size_t count = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  if (size >= 16) {
    // Hits are few: clearing them one at a time costs less than a population count, which the
    // baseline instruction set lacks.
    const auto add = [&count](unsigned hits) {
      for (; hits != 0; hits &= hits - 1) ++count;
    };
    const __m128i needle = _mm_set1_epi8(c);
    for (; i + 16 <= size; i += 16) add(detail::equal_bytes(data + i, needle));
    if (i != size) {
      const std::size_t last = size - 16;
      add(detail::equal_bytes(data + last, needle) >> (i - last));
    }
    return count;
  }
#endif
  for (; i < size; ++i) count += data[i] == c;
  return count;
}

}  // namespace zq
