#include "common/assign_text.h"

namespace zq {

void assign_text(std::string& to, std::string_view text) { to.assign(text); }

}  // namespace zq
