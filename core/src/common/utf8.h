// UTF-8 of texts read off the wire: strict validation (no overlongs, surrogates or code points
// above U+10FFFF) and lossy decoding that repairs what validation refuses.
#pragma once

#include <string>
#include <string_view>

namespace zq {

// True when `text` is well-formed UTF-8.
bool is_valid_utf8(std::string_view text);

// `bytes` as well-formed UTF-8: each maximal subpart of an ill-formed sequence (the longest
// prefix of a well-formed sequence, or else one byte) becomes U+FFFD, the replacement that
// Unicode recommends and that Python's "replace" error handler makes.
std::string lossy_utf8(std::string_view bytes);

}  // namespace zq
