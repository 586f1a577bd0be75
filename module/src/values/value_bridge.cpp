// Python objects to Values and back, without intermediate Python objects: exact built-in types
// take a direct path, subclasses and other objects the ordered, general one.
#include "values/value_bridge.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string_view>

#include "frame/dict_from_pairs.h"
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

// The conversions below write into `slot`, a Nil, and build owning kinds in place, so that
// every item is made once, in its final place. `ran_python` becomes true once Python code has
// run during the conversion (only that can change the containers being read).
bool convert(PyObject* obj, std::size_t depth, Value& slot, bool& ran_python);

// A scalar is built straight over its slot: a Nil needs no destruction, and a move assignment
// would test both kinds first.
template <class Make>
[[gnu::always_inline]] inline void build(Value& slot, Make make) {
  ::new (static_cast<void*>(&slot)) Value(make());
}

enum class Read { Done, Failed, NotScalar };

// The rest of read_int: an int outside the signed range, or an error.
[[gnu::noinline]] Read read_int_rest(PyObject* obj, int overflow, Value& slot) {
  if (overflow == 0) {  // -1, or an error
    if (PyErr_Occurred()) return Read::Failed;
    build(slot, [] { return Value::integer(-1); });
    return Read::Done;
  }
  if (overflow < 0) return raise_int_range(), Read::Failed;
  const unsigned long long unsigned_value = PyLong_AsUnsignedLongLong(obj);
  if (unsigned_value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return Read::Failed;
    PyErr_Clear();
    return raise_int_range(), Read::Failed;
  }
  build(slot, [&] { return Value::uinteger(unsigned_value); });
  return Read::Done;
}

// int and subclasses, read without calling Python code. The common case (a signed 64-bit
// value other than -1, which needs an error check) is inlined into the container loops.
[[gnu::always_inline]] inline Read read_int(PyObject* obj, Value& slot) {
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(obj, &overflow);
  if (overflow != 0 || value == -1) return read_int_rest(obj, overflow, slot);
  build(slot, [&] { return Value::integer(value); });
  return Read::Done;
}

// The text of a str as it is stored, lossy where UTF-8 cannot carry it (lone surrogates).
// Inlined into the container loops, as texts are the most common items after numbers.
[[gnu::always_inline]] inline Read read_text(PyObject* text, Value& slot) {
  std::string_view utf8;
  PyRef repaired;
  if (!lossy_utf8(text, utf8, repaired)) return Read::Failed;
  slot.emplace<Value::Kind::Str>(utf8.data(), utf8.size());
  return Read::Done;
}

Read read_bytes(const char* data, Py_ssize_t size, Value& slot) {
  slot.emplace<Value::Kind::Bin>(reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size));
  return Read::Done;
}

// Exact scalar types. Reading them runs no Python code, so such an item needs no reference of
// its own and cannot change the container it sits in.
[[gnu::always_inline]] inline Read read_exact_scalar(PyObject* obj, Value& slot) {
  PyTypeObject* type = Py_TYPE(obj);
  if (type == &PyLong_Type) return read_int(obj, slot);
  if (type == &PyUnicode_Type) return read_text(obj, slot);
  if (type == &PyFloat_Type) {
    build(slot, [&] { return Value::floating(PyFloat_AsDouble(obj)); });
    return Read::Done;
  }
  if (obj == Py_None) return Read::Done;  // the slot is a Nil already
  if (type == &PyBool_Type) {
    build(slot, [&] { return Value::boolean(obj == Py_True); });
    return Read::Done;
  }
  if (type == &PyBytes_Type) return read_bytes(PyBytes_AsString(obj), PyBytes_Size(obj), slot);
  return Read::NotScalar;
}

// A str subclass reads through str(obj), which runs Python code: the one step of a conversion
// that does, so it alone sets `ran_python`. A str() that raises gives the placeholder text.
Read read_str_subclass(PyObject* obj, Value& slot, bool& ran_python) {
  ran_python = true;
  PyRef text = str_or_unprintable(obj);
  if (!text) return Read::Failed;
  return read_text(text.get(), slot);
}

// Subclasses of the scalar types, in the documented order of tests (exact None and bool were
// already taken by read_exact_scalar).
Read read_scalar_subclass(PyObject* obj, Value& slot, bool& ran_python) {
  if (PyLong_Check(obj)) return read_int(obj, slot);
  if (PyFloat_Check(obj)) {
    build(slot, [&] { return Value::floating(PyFloat_AsDouble(obj)); });
    return Read::Done;
  }
  if (PyUnicode_Check(obj)) return read_str_subclass(obj, slot, ran_python);
  if (PyBytes_Check(obj)) return read_bytes(PyBytes_AsString(obj), PyBytes_Size(obj), slot);
  if (PyByteArray_Check(obj)) return read_bytes(PyByteArray_AsString(obj), PyByteArray_Size(obj), slot);
  return Read::NotScalar;
}

// The conversion of an object that read_exact_scalar did not take.
bool convert_other(PyObject* obj, std::size_t depth, Value& slot, bool& ran_python);

// One item of a container, at `depth`. An exact scalar is read in place; any other item may
// hold a str subclass whose __str__ removes the item from its container, so it is converted
// holding a reference of its own.
[[gnu::always_inline]] inline bool item_to_value(PyObject* item, std::size_t depth, Value& slot, bool& ran_python) {
  if (const Read read = read_exact_scalar(item, slot); read != Read::NotScalar) return read == Read::Done;
  PyRef held = PyRef::borrowed(item);
  const bool ok = convert_other(item, depth, slot, ran_python);
  held.reset();
  return ok;
}

// Items sit one level deeper than their container; a non-empty container at the deepest level
// fails on its first item.
bool items_within_depth(Py_ssize_t length, std::size_t depth) {
  return length == 0 || depth + 1 <= kMaxBridgeDepth || raise_recursion_limit();
}

// Items are read by index while the index is below both the length at the start and the
// current length: a list shortened meanwhile ends the loop, items appended are not seen. The
// length can only change once Python code has run, so only then is it read again. The array is
// sized for the length at the start and cut to the items read.
bool list_to_value(PyObject* list, std::size_t depth, Value& slot, bool& ran_python) {
  Py_ssize_t limit = PyList_Size(list);
  if (!items_within_depth(limit, depth)) return false;
  slot.emplace<Value::Kind::Array>(static_cast<std::size_t>(limit));
  Value::Array& items = slot.as_array();
  Value* const slots = items.data();  // read once: the array is not resized until the end
  Py_ssize_t i = 0;
  for (; i < limit; ++i) {
    if (!item_to_value(PyList_GetItem(list, i), depth + 1, slots[i], ran_python)) return false;
    if (ran_python) limit = std::min(limit, PyList_Size(list));
  }
  if (static_cast<std::size_t>(i) != items.size()) items.resize(static_cast<std::size_t>(i));
  return true;
}

bool tuple_to_value(PyObject* tuple, std::size_t depth, Value& slot, bool& ran_python) {
  const Py_ssize_t length = PyTuple_Size(tuple);
  if (!items_within_depth(length, depth)) return false;
  slot.emplace<Value::Kind::Array>(static_cast<std::size_t>(length));
  Value* const slots = slot.as_array().data();
  for (Py_ssize_t i = 0; i < length; ++i) {
    if (!item_to_value(PyTuple_GetItem(tuple, i), depth + 1, slots[i], ran_python)) return false;
  }
  return true;
}

// A dict entry whose key is no exact scalar, key first. The value is held while the key
// converts, since a key's __str__ can replace it in the dict. Out of line, to keep the common
// entry small.
[[gnu::noinline]] bool other_key_entry_to_pair(PyObject* key, PyObject* value, std::size_t depth, zq::ValuePair& pair,
                                               bool& ran_python) {
  PyRef held_value = PyRef::borrowed(value);
  PyRef held_key = PyRef::borrowed(key);
  bool ok = convert_other(key, depth, pair.key, ran_python);
  held_key.reset();
  ok = ok && convert(value, depth, pair.value, ran_python);
  held_value.reset();
  return ok;
}

// One dict entry at `depth`, key first.
bool entry_to_pair(PyObject* key, PyObject* value, std::size_t depth, zq::ValuePair& pair, bool& ran_python) {
  switch (read_exact_scalar(key, pair.key)) {
    case Read::Done:
      return item_to_value(value, depth, pair.value, ran_python);
    case Read::Failed:
      return false;
    case Read::NotScalar:
      break;
  }
  return other_key_entry_to_pair(key, value, depth, pair, ran_python);
}

// The interpreter's own dict iteration (a subclass's overrides are not called), with its two
// checks: the size must not change, and no more entries may come than there were at the start.
// Only Python code can change the dict, so the size is read again only once some has run.
// `pairs` is sized for the entries at the start and cut to the entries read.
bool dict_entries(PyObject* dict, std::size_t item_depth, Value::Map& pairs, bool& ran_python) {
  const Py_ssize_t size = PyDict_Size(dict);
  if (size != 0 && item_depth > kMaxBridgeDepth) return raise_recursion_limit();
  pairs.resize(static_cast<std::size_t>(size));
  Py_ssize_t position = 0;
  Py_ssize_t seen = 0;
  PyObject* key;
  PyObject* value;
  while (PyDict_Next(dict, &position, &key, &value)) {
    if (seen == size) {
      PyErr_SetString(PyExc_RuntimeError, "dictionary keys changed during iteration");
      return false;
    }
    if (!entry_to_pair(key, value, item_depth, pairs[static_cast<std::size_t>(seen++)], ran_python)) return false;
    if (ran_python && PyDict_Size(dict) != size) {
      PyErr_SetString(PyExc_RuntimeError, "dictionary changed size during iteration");
      return false;
    }
  }
  if (seen != size) pairs.resize(static_cast<std::size_t>(seen));
  return true;
}

bool dict_to_value(PyObject* dict, std::size_t depth, Value& slot, bool& ran_python) {
  slot.emplace<Value::Kind::Map>();
  return dict_entries(dict, depth + 1, slot.as_map(), ran_python);
}

bool unsupported_type(PyObject* obj) {
  PyRef name(PyType_GetName(Py_TYPE(obj)));
  if (name) PyErr_Format(PyExc_TypeError, "unsupported type for ZQ serialization: %U", name.get());
  return false;
}

bool convert_other(PyObject* obj, std::size_t depth, Value& slot, bool& ran_python) {
  if (depth > kMaxBridgeDepth) return raise_recursion_limit();
  PyTypeObject* type = Py_TYPE(obj);
  if (type == &PyList_Type) return list_to_value(obj, depth, slot, ran_python);
  if (type == &PyDict_Type) return dict_to_value(obj, depth, slot, ran_python);
  if (type == &PyTuple_Type) return tuple_to_value(obj, depth, slot, ran_python);
  if (const Read read = read_scalar_subclass(obj, slot, ran_python); read != Read::NotScalar) return read == Read::Done;
  if (PyList_Check(obj)) return list_to_value(obj, depth, slot, ran_python);
  if (PyTuple_Check(obj)) return tuple_to_value(obj, depth, slot, ran_python);
  if (PyDict_Check(obj)) return dict_to_value(obj, depth, slot, ran_python);
  return unsupported_type(obj);
}

bool convert(PyObject* obj, std::size_t depth, Value& slot, bool& ran_python) {
  if (depth > kMaxBridgeDepth) return raise_recursion_limit();
  if (const Read read = read_exact_scalar(obj, slot); read != Read::NotScalar) return read == Read::Done;
  return convert_other(obj, depth, slot, ran_python);
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
  const auto size = static_cast<Py_ssize_t>(items.size());
  PyRef list(PyList_New(size));
  if (!list) return nullptr;
  const Value* item = items.data();  // read once: the calls below cannot change `items`
  for (Py_ssize_t i = 0; i < size; ++i, ++item) {
    PyObject* object = new_object(*item);
    if (!object) return nullptr;
    PyList_SetItem(list.get(), i, object);
  }
  return list.release();
}

}  // namespace

bool object_to_value(PyObject* obj, std::size_t depth, Value& out) {
  out = Value();
  bool ran_python = false;
  return convert(obj, depth, out, ran_python);
}

PyObject* value_to_object(const Value& value) { return new_object(value); }

bool dict_to_pairs(PyObject* dict, Value::Map& out) {
  out.clear();
  bool ran_python = false;
  return dict_entries(dict, 0, out, ran_python);
}

PyObject* pairs_to_dict(const Value::Map& pairs) {
  return dict_from_pairs(
      pairs, [](const zq::ValuePair& pair) { return new_object(pair.key); },
      [](const zq::ValuePair& pair) { return new_object(pair.value); });
}

}  // namespace zqpy
