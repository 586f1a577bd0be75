// An owning reference to a Python object, released when it goes out of scope.
#pragma once

#include <utility>

#include "frame/python.h"

namespace zqpy {

class PyRef {
 public:
  PyRef() = default;
  // Takes over a new reference (which may be null after a failed call).
  explicit PyRef(PyObject* owned) : p_(owned) {}
  PyRef(PyRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  PyRef& operator=(PyRef&& other) noexcept(false) {
    PyRef old(std::exchange(p_, std::exchange(other.p_, nullptr)));
    return *this;
  }
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  // Once the interpreter is finalizing, the reference is left unreleased: the destructor may
  // then run in a daemon thread that the interpreter is ending by a forced unwind, without the
  // interpreter lock (finalization clears the initialized state before it ends such threads).
  // Releasing can run Python code (a finalizer) that the interpreter ends by that unwind, which
  // must then pass on: neither the destructor nor the assignment that releases is noexcept.
  ~PyRef() noexcept(false) {
    if (p_ && Py_IsInitialized()) Py_DECREF(p_);
  }

  static PyRef borrowed(PyObject* o) {
    Py_XINCREF(o);
    return PyRef(o);
  }

  // Releases now. For code that holds the interpreter lock for certain, having come back from
  // every call it made: it skips the destructor's check of the interpreter's state.
  void reset() { Py_XDECREF(std::exchange(p_, nullptr)); }

  PyObject* get() const { return p_; }
  PyObject* release() { return std::exchange(p_, nullptr); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  PyObject* p_ = nullptr;
};

}  // namespace zqpy
