// Opening iterators, and the length hint used to presize collected iterables.
#include "frame/collect.h"

#include <algorithm>

#include "frame/cached.h"

namespace zqpy {

PyRef open_iterator(PyObject* obj) {
  PyRef iterator(PyObject_GetIter(obj));
  if (iterator && PyErr_Occurred()) iterator.reset();
  return iterator;
}

std::size_t length_hint_of(PyObject* iterator) {
  PyObject* length_hint = cached::length_hint();
  PyRef zero(length_hint ? PyLong_FromLong(0) : nullptr);
  PyRef hint;
  if (zero) {
    PyObject* args[] = {iterator, zero.get()};
    hint = PyRef(PyObject_Vectorcall(length_hint, args, 2, nullptr));
  }
  Py_ssize_t value = hint ? PyLong_AsSsize_t(hint.get()) : -1;
  if (value < 0 && PyErr_Occurred()) {
    PyErr_WriteUnraisable(length_hint ? length_hint : iterator);
    return 0;
  }
  return std::min(static_cast<std::size_t>(std::max<Py_ssize_t>(value, 0)), kMaxPresize);
}

}  // namespace zqpy
