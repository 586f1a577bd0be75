// Short builders of Values for codec test tables, and a readable rendering for failure messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "hex_bytes.h"
#include "serialization/value.h"

namespace zq::test {

inline Value Nil() { return Value::nil(); }
inline Value Bool(bool b) { return Value::boolean(b); }
inline Value Int(std::int64_t i) { return Value::integer(i); }
inline Value UInt(std::uint64_t u) { return Value::uinteger(u); }
inline Value Float(double d) { return Value::floating(d); }
inline Value Str(std::string s) { return Value::str(std::move(s)); }
inline Value Bin(std::string_view hex) { return Value::bin(from_hex(hex)); }
inline Value Arr(std::initializer_list<Value> items) { return Value::array(Value::Array(items)); }
inline Value MapOf(std::initializer_list<ValuePair> pairs) { return Value::map(Value::Map(pairs)); }
inline Value Ts(std::int64_t secs, std::uint32_t nanos) { return Value::timestamp({secs, nanos}); }
inline Value ExtOf(std::int8_t type, std::string_view hex) { return Value::ext({type, from_hex(hex)}); }

// `depth` arrays of one element nested around `inner`.
inline Value nested_arrays(std::size_t depth, Value inner) {
  for (std::size_t i = 0; i < depth; ++i) {
    Value::Array a;
    a.push_back(std::move(inner));
    inner = Value::array(std::move(a));
  }
  return inner;
}

// Every variant with its contents; floats by bit pattern, so that the text is exact.
inline std::string describe(ValueView v) {
  char buf[64];
  switch (v.kind()) {
    case Value::Kind::Nil: return "Nil";
    case Value::Kind::Bool: return v.as_bool() ? "true" : "false";
    case Value::Kind::Int: return "Int(" + std::to_string(v.as_int()) + ")";
    case Value::Kind::UInt: return "UInt(" + std::to_string(v.as_uint()) + ")";
    case Value::Kind::Float:
      std::snprintf(buf, sizeof buf, "Float(%a)", v.as_float());
      return buf;
    case Value::Kind::Str: return "Str(" + to_hex(as_bytes(v.as_str())) + ")";
    case Value::Kind::Bin: return "Bin(" + to_hex(v.as_bin()) + ")";
    case Value::Kind::Array: {
      std::string out = "[";
      for (const ValueView item : v.as_array()) out += describe(item) + ",";
      return out + "]";
    }
    case Value::Kind::Map: {
      std::string out = "{";
      for (const PairView p : v.as_map()) out += describe(p.key) + ":" + describe(p.value) + ",";
      return out + "}";
    }
    case Value::Kind::Timestamp:
      return "Ts(" + std::to_string(v.as_timestamp().secs) + "," +
             std::to_string(v.as_timestamp().nanos) + ")";
    case Value::Kind::Ext:
      return "Ext(" + std::to_string(v.as_ext().type) + "," + to_hex(v.as_ext().data) + ")";
  }
  return "?";
}
inline std::string describe(const Value& v) { return describe(v.view()); }

}  // namespace zq::test
