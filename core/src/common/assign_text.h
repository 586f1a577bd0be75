// One out-of-line assignment of text to a std::string.
#pragma once

#include <string>
#include <string_view>

namespace zq {

// `to = text`, reusing `to`'s buffer. Out of line on purpose: std::string's assignment expands
// into a long branchy body at each call site, and the readers of URLs and messages fill a dozen
// strings per record; one shared copy keeps their code small.
void assign_text(std::string& to, std::string_view text);

}  // namespace zq
