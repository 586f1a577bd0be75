// Core wire errors, downcast errors, argument notes and the internal fault.
#include "frame/errors.h"

#include "frame/cached.h"
#include "frame/pyref.h"

namespace zqpy {

PyObject* core_error_to_value_error(const zq::WireError& error) {
  switch (error.kind) {
    case zq::WireErrorKind::Truncated:
      PyErr_SetString(PyExc_ValueError, "truncated wire buffer");
      break;
    case zq::WireErrorKind::TooLarge:
      PyErr_SetString(PyExc_ValueError, "value too large for wire encoding");
      break;
    case zq::WireErrorKind::Invalid:
      PyErr_Format(PyExc_ValueError, "invalid wire data: %s", error.message);
      break;
  }
  return nullptr;
}

PyObject* raise_downcast_error(PyObject* obj, const char* expected) {
  if (obj == Py_None) {
    PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", expected);
    return nullptr;
  }
  PyRef name(PyType_GetQualName(Py_TYPE(obj)));
  if (!name) return nullptr;
  PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", name.get(), expected);
  return nullptr;
}

PyObject* raise_downcast_error(PyObject* obj, PyTypeObject* expected) {
  PyRef name(PyType_GetQualName(expected));
  if (!name) return nullptr;
  const char* text = PyUnicode_AsUTF8AndSize(name.get(), nullptr);
  return text ? raise_downcast_error(obj, text) : nullptr;
}

void add_argument_note(const char* name) {
  PyRef exc(PyErr_GetRaisedException());
  if (!exc) return;
  PyObject* add_note = cached::add_note_name();
  PyRef note(add_note ? PyUnicode_FromFormat("while processing '%s'", name) : nullptr);
  if (note) {
    // The leading slot is the scratch space PY_VECTORCALL_ARGUMENTS_OFFSET lets the callee use.
    PyObject* args[] = {nullptr, exc.get(), note.get()};
    PyRef result(PyObject_VectorcallMethod(add_note, args + 1, 2 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
  }
  PyErr_Clear();
  PyErr_SetRaisedException(exc.release());
}

bool drop_ordinary_error() {
  if (!PyErr_ExceptionMatches(PyExc_Exception) || PyErr_ExceptionMatches(PyExc_MemoryError)) return false;
  PyErr_Clear();
  return true;
}

PyObject* raise_internal_fault(const char* message) {
  PySys_WriteStderr("duvevodavid._zqobjects: internal fault: %.900s\n", message);
  PyObject* type = cached::internal_fault_type();
  if (type) PyErr_SetString(type, message);
  return nullptr;
}

}  // namespace zqpy
