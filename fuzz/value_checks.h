// What the fuzz targets that decode values share: the encoder's refusals and the packed form a
// decoded value must have, both worked out apart from the codec, from the rules it follows.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "serialization/msgpack.h"
#include "serialization/value.h"

namespace zq::fuzz {

// The failure encode_value meets first, walking `v` in its order, if any. Decoded values can
// hold only these two refusals: nesting too deep and timestamp nanos above 999999999.
inline std::optional<SerializationError> first_encode_failure(ValueView v, std::size_t depth) {
  switch (v.kind()) {
    case ValueKind::Array:
      if (depth >= kMaxEncodeDepth) return SerializationError::DepthExceeded;
      for (const ValueView item : v.as_array()) {
        if (auto e = first_encode_failure(item, depth + 1)) return e;
      }
      return std::nullopt;
    case ValueKind::Map:
      if (depth >= kMaxEncodeDepth) return SerializationError::DepthExceeded;
      for (const PairView pair : v.as_map()) {
        if (auto e = first_encode_failure(pair.key, depth + 1)) return e;
        if (auto e = first_encode_failure(pair.value, depth + 1)) return e;
      }
      return std::nullopt;
    case ValueKind::Timestamp:
      if (v.as_timestamp().nanos > 999999999) return SerializationError::NotEncodable;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

// `v` made anew item by item with Value's own makers, which write the smallest forms: the
// packed form and the description a decoded value must have.
inline Value rebuilt(ValueView v) {
  switch (v.kind()) {
    case ValueKind::Nil: return Value::nil();
    case ValueKind::Bool: return Value::boolean(v.as_bool());
    case ValueKind::Int: return Value::integer(v.as_int());
    case ValueKind::UInt: return Value::uinteger(v.as_uint());
    case ValueKind::Float: return Value::floating(v.as_float());
    case ValueKind::Str: return Value::str(v.as_str());
    case ValueKind::Bin: return Value::bin(v.as_bin());
    case ValueKind::Timestamp: return Value::timestamp(v.as_timestamp());
    case ValueKind::Ext: {
      const ExtView e = v.as_ext();
      return Value::ext({e.type, Bytes(e.data.data(), e.data.size())});
    }
    case ValueKind::Array: {
      Value::Array items;
      for (const ValueView item : v.as_array()) items.push_back(rebuilt(item));
      return Value::array(items);
    }
    case ValueKind::Map: {
      Value::Map pairs;
      for (const PairView pair : v.as_map()) pairs.push_back({rebuilt(pair.key), rebuilt(pair.value)});
      return Value::map(pairs);
    }
  }
  return Value();
}

// Same packed form, nesting and encodability: values equal item by item with floats compared by
// their bits, so that a NaN equals itself.
inline bool same_value(const Value& a, const Value& b) {
  const ByteView x = a.packed();
  const ByteView y = b.packed();
  return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin()) && a.nesting() == b.nesting() &&
         a.holds_unencodable() == b.holds_unencodable();
}

}  // namespace zq::fuzz
