// Type objects of the module's classes: heap types built from a PyType_Spec on first need and
// kept for the life of the process.
#pragma once

#include "frame/python.h"

namespace zqpy {

// The type stored in `slot`, built from `spec` when `slot` is still empty. Borrowed; nullptr
// with an exception set when building fails.
inline PyTypeObject* process_type(PyTypeObject*& slot, PyType_Spec& spec) {
  if (!slot) slot = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
  return slot;
}

}  // namespace zqpy
