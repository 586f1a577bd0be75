// The system's data value: a tagged union of eleven variants, exchanged by payloads, cookies
// and the Python bridge, and written on the wire as MessagePack.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "common/bytes.h"

namespace zq {

struct ValuePair;

struct Timestamp {
  std::int64_t secs = 0;
  std::uint32_t nanos = 0;
  friend bool operator==(const Timestamp&, const Timestamp&) = default;
};

struct Ext {
  std::int8_t type = 0;
  Bytes data;
  friend bool operator==(const Ext&, const Ext&) = default;
};

class Value {
 public:
  // Variant order is part of the model: Nil, Bool, Int, UInt, Float, Str, Bin, Array, Map,
  // Timestamp, Ext.
  enum class Kind : std::uint8_t { Nil, Bool, Int, UInt, Float, Str, Bin, Array, Map, Timestamp, Ext };
  using Array = std::vector<Value>;
  using Map = std::vector<ValuePair>;

  // Defined below, once ValuePair is complete.
  Value();
  static Value nil();
  static Value boolean(bool b);
  static Value integer(std::int64_t i);
  static Value uinteger(std::uint64_t u);
  static Value floating(double d);
  static Value str(std::string s);
  static Value bin(Bytes b);
  static Value array(Array a);
  static Value map(Map m);
  static Value timestamp(Timestamp t);
  static Value ext(Ext e);

  Kind kind() const { return static_cast<Kind>(data_.index()); }

  // Accessors; each requires the matching kind().
  bool as_bool() const { return *std::get_if<1>(&data_); }
  std::int64_t as_int() const { return *std::get_if<2>(&data_); }
  std::uint64_t as_uint() const { return *std::get_if<3>(&data_); }
  double as_float() const { return *std::get_if<4>(&data_); }
  const std::string& as_str() const { return *std::get_if<5>(&data_); }
  std::string& as_str() { return *std::get_if<5>(&data_); }
  const Bytes& as_bin() const { return *std::get_if<6>(&data_); }
  Bytes& as_bin() { return *std::get_if<6>(&data_); }
  const Array& as_array() const { return *std::get_if<7>(&data_); }
  Array& as_array() { return *std::get_if<7>(&data_); }
  const Map& as_map() const { return *std::get_if<8>(&data_); }
  Map& as_map() { return *std::get_if<8>(&data_); }
  const Timestamp& as_timestamp() const { return *std::get_if<9>(&data_); }
  const Ext& as_ext() const { return *std::get_if<10>(&data_); }
  Ext& as_ext() { return *std::get_if<10>(&data_); }

  friend bool operator==(const Value& a, const Value& b);

 private:
  template <std::size_t I, class... Args>
  explicit Value(std::in_place_index_t<I> tag, Args&&... args) : data_(tag, std::forward<Args>(args)...) {}

  std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, Bytes, Array, Map,
               Timestamp, Ext>
      data_;
};

struct ValuePair {
  Value key;
  Value value;
  friend bool operator==(const ValuePair&, const ValuePair&) = default;
};

inline Value::Value() = default;
inline Value Value::nil() { return Value(); }
inline Value Value::boolean(bool b) { return Value(std::in_place_index<1>, b); }
inline Value Value::integer(std::int64_t i) { return Value(std::in_place_index<2>, i); }
inline Value Value::uinteger(std::uint64_t u) { return Value(std::in_place_index<3>, u); }
inline Value Value::floating(double d) { return Value(std::in_place_index<4>, d); }
inline Value Value::str(std::string s) { return Value(std::in_place_index<5>, std::move(s)); }
inline Value Value::bin(Bytes b) { return Value(std::in_place_index<6>, std::move(b)); }
inline Value Value::array(Array a) { return Value(std::in_place_index<7>, std::move(a)); }
inline Value Value::map(Map m) { return Value(std::in_place_index<8>, std::move(m)); }
inline Value Value::timestamp(Timestamp t) { return Value(std::in_place_index<9>, t); }
inline Value Value::ext(Ext e) { return Value(std::in_place_index<10>, std::move(e)); }

// Structural equality; floats compare by value (NaN never equals).
inline bool operator==(const Value& a, const Value& b) { return a.data_ == b.data_; }

}  // namespace zq
