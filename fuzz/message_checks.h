// What the message fuzz targets share: which decoded cookies can be written again.
#pragma once

#include "serialization/msgpack.h"
#include "serialization/value.h"

namespace zq::fuzz {

// The cookies section is written as one map whose keys and values sit at depth 1.
inline bool cookies_encodable(const Value::Map& cookies) {
  for (const ValuePair& pair : cookies) {
    if (!encodable(pair.key, 1) || !encodable(pair.value, 1)) return false;
  }
  return true;
}

// Cookies compared by their encoding, so that a NaN equals itself (both must be encodable).
inline bool same_cookies(const Value::Map& a, const Value::Map& b) {
  Bytes ea;
  Bytes eb;
  return encode_map_pairs(a, ea).ok() && encode_map_pairs(b, eb).ok() && ea == eb;
}

template <class Record>
Record without_cookies(Record record) {
  record.cookies.clear();
  return record;
}

}  // namespace zq::fuzz
