// The text of a 64-bit float as Python's repr() writes it: the shortest digits that read back
// exactly, in positional form for decimal exponents -4 to 15 and in exponent form beyond.
#pragma once

#include <string>
#include <string_view>

namespace zq {

// "inf", "-inf" and "nan" for the non-finite values; "-0.0" for negative zero.
std::string format_float_repr(double x);

// `text` without its "." characters.
std::string remove_dots(std::string_view text);

}  // namespace zq
