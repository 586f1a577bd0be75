// How failures leave the module: core wire errors, wrong argument types, the argument note,
// and the internal fault that stands for any C++ exception escaping a call.
#pragma once

#include <cxxabi.h>

#include <exception>
#include <new>
#include <type_traits>

#include "common/result.h"
#include "frame/python.h"

namespace zqpy {

// Raises ValueError for a core wire error. Returns nullptr, for `return core_error_to_value_error(e);`.
PyObject* core_error_to_value_error(const zq::WireError& error);

// Raises TypeError "'{type}' object is not an instance of '{expected}'" (for None:
// "'None' is not an instance of '{expected}'"), with qualified names. Returns nullptr.
PyObject* raise_downcast_error(PyObject* obj, const char* expected);
PyObject* raise_downcast_error(PyObject* obj, PyTypeObject* expected);

// Adds "while processing '{name}'" as a note to the exception being raised. A failure to add the
// note is discarded and the original exception stays raised.
void add_argument_note(const char* name);

// For fallbacks that drop a failed attempt: clears the exception being raised and returns true
// when it is an ordinary failure, an Exception other than MemoryError; leaves any other raised
// (KeyboardInterrupt, SystemExit, MemoryError, the internal fault) and returns false.
bool drop_ordinary_error();

// Raises the module's internal-fault exception (derived directly from BaseException) and writes
// the message to standard error. Returns nullptr.
PyObject* raise_internal_fault(const char* message);

// Runs the C++ side of one call from Python. A std::bad_alloc becomes MemoryError and any other
// C++ exception the internal fault; the call then returns nullptr (or -1 for int results).
// The forced unwind that ends a thread (a daemon thread asking for the interpreter lock while
// the interpreter finalizes) is no error of the call: it passes on untouched, and the thread
// holds no lock then, so nothing here may touch the interpreter. That unwind carries no
// exception object, so its handler binds a null reference, which the undefined-behaviour
// sanitizer must not report.
template <class F>
__attribute__((no_sanitize("null"))) auto guarded(F&& body) -> decltype(body()) {
  using R = decltype(body());
  static_assert(std::is_pointer_v<R> || std::is_same_v<R, int>);
  try {
    return body();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    raise_internal_fault(e.what());
  } catch (...) {
    raise_internal_fault("unknown C++ exception");
  }
  if constexpr (std::is_pointer_v<R>) {
    return nullptr;
  } else {
    return -1;
  }
}

}  // namespace zqpy
