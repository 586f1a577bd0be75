// Parameter descriptions: for each callable its class, its name, its ordered parameter names
// and how many leading ones are required. Every parameter may be passed by position or keyword.
#pragma once

#include <array>
#include <cstddef>

namespace zqpy {

// What the unpacker needs of a description, independent of the parameter count.
struct ParamsView {
  const char* class_name;
  const char* callable_name;  // "__new__" for a constructor
  const char* const* names;
  std::size_t count;
  std::size_t required;
};

template <std::size_t N>
struct CallableDesc {
  const char* class_name;
  const char* callable_name;
  std::size_t required;
  std::array<const char*, N> names;

  static constexpr std::size_t size() { return N; }
  constexpr ParamsView view() const { return {class_name, callable_name, names.data(), N, required}; }
};

// describe("STPContainer", "__new__", 1, "payload", "version", "compression_info")
template <class... Names>
constexpr CallableDesc<sizeof...(Names)> describe(const char* class_name, const char* callable_name,
                                                   std::size_t required, Names... names) {
  return {class_name, callable_name, required, {names...}};
}

}  // namespace zqpy
