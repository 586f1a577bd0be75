// The interpreter type an ITP container carries: a standard code or a custom UTF-8 name.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace zq {

struct InterpreterType {
  bool custom = false;
  std::uint16_t code = 0;  // Standard code; meaningful when !custom
  std::string name;        // Custom name; meaningful when custom

  static InterpreterType standard(std::uint16_t c) { return {false, c, {}}; }
  static InterpreterType custom_name(std::string n) { return {true, 0, std::move(n)}; }
  friend bool operator==(const InterpreterType&, const InterpreterType&) = default;
};

}  // namespace zq
