// What the message fuzz targets share: which decoded cookies can be written again, and what a
// message whose payload was unpacked writes.
#pragma once

#include "container/container.h"
#include "payload/temp_data_object.h"
#include "serialization/msgpack.h"
#include "serialization/value.h"
#include "value_checks.h"

#include <optional>
#include <utility>

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

// Two writer outcomes agree: the same bytes, or the same error.
inline bool same_output(const Result<Bytes>& a, const Result<Bytes>& b) {
  if (a.ok() != b.ok()) return false;
  return a.ok() ? *a == *b : a.error() == b.error();
}

// `record` with its payload unpacked in place when its bytes are a container that encodes
// again, and the same record holding that container's encoding raw; none otherwise. The two
// write the same message, through the writer's encoding of a Decoded slot and its copying of a
// Raw one.
template <class Record>
std::optional<std::pair<Record, Record>> unpacked_and_raw(const Record& record) {
  Record unpacked = record;
  const auto container = unpack_temp_data_object(unpacked.payload);
  if (!container.ok() || *container == nullptr || !reencodes(**container)) return std::nullopt;
  auto encoded = encode_container(**container);
  if (!encoded.ok()) return std::nullopt;
  Record raw = record;
  raw.payload = TempDataObject::raw(std::move(encoded).value());
  return std::pair<Record, Record>(std::move(unpacked), std::move(raw));
}

}  // namespace zq::fuzz
