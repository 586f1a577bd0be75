// Python objects to Values and back, without intermediate Python objects: exact built-in types
// take a direct path, subclasses and other objects the ordered, general one.
#include "values/value_bridge.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "frame/errors.h"
#include "frame/lossy_text.h"
#include "frame/pyref.h"

namespace zqpy {
namespace {

using zq::Value;

bool raise_recursion_limit() {
  PyErr_SetString(PyExc_ValueError, "recursion limit exceeded");
  return false;
}

bool raise_int_range() {
  PyErr_SetString(PyExc_OverflowError, "int exceeds 64-bit msgpack range");
  return false;
}

// A scalar read from Python but not yet made a Value. Reading can fail; making the Value cannot
// (beyond std::bad_alloc), so it is built by the conversion straight in its final slot.
struct Scalar {
  Value::Kind kind = Value::Kind::Nil;
  union {
    std::int64_t i;
    std::uint64_t u;
    double d;
    bool b;
  } number{};
  std::string_view bytes;  // Str or Bin contents, borrowed from the object read
  PyRef owner;             // keeps the object `bytes` points into when it is not the one read

  operator Value() const {
    switch (kind) {
      case Value::Kind::Bool:
        return Value::boolean(number.b);
      case Value::Kind::Int:
        return Value::integer(number.i);
      case Value::Kind::UInt:
        return Value::uinteger(number.u);
      case Value::Kind::Float:
        return Value::floating(number.d);
      case Value::Kind::Str:
        return Value::str(std::string(bytes));
      case Value::Kind::Bin: {
        zq::Bytes copy;
        copy.resize(bytes.size());
        if (!bytes.empty()) std::memcpy(copy.data(), bytes.data(), bytes.size());
        return Value::bin(std::move(copy));
      }
      default:
        return Value::nil();
    }
  }
};

enum class Read { Done, Failed, NotScalar };

Read read_int(PyObject* obj, Scalar& out) {
  int overflow = 0;
  long long value = PyLong_AsLongLongAndOverflow(obj, &overflow);
  if (overflow == 0) {
    if (value == -1 && PyErr_Occurred()) return Read::Failed;
    out.kind = Value::Kind::Int;
    out.number.i = value;
    return Read::Done;
  }
  if (overflow < 0) return raise_int_range(), Read::Failed;
  unsigned long long unsigned_value = PyLong_AsUnsignedLongLong(obj);
  if (unsigned_value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return Read::Failed;
    PyErr_Clear();
    return raise_int_range(), Read::Failed;
  }
  out.kind = Value::Kind::UInt;
  out.number.u = unsigned_value;
  return Read::Done;
}

// The text of a str as it is stored, lossy where UTF-8 cannot carry it (lone surrogates).
Read read_text(PyObject* text, Scalar& out) {
  std::string_view utf8;
  if (!lossy_utf8(text, utf8, out.owner)) return Read::Failed;
  out.kind = Value::Kind::Str;
  out.bytes = utf8;
  return Read::Done;
}

Read read_bytes(const char* data, Py_ssize_t size, Scalar& out) {
  out.kind = Value::Kind::Bin;
  out.bytes = std::string_view(data, static_cast<std::size_t>(size));
  return Read::Done;
}

// Exact scalar types. Reading them runs no Python code, so such an item needs no reference of
// its own and cannot change the container it sits in.
[[gnu::always_inline]] inline Read read_exact_scalar(PyObject* obj, Scalar& out) {
  PyTypeObject* type = Py_TYPE(obj);
  if (type == &PyLong_Type) return read_int(obj, out);
  if (type == &PyUnicode_Type) return read_text(obj, out);
  if (type == &PyFloat_Type) {
    out.kind = Value::Kind::Float;
    out.number.d = PyFloat_AsDouble(obj);
    return Read::Done;
  }
  if (obj == Py_None) {
    out.kind = Value::Kind::Nil;
    return Read::Done;
  }
  if (type == &PyBool_Type) {
    out.kind = Value::Kind::Bool;
    out.number.b = obj == Py_True;
    return Read::Done;
  }
  if (type == &PyBytes_Type) return read_bytes(PyBytes_AsString(obj), PyBytes_Size(obj), out);
  return Read::NotScalar;
}

// A str subclass reads through str(obj), which may run Python code; a str() that raises gives
// the placeholder text.
Read read_str_subclass(PyObject* obj, Scalar& out) {
  PyRef text = str_or_unprintable(obj);
  if (!text) return Read::Failed;
  Read read = read_text(text.get(), out);
  if (!out.owner) out.owner = std::move(text);
  return read;
}

// Subclasses of the scalar types, in the documented order of tests (exact None and bool were
// already taken by read_exact_scalar).
Read read_scalar_subclass(PyObject* obj, Scalar& out) {
  if (PyLong_Check(obj)) return read_int(obj, out);
  if (PyFloat_Check(obj)) {
    out.kind = Value::Kind::Float;
    out.number.d = PyFloat_AsDouble(obj);
    return Read::Done;
  }
  if (PyUnicode_Check(obj)) return read_str_subclass(obj, out);
  if (PyBytes_Check(obj)) return read_bytes(PyBytes_AsString(obj), PyBytes_Size(obj), out);
  if (PyByteArray_Check(obj)) return read_bytes(PyByteArray_AsString(obj), PyByteArray_Size(obj), out);
  return Read::NotScalar;
}

// Any item that is not an exact scalar may run Python code (a __str__) that removes it from its
// container, so it is converted holding a reference of its own.
bool held_object_to_value(PyObject* obj, std::size_t depth, Value& out) {
  Py_INCREF(obj);
  bool ok = object_to_value(obj, depth, out);
  Py_DECREF(obj);
  return ok;
}

// Appends one item of a container at `depth`; `ran_python` is set when Python code may have run.
[[gnu::always_inline]] inline bool append_item(PyObject* item, std::size_t depth, Value::Array& items, bool& ran_python) {
  Scalar scalar;
  switch (read_exact_scalar(item, scalar)) {
    case Read::Done:
      items.emplace_back(scalar);
      return true;
    case Read::Failed:
      return false;
    case Read::NotScalar:
      break;
  }
  ran_python = true;
  return held_object_to_value(item, depth + 1, items.emplace_back());
}

// Items sit one level deeper than their container; a non-empty container at the deepest level
// fails on its first item.
bool items_within_depth(Py_ssize_t length, std::size_t depth) {
  return length == 0 || depth + 1 <= kMaxBridgeDepth || raise_recursion_limit();
}

// Items are read by index while the index is below both the length at the start and the
// current length: a list shortened meanwhile ends the loop, items appended are not seen. The
// length can only change when an item's conversion ran Python code.
bool list_to_value(PyObject* list, std::size_t depth, Value& out) {
  Py_ssize_t limit = PyList_Size(list);
  if (!items_within_depth(limit, depth)) return false;
  Value::Array items;
  items.reserve(static_cast<std::size_t>(limit));
  for (Py_ssize_t i = 0; i < limit; ++i) {
    bool ran_python = false;
    if (!append_item(PyList_GetItem(list, i), depth, items, ran_python)) return false;
    if (ran_python) limit = std::min(limit, PyList_Size(list));
  }
  out = Value::array(std::move(items));
  return true;
}

bool tuple_to_value(PyObject* tuple, std::size_t depth, Value& out) {
  Py_ssize_t length = PyTuple_Size(tuple);
  if (!items_within_depth(length, depth)) return false;
  Value::Array items;
  items.reserve(static_cast<std::size_t>(length));
  bool ran_python = false;
  for (Py_ssize_t i = 0; i < length; ++i) {
    if (!append_item(PyTuple_GetItem(tuple, i), depth, items, ran_python)) return false;
  }
  out = Value::array(std::move(items));
  return true;
}

// Two scalars made into a pair in place.
struct ScalarPair {
  const Scalar& key;
  const Scalar& value;
  operator zq::ValuePair() const { return zq::ValuePair{key, value}; }
};

// Appends one dict entry, key first; `ran_python` is set when Python code may have run. The
// value is held while the key converts, since a key's __str__ can replace it in the dict.
bool append_entry(PyObject* key, PyObject* value, std::size_t depth, Value::Map& pairs, bool& ran_python) {
  if (depth > kMaxBridgeDepth) return raise_recursion_limit();
  Scalar key_scalar;
  Read key_read = read_exact_scalar(key, key_scalar);
  if (key_read == Read::Failed) return false;
  if (key_read == Read::Done) {
    Scalar value_scalar;
    switch (read_exact_scalar(value, value_scalar)) {
      case Read::Done:
        pairs.emplace_back(ScalarPair{key_scalar, value_scalar});
        return true;
      case Read::Failed:
        return false;
      case Read::NotScalar:
        break;
    }
    ran_python = true;
    zq::ValuePair& pair = pairs.emplace_back();
    pair.key = key_scalar;
    return held_object_to_value(value, depth, pair.value);
  }
  ran_python = true;
  zq::ValuePair& pair = pairs.emplace_back();
  Py_INCREF(value);
  bool ok = held_object_to_value(key, depth, pair.key) && object_to_value(value, depth, pair.value);
  Py_DECREF(value);
  return ok;
}

// The interpreter's own dict iteration (a subclass's overrides are not called), with its two
// checks: the size must not change, and no more entries may come than there were at the start.
// Only Python code run by a conversion can change the dict, so the size is read again only then.
bool dict_entries(PyObject* dict, std::size_t item_depth, Value::Map& out) {
  const Py_ssize_t size = PyDict_Size(dict);
  out.reserve(static_cast<std::size_t>(size));
  Py_ssize_t position = 0;
  Py_ssize_t seen = 0;
  PyObject* key;
  PyObject* value;
  while (PyDict_Next(dict, &position, &key, &value)) {
    if (seen++ == size) {
      PyErr_SetString(PyExc_RuntimeError, "dictionary keys changed during iteration");
      return false;
    }
    bool ran_python = false;
    if (!append_entry(key, value, item_depth, out, ran_python)) return false;
    if (ran_python && PyDict_Size(dict) != size) {
      PyErr_SetString(PyExc_RuntimeError, "dictionary changed size during iteration");
      return false;
    }
  }
  return true;
}

bool dict_to_value(PyObject* dict, std::size_t depth, Value& out) {
  Value::Map pairs;
  if (!dict_entries(dict, depth + 1, pairs)) return false;
  out = Value::map(std::move(pairs));
  return true;
}

bool unsupported_type(PyObject* obj) {
  PyRef name(PyType_GetName(Py_TYPE(obj)));
  if (name) PyErr_Format(PyExc_TypeError, "unsupported type for ZQ serialization: %U", name.get());
  return false;
}

PyObject* array_to_list(const Value::Array& items);

// The conversion of one value, inlined into the array loop so that items take no extra call.
[[gnu::always_inline]] inline PyObject* new_object(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Nil:
      Py_RETURN_NONE;
    case Value::Kind::Bool:
      return PyBool_FromLong(value.as_bool());
    case Value::Kind::Int:
      return PyLong_FromLongLong(value.as_int());
    case Value::Kind::UInt:
      return PyLong_FromUnsignedLongLong(value.as_uint());
    case Value::Kind::Float:
      return PyFloat_FromDouble(value.as_float());
    case Value::Kind::Str: {
      const std::string& text = value.as_str();
      return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    }
    case Value::Kind::Bin: {
      const zq::Bytes& bytes = value.as_bin();
      return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<Py_ssize_t>(bytes.size()));
    }
    case Value::Kind::Array:
      return array_to_list(value.as_array());
    case Value::Kind::Map:
      return pairs_to_dict(value.as_map());
    case Value::Kind::Timestamp:
      PyErr_SetString(PyExc_NotImplementedError, "datetime/Timestamp payload not yet supported by zqpyobjects");
      return nullptr;
    case Value::Kind::Ext:
      PyErr_SetString(PyExc_NotImplementedError, "msgpack ExtType payload not yet supported by zqpyobjects");
      return nullptr;
  }
  return raise_internal_fault("unknown Value kind");
}

PyObject* array_to_list(const Value::Array& items) {
  PyRef list(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* item = new_object(items[i]);
    if (!item) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

}  // namespace

bool object_to_value(PyObject* obj, std::size_t depth, Value& out) {
  if (depth > kMaxBridgeDepth) return raise_recursion_limit();
  Scalar scalar;
  Read read = read_exact_scalar(obj, scalar);
  if (read == Read::NotScalar) {
    PyTypeObject* type = Py_TYPE(obj);
    if (type == &PyList_Type) return list_to_value(obj, depth, out);
    if (type == &PyDict_Type) return dict_to_value(obj, depth, out);
    if (type == &PyTuple_Type) return tuple_to_value(obj, depth, out);
    read = read_scalar_subclass(obj, scalar);
  }
  if (read == Read::Done) {
    out = scalar;
    return true;
  }
  if (read == Read::Failed) return false;
  if (PyList_Check(obj)) return list_to_value(obj, depth, out);
  if (PyTuple_Check(obj)) return tuple_to_value(obj, depth, out);
  if (PyDict_Check(obj)) return dict_to_value(obj, depth, out);
  return unsupported_type(obj);
}

PyObject* value_to_object(const Value& value) { return new_object(value); }

bool dict_to_pairs(PyObject* dict, Value::Map& out) { return dict_entries(dict, 0, out); }

PyObject* pairs_to_dict(const Value::Map& pairs) {
  PyRef dict(PyDict_New());
  if (!dict) return nullptr;
  for (const zq::ValuePair& pair : pairs) {
    PyRef key(new_object(pair.key));
    if (!key) return nullptr;
    PyRef item(new_object(pair.value));
    if (!item || PyDict_SetItem(dict.get(), key.get(), item.get()) < 0) return nullptr;
  }
  return dict.release();
}

}  // namespace zqpy
