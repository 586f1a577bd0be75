// The status registry: the fixed table of the system's named statuses, each a path of name
// segments with its code, and the test of a status value against a path.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "status/command.h"

namespace zq {

inline constexpr std::size_t kMaxStatusPathDepth = 5;

struct StatusRegistryEntry {
  std::array<std::string_view, kMaxStatusPathDepth> segments;  // unused ones empty
  std::string_view code;      // the code text; empty for the entry "ok"
  bool code_is_true = false;  // only the entry "ok", whose code is true

  constexpr std::size_t depth() const {
    std::size_t n = 0;
    while (n < segments.size() && !segments[n].empty()) ++n;
    return n;
  }
  constexpr std::span<const std::string_view> path() const { return {segments.data(), depth()}; }
};

// The 93 entries in table order.
std::span<const StatusRegistryEntry> status_registry();

// Whether `command` is the code of the entry at `path` (segments compared byte for byte). When
// no entry has exactly that path, whether it is the code of any entry below it; the empty path
// is above every entry. Bool true and Int 1 match the code true; a Str matches the same text;
// Bytes match nothing.
bool status_matches_path(const CommandObject& command, std::span<const std::string_view> path);
bool status_matches_path(const CommandObject& command, std::span<const std::string> path);

}  // namespace zq
