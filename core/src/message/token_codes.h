// The token codes of the request header: a known transport, method or route travels as its
// number in the canonical tables plus one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "tables/canonical_tables.h"

namespace zq::internal {

// The token whose wire code is `code`; none for a code without a token.
inline std::optional<std::string_view> token_of(std::span<const tables::NamedCode> table, unsigned code) {
  for (const tables::NamedCode& entry : table) {
    if (entry.code + 1u == code) return entry.name;
  }
  return std::nullopt;
}

}  // namespace zq::internal
