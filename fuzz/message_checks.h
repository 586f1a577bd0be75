// What the message fuzz targets share: which decoded cookies can be written again.
#pragma once

#include "serialization/msgpack.h"
#include "serialization/value.h"
#include "value_checks.h"

namespace zq::fuzz {

// The cookies section is written as one map whose keys and values sit at depth 1.
inline bool cookies_encodable(const Value& cookies) { return !first_encode_failure(cookies.view(), 0); }

// Cookies compared by their encoding, so that a NaN equals itself (both must be encodable).
inline bool same_cookies(const Value& a, const Value& b) {
  Bytes ea;
  Bytes eb;
  return encode_map_pairs(a, ea).ok() && encode_map_pairs(b, eb).ok() && ea == eb;
}

template <class Record>
Record without_cookies(Record record) {
  record.cookies = Value::empty_map();
  return record;
}

}  // namespace zq::fuzz
