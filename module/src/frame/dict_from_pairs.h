// New dicts from sequences of pairs, shared by the converters that turn core records into dicts.
#pragma once

#include "frame/pyref.h"
#include "frame/python.h"

namespace zqpy {

// A new dict with each pair's `key_of(pair)` mapped to its `value_of(pair)` (both new
// references, null after a failure), inserted in order: a later equal key replaces the value
// and keeps the first position. nullptr with an exception set.
template <class Pairs, class KeyOf, class ValueOf>
PyObject* dict_from_pairs(const Pairs& pairs, KeyOf key_of, ValueOf value_of) {
  PyRef dict(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& pair : pairs) {
    PyRef key(key_of(pair));
    if (!key) return nullptr;
    PyRef value(value_of(pair));
    if (!value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
    // Every call has returned: released at once, without the destructor's check.
    value.reset();
    key.reset();
  }
  return dict.release();
}

}  // namespace zqpy
