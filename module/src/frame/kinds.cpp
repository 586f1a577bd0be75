// The parameter kinds' conversions and their errors.
#include "frame/kinds.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "frame/cached.h"
#include "frame/collect.h"
#include "frame/pyref.h"

namespace zqpy::kinds {
namespace {

// An integer in 0..the largest T; OverflowError outside it.
template <class T>
bool bounded_unsigned(PyObject* obj, T& out) {
  long long value = PyLong_AsLongLong(obj);
  if (value == -1 && PyErr_Occurred()) return false;
  if (value < 0 || value > std::numeric_limits<T>::max()) {
    PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
    return false;
  }
  out = static_cast<T>(value);
  return true;
}

zq::Bytes copy_of(const char* data, Py_ssize_t size) {
  zq::Bytes bytes;
  bytes.resize(static_cast<std::size_t>(size));
  if (size > 0) std::memcpy(bytes.data(), data, static_cast<std::size_t>(size));
  return bytes;
}

bool text_equals(PyObject* text, const char* expected) {
  return text && PyUnicode_Check(text) && PyUnicode_CompareWithASCIIString(text, expected) == 0;
}

// A NumPy boolean scalar: a type named bool_ or bool in module numpy.
bool is_numpy_bool(PyObject* obj) {
  PyTypeObject* type = Py_TYPE(obj);
  PyRef name(PyType_GetName(type));
  if (!text_equals(name.get(), "bool_") && !text_equals(name.get(), "bool")) {
    PyErr_Clear();
    return false;
  }
  PyRef module(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__"));
  bool numpy = text_equals(module.get(), "numpy");
  PyErr_Clear();
  return numpy;
}

// Checks that `obj` is a Sequence other than str and opens an iterator over it. `presize` is
// its len() (capped), or 0 when len() fails with an ordinary error, which is discarded; other
// errors (KeyboardInterrupt, MemoryError, ...) end the conversion.
bool open_sequence(PyObject* obj, PyRef& iterator, std::size_t& presize) {
  if (PyUnicode_Check(obj)) {
    PyErr_SetString(PyExc_TypeError, "a string cannot be taken as a sequence of items");
    return false;
  }
  if (!PyList_Check(obj) && !PyTuple_Check(obj)) {
    PyObject* sequence = cached::sequence_type();
    if (!sequence) return false;
    int is_sequence = PyObject_IsInstance(obj, sequence);
    if (is_sequence < 0) return false;
    if (!is_sequence) {
      raise_downcast_error(obj, "Sequence");
      return false;
    }
  }
  Py_ssize_t length = PyObject_Size(obj);
  if (length < 0) {
    if (!drop_ordinary_error()) return false;
    length = 0;
  }
  presize = std::min(static_cast<std::size_t>(length), kMaxPresize);
  iterator = open_iterator(obj);
  return static_cast<bool>(iterator);
}

// Replaces `out` with the items of a Sequence other than str, each converted by `Item`; stops
// at the first item that fails.
template <class Item, class Out>
bool convert_items(PyObject* obj, Out& out) {
  PyRef iterator;
  std::size_t presize = 0;
  if (!open_sequence(obj, iterator, presize)) return false;
  out.clear();
  out.reserve(presize);
  while (PyRef item{PyIter_Next(iterator.get())}) {
    typename Item::type value{};
    if (!Item::convert(item.get(), value)) return false;
    out.push_back(typename Out::value_type(value));
  }
  return !PyErr_Occurred();
}

}  // namespace

bool Text::convert(PyObject* obj, type& out) {
  if (!PyUnicode_Check(obj)) {
    raise_downcast_error(obj, "str");
    return false;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(obj, &size);
  if (!data) return false;
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

bool U8::convert(PyObject* obj, type& out) { return bounded_unsigned(obj, out); }

bool U16::convert(PyObject* obj, type& out) { return bounded_unsigned(obj, out); }

bool U64::convert(PyObject* obj, type& out) {
  unsigned long long value;
  if (PyLong_Check(obj)) {
    value = PyLong_AsUnsignedLongLong(obj);
  } else {
    PyRef index(PyNumber_Index(obj));
    if (!index) return false;
    value = PyLong_AsUnsignedLongLong(index.get());
  }
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
  out = value;
  return true;
}

bool I64::convert(PyObject* obj, type& out) {
  long long value = PyLong_AsLongLong(obj);
  if (value == -1 && PyErr_Occurred()) return false;
  out = value;
  return true;
}

bool Boolean::convert(PyObject* obj, type& out) {
  if (obj == Py_True || obj == Py_False) {
    out = obj == Py_True;
    return true;
  }
  if (!is_numpy_bool(obj)) {
    raise_downcast_error(obj, "bool");
    return false;
  }
  int truth = PyObject_IsTrue(obj);
  if (truth < 0) return false;
  out = truth != 0;
  return true;
}

bool BytesOnly::convert(PyObject* obj, type& out) {
  if (!PyBytes_Check(obj)) {
    raise_downcast_error(obj, "bytes");
    return false;
  }
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(obj, &data, &size) < 0) return false;
  out = zq::ByteView(reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size));
  return true;
}

bool BytesLike::convert(PyObject* obj, type& out) {
  if (PyBytes_Check(obj)) {
    out = copy_of(PyBytes_AsString(obj), PyBytes_Size(obj));
    return true;
  }
  if (PyByteArray_Check(obj)) {
    out = copy_of(PyByteArray_AsString(obj), PyByteArray_Size(obj));
    return true;
  }
  return convert_items<U8>(obj, out);
}

bool TextSequence::convert(PyObject* obj, type& out) { return convert_items<Text>(obj, out); }

bool Dict::convert(PyObject* obj, type& out) {
  if (!PyDict_Check(obj)) {
    raise_downcast_error(obj, "dict");
    return false;
  }
  out = obj;
  return true;
}

bool Compression::convert(PyObject* obj, type& out) {
  if (!PyTuple_Check(obj)) {
    raise_downcast_error(obj, "tuple");
    return false;
  }
  Py_ssize_t length = PyTuple_Size(obj);
  if (length != 4) {
    PyErr_Format(PyExc_ValueError, "expected tuple of length 4, but got tuple of length %zd", length);
    return false;
  }
  std::uint8_t* fields[] = {&out.compressed, &out.pretrained_map, &out.algorithm, &out.level};
  for (Py_ssize_t i = 0; i < 4; ++i) {
    if (!U8::convert(PyTuple_GetItem(obj, i), *fields[i])) return false;
  }
  return true;
}

}  // namespace zqpy::kinds
