// Typed values of URL query parameters and their reader, which follows the notation of Python
// literals (None, True, False, integers, floats, quoted texts, bracketed literals).
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <variant>

#include "common/text.h"

namespace zq {

class QueryValue {
 public:
  // Variant order is part of the model: None, Bool, Int, Float, Str, Literal.
  enum class Kind : std::uint8_t { None, Bool, Int, Float, Str, Literal };

  QueryValue() = default;  // None

  static QueryValue none() { return QueryValue(); }
  static QueryValue boolean(bool b) { return QueryValue(std::in_place_index<1>, b); }
  static QueryValue integer(std::int64_t i) { return QueryValue(std::in_place_index<2>, i); }
  static QueryValue floating(double d) { return QueryValue(std::in_place_index<3>, d); }
  static QueryValue str(Text s) { return QueryValue(std::in_place_index<4>, std::move(s)); }
  // The source text of a value the core does not model (an integer beyond 64 bits, a bracketed
  // list, tuple, set or dict), kept for the Python side to evaluate.
  static QueryValue literal(Text text) { return QueryValue(std::in_place_index<5>, std::move(text)); }

  // The factories' forms for a value that is filled in place.
  void set_none() { data_.emplace<0>(); }
  void set_boolean(bool b) { data_.emplace<1>(b); }
  void set_integer(std::int64_t i) { data_.emplace<2>(i); }
  void set_floating(double d) { data_.emplace<3>(d); }
  void set_str(std::string_view s) { data_.emplace<4>(s); }
  void set_literal(std::string_view text) { data_.emplace<5>(text); }

  Kind kind() const { return static_cast<Kind>(data_.index()); }

  // Accessors; each requires the matching kind().
  bool as_bool() const { return *std::get_if<1>(&data_); }
  std::int64_t as_int() const { return *std::get_if<2>(&data_); }
  double as_float() const { return *std::get_if<3>(&data_); }
  // The text of a Str or a Literal.
  const Text& text() const {
    return data_.index() == 4 ? *std::get_if<4>(&data_) : *std::get_if<5>(&data_);
  }

  friend bool operator==(const QueryValue&, const QueryValue&) = default;

 private:
  template <std::size_t I, class... Args>
  explicit QueryValue(std::in_place_index_t<I> tag, Args&&... args)
      : data_(tag, std::forward<Args>(args)...) {}

  std::variant<std::monostate, bool, std::int64_t, double, Text, Text> data_;
};

// Reads the raw text after the "=" of a query piece. Never fails: text that fits no typed form
// is returned as Str.
QueryValue parse_query_value(std::string_view text);

// parse_query_value into an existing value.
void read_query_value(std::string_view text, QueryValue& out);

}  // namespace zq
