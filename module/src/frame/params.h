// Parameter descriptions: for each callable its class, its name, its ordered parameter names,
// how many leading ones are required and when they are converted; for each property setter the
// name its value is noted under. Every parameter may be passed by position or keyword.
#pragma once

#include <array>
#include <cstddef>

namespace zqpy {

// When the arguments are converted relative to taking the receiver's borrow. A call takes the
// borrow first unless its member converts first; then Python code that a conversion runs
// (__index__, __bool__) may still use the instance.
enum class Order { BorrowThenConvert, ConvertThenBorrow };

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
  Order order = Order::BorrowThenConvert;

  static constexpr std::size_t size() { return N; }
  constexpr ParamsView view() const { return {class_name, callable_name, names.data(), N, required}; }
  // The same description, its parameters converted before the receiver's borrow is taken.
  constexpr CallableDesc converting_first() const {
    CallableDesc desc = *this;
    desc.order = Order::ConvertThenBorrow;
    return desc;
  }
};

// describe("STPContainer", "__new__", 1, "payload", "version", "compression_info")
template <class... Names>
constexpr CallableDesc<sizeof...(Names)> describe(const char* class_name, const char* callable_name,
                                                   std::size_t required, Names... names) {
  return {class_name, callable_name, required, {names...}};
}

// A property setter: the name a failed conversion of its value is noted under, and its order.
struct SetterDesc {
  const char* value_name;
  Order order = Order::BorrowThenConvert;

  constexpr SetterDesc converting_first() const { return {value_name, Order::ConvertThenBorrow}; }
};

// describe_setter("value"), or describe_setter("v").converting_first()
constexpr SetterDesc describe_setter(const char* value_name) { return {value_name}; }

}  // namespace zqpy
