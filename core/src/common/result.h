// Errors as values: the one wire error type of the core and a small result type around it.
// Nothing in the core throws for bad input; every fallible call returns Result<T, E>.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

namespace zq {

enum class WireErrorKind : std::uint8_t { Truncated, TooLarge, Invalid };

// The error of every wire codec and of compression. `message` is a fixed text with static
// storage duration; it is meaningful only for Invalid.
struct WireError {
  WireErrorKind kind = WireErrorKind::Invalid;
  const char* message = "";

  static constexpr WireError truncated() { return {WireErrorKind::Truncated, "truncated wire buffer"}; }
  static constexpr WireError too_large() {
    return {WireErrorKind::TooLarge, "value too large for wire encoding"};
  }
  static constexpr WireError invalid(const char* msg) { return {WireErrorKind::Invalid, msg}; }

  // The error's own text: the fixed message of Invalid, the kind's text otherwise.
  std::string_view text() const { return message; }

  friend bool operator==(const WireError& a, const WireError& b) {
    return a.kind == b.kind && std::string_view(a.message) == std::string_view(b.message);
  }
};

// Holds either a value of T or an error of E. T and E must differ.
template <class T, class E = WireError>
class [[nodiscard]] Result {
  static_assert(!std::is_same_v<T, E>);

 public:
  // A value is moved or copied straight into place, so returning a local costs one move.
  Result(T&& value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(const T& value) : state_(std::in_place_index<0>, value) {}
  Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return *std::get_if<0>(&state_); }
  const T& value() const& { return *std::get_if<0>(&state_); }
  T&& value() && { return std::move(*std::get_if<0>(&state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return std::get_if<0>(&state_); }
  const T* operator->() const { return std::get_if<0>(&state_); }

  const E& error() const& { return *std::get_if<1>(&state_); }
  E&& error() && { return std::move(*std::get_if<1>(&state_)); }

 private:
  std::variant<T, E> state_;
};

// Success without a value, or an error.
template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  Result(E error) : error_(std::move(error)) {}

  bool ok() const { return !error_.has_value(); }
  explicit operator bool() const { return ok(); }
  const E& error() const& { return *error_; }
  E&& error() && { return std::move(*error_); }

 private:
  std::optional<E> error_;
};

using Status = Result<void, WireError>;

}  // namespace zq

// Returns the error of a fallible expression from the enclosing function.
#define ZQ_RETURN_IF_ERROR(expr)                   \
  do {                                             \
    auto zq_status_ = (expr);                      \
    if (!zq_status_.ok()) return std::move(zq_status_).error(); \
  } while (0)

// Declares `lhs` from the value of a fallible expression, or returns its error.
#define ZQ_CONCAT_INNER_(a, b) a##b
#define ZQ_CONCAT_(a, b) ZQ_CONCAT_INNER_(a, b)
#define ZQ_ASSIGN_OR_RETURN(lhs, expr) ZQ_ASSIGN_OR_RETURN_IMPL_(ZQ_CONCAT_(zq_result_, __LINE__), lhs, expr)
#define ZQ_ASSIGN_OR_RETURN_IMPL_(tmp, lhs, expr)   \
  auto tmp = (expr);                               \
  if (!tmp.ok()) return std::move(tmp).error();    \
  lhs = std::move(tmp).value()
