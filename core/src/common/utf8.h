// Strict UTF-8 validation of texts read off the wire (no overlongs, surrogates or code points
// above U+10FFFF).
#pragma once

#include <string_view>

namespace zq {

// True when `text` is well-formed UTF-8.
bool is_valid_utf8(std::string_view text);

}  // namespace zq
