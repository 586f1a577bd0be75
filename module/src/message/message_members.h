// The members that requests and responses share, written once over either record: the payload
// getters (hasPayload, payloadSize, tdo, payload) and the cookies property.
#pragma once

#include "frame/errors.h"
#include "frame/instance.h"
#include "frame/params.h"
#include "frame/pyref.h"
#include "frame/python.h"
#include "frame/to_object.h"
#include "message/messages.h"
#include "payload/payload.h"
#include "payload/temp_data_object_class.h"
#include "serialization/value.h"
#include "values/value_bridge.h"

namespace zqpy {

// A new instance of the class itself (never a subclass) holding the record that `Read` reads
// from `data` in place, or the reader's error raised.
template <class Self, auto Read>
PyObject* message_from_wire(zq::ByteView data) {
  PyTypeObject* type = Self::type();
  if (!type) return nullptr;
  PyRef instance(new_instance<Self>(type));
  if (!instance) return nullptr;
  if (auto status = Read(data, record_in<Self>(instance)); !status.ok()) return core_error_to_value_error(status.error());
  return instance.release();
}

// A written message as a new bytes object, or the writer's error raised.
inline PyObject* message_bytes(const zq::Status& status, const zq::WrittenMessage& message) {
  if (!status.ok()) return core_error_to_value_error(status.error());
  return bytes_from_output(message);
}

template <class Record>
PyObject* Message_hasPayload(const Record& record) {
  return PyBool_FromLong(!record.payload.is_empty());
}

// The length of the slot's encoding, made anew for a Decoded slot and then dropped.
template <class Record>
PyObject* Message_payloadSize(const Record& record) {
  zq::EncodedPayload encoded;
  if (auto status = zq::encode_temp_data_object(record.payload, encoded); !status.ok()) {
    return core_error_to_value_error(status.error());
  }
  if (!encoded.present) Py_RETURN_NONE;
  return PyLong_FromSize_t(encoded.view.size());
}

template <class Record>
PyObject* Message_tdo(const Record& record) {
  return temp_data_object_from_slot(record.payload);
}

// Decodes a Raw slot once, in place; a decoding error leaves it Raw.
template <class Record>
PyObject* Message_payload(Record& record) {
  auto container = zq::unpack_temp_data_object(record.payload);
  if (!container.ok()) return core_error_to_value_error(container.error());
  if (!*container) Py_RETURN_NONE;
  return payload_to_object(**container);
}

template <class Record>
PyObject* Message_cookies(const Record& record) {
  return pairs_to_dict(record.cookies);
}

// Replaces every pair, or keeps the old ones when the dict does not convert.
inline bool replace_cookies(zq::Value& cookies, PyObject* dict) { return dict_to_pairs(dict, cookies); }

// The cookies setter tests the dict type before it takes the instance, and converts the pairs
// under it.
inline constexpr auto kCookiesSetter = describe_setter("value").converting_first();

template <class Record>
int Message_set_cookies(Record& record, PyObject* dict) {
  return replace_cookies(record.cookies, dict) ? 0 : -1;
}

}  // namespace zqpy
