// Results of bodies as new Python objects. A core Result that holds an error raises it through
// core_error_to_value_error. Each returns nullptr with an exception set on failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/bytes.h"
#include "common/result.h"
#include "compress/compression_info.h"
#include "frame/errors.h"
#include "frame/python.h"

namespace zqpy {

// A body that builds its own result hands it over unchanged.
inline PyObject* to_object(PyObject* obj) { return obj; }
inline PyObject* to_object(bool v) { return PyBool_FromLong(v); }
inline PyObject* to_object(std::uint64_t v) { return PyLong_FromUnsignedLongLong(v); }
inline PyObject* to_object(std::int64_t v) { return PyLong_FromLongLong(v); }
// None, or the int.
inline PyObject* to_object(std::optional<std::int64_t> v) {
  if (!v) Py_RETURN_NONE;
  return PyLong_FromLongLong(*v);
}
inline PyObject* to_object(std::uint8_t v) { return PyLong_FromLong(v); }
inline PyObject* to_object(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}
inline PyObject* to_object(zq::ByteView bytes) {
  return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<Py_ssize_t>(bytes.size()));
}
// None, or (compressed, pretrained_map, algorithm, level).
inline PyObject* to_object(const std::optional<zq::CompressionInfo>& info) {
  if (!info) Py_RETURN_NONE;
  return Py_BuildValue("(BBBB)", info->compressed, info->pretrained_map, info->algorithm, info->level);
}

// A new bytes object of exactly `output.size()` bytes, filled by `output.copy_to` with one copy
// (a scratch output, a written message).
template <class Output>
PyObject* bytes_from_output(const Output& output) {
  PyObject* bytes = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(output.size()));
  if (bytes) output.copy_to(reinterpret_cast<std::uint8_t*>(PyBytes_AsString(bytes)));
  return bytes;
}

template <class T>
PyObject* to_object(zq::Result<T>&& result) {
  if (!result.ok()) return core_error_to_value_error(result.error());
  return to_object(std::move(result).value());
}

}  // namespace zqpy
