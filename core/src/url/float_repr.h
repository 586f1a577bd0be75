// The text of a 64-bit float as Python's repr() writes it: the shortest digits that read back
// exactly, in positional form for decimal exponents -4 to 15 and in exponent form beyond.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zq {

// The longest text of a float: "-2.2250738585072014e-308".
inline constexpr std::size_t kFloatReprMax = 24;

// "inf", "-inf" and "nan" for the non-finite values; "-0.0" for negative zero.
std::string format_float_repr(double x);

// Writes the text of format_float_repr(x) at `out`, which has room for kFloatReprMax bytes, and
// returns the end of the text.
char* write_float_repr(double x, char* out);

// `text` without its "." characters.
std::string remove_dots(std::string_view text);

// Writes remove_dots(text) at `out`, which has room for text.size() bytes and may be where `text`
// itself starts, and returns the end.
char* remove_dots(std::string_view text, char* out);

}  // namespace zq
