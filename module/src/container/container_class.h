// What the container classes share: the docstrings of serialize() and deserialize(data), the
// static deserialize built on a kind's decoder, serialize() through a scratch output, and the
// common read-only properties.
#pragma once

#include <cstdint>
#include <optional>

#include "common/bytes.h"
#include "compress/compression_info.h"
#include "container/container.h"
#include "frame/errors.h"
#include "frame/instance.h"
#include "frame/python.h"
#include "frame/to_object.h"
#include "serialization/msgpack.h"

namespace zqpy {

inline constexpr char kSerializeDoc[] = "serialize($self)\n--\n\n";
inline constexpr char kDeserializeDoc[] = "deserialize(data)\n--\n\n";

// deserialize(data) that reports a decoding error through core_error_to_value_error.
template <class Self, auto Decode>
PyObject* deserialize_container(zq::ByteView data) {
  auto decoded = Decode(data);
  if (!decoded.ok()) return core_error_to_value_error(decoded.error());
  return new_instance<Self>(Self::type(), std::move(decoded).value());
}

// deserialize(data) that raises ValueError `Message` whatever the decoding error.
template <class Self, auto Decode, const auto& Message>
PyObject* deserialize_container_or(zq::ByteView data) {
  auto decoded = Decode(data);
  if (!decoded.ok()) {
    PyErr_SetString(PyExc_ValueError, Message);
    return nullptr;
  }
  return new_instance<Self>(Self::type(), std::move(decoded).value());
}

// serialize() of a kind whose encoder writes into a scratch output: the bytes object is made
// at its final size and filled with one copy.
template <class Record, auto EncodeTo>
PyObject* serialize_via_scratch(const Record& record) {
  zq::ScratchOutput out;
  if (auto status = EncodeTo(record, out); !status.ok()) return core_error_to_value_error(status.error());
  return bytes_from_output(out);
}

template <class Record>
const std::optional<zq::CompressionInfo>& compression_info_of(const Record& record) {
  return record.compression_info;
}

template <class Record>
std::uint64_t version_of(const Record& record) {
  return record.version;
}

}  // namespace zqpy
