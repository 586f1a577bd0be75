// Argument shape: positional count first, then each keyword in the order given, then the
// required parameters left unfilled.
#include "frame/unpack.h"

#include <string>

namespace zqpy {
namespace {

std::string full_name(const ParamsView& view) {
  return std::string(view.class_name) + "." + view.callable_name + "()";
}

bool raise_too_many_positional(const ParamsView& view, Py_ssize_t given) {
  const char* verb = given == 1 ? "was" : "were";
  if (view.required == view.count) {
    PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given",
                 full_name(view).c_str(), view.count, given, verb);
  } else {
    PyErr_Format(PyExc_TypeError, "%s takes from %zu to %zu positional arguments but %zd %s given",
                 full_name(view).c_str(), view.required, view.count, given, verb);
  }
  return false;
}

// The parameter a keyword names: interned names match by identity, others by their text.
Py_ssize_t find_parameter(const ParamsView& view, PyObject* const* names, PyObject* key) {
  for (std::size_t i = 0; i < view.count; ++i) {
    if (names[i] == key) return static_cast<Py_ssize_t>(i);
  }
  for (std::size_t i = 0; i < view.count; ++i) {
    if (PyUnicode_Compare(key, names[i]) == 0) return static_cast<Py_ssize_t>(i);
  }
  if (PyErr_Occurred()) PyErr_Clear();  // a key that is no str names no parameter
  return -1;
}

bool place_keyword(const ParamsView& view, PyObject* const* names, Py_ssize_t nargs, PyObject* key,
                   PyObject* value, PyObject** out) {
  Py_ssize_t index = find_parameter(view, names, key);
  if (index < 0) {
    PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", full_name(view).c_str(), key);
    return false;
  }
  if (index < nargs) {
    PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", full_name(view).c_str(),
                 view.names[index]);
    return false;
  }
  out[index] = value;
  return true;
}

bool check_required(const ParamsView& view, PyObject* const* out) {
  std::size_t missing = 0;
  for (std::size_t i = 0; i < view.required; ++i) missing += out[i] == nullptr;
  if (missing == 0) return true;
  std::string message = full_name(view) + " missing " + std::to_string(missing) + " required positional " +
                        (missing == 1 ? "argument: " : "arguments: ");
  std::size_t listed = 0;
  for (std::size_t i = 0; i < view.required; ++i) {
    if (out[i] != nullptr) continue;
    if (listed > 0) {
      if (missing > 2) message += ",";
      message += listed + 1 == missing ? " and " : " ";
    }
    message += "'";
    message += view.names[i];
    message += "'";
    ++listed;
  }
  PyErr_SetString(PyExc_TypeError, message.c_str());
  return false;
}

}  // namespace

PyObject* const* intern_names(const ParamsView& view, PyObject** slots) {
  for (std::size_t i = 0; i < view.count; ++i) {
    if (slots[i]) continue;
    slots[i] = PyUnicode_InternFromString(view.names[i]);
    if (!slots[i]) return nullptr;
  }
  return slots;
}

bool unpack_fastcall(const ParamsView& view, PyObject* const* names, PyObject* const* args,
                     Py_ssize_t nargs, PyObject* kwnames, PyObject** out) {
  if (static_cast<std::size_t>(nargs) > view.count) return raise_too_many_positional(view, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
  for (std::size_t i = static_cast<std::size_t>(nargs); i < view.count; ++i) out[i] = nullptr;
  if (kwnames) {
    Py_ssize_t nkw = PyTuple_Size(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
      if (!place_keyword(view, names, nargs, PyTuple_GetItem(kwnames, k), args[nargs + k], out)) return false;
    }
  }
  return check_required(view, out);
}

bool unpack_tuple_dict(const ParamsView& view, PyObject* const* names, PyObject* args, PyObject* kwargs,
                       PyObject** out) {
  Py_ssize_t nargs = PyTuple_Size(args);
  if (nargs < 0) return false;
  if (static_cast<std::size_t>(nargs) > view.count) return raise_too_many_positional(view, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = PyTuple_GetItem(args, i);
  for (std::size_t i = static_cast<std::size_t>(nargs); i < view.count; ++i) out[i] = nullptr;
  if (kwargs) {
    Py_ssize_t pos = 0;
    PyObject* key;
    PyObject* value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      if (!place_keyword(view, names, nargs, key, value, out)) return false;
    }
  }
  return check_required(view, out);
}

}  // namespace zqpy
