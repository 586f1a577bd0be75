// The bridge between Python objects and the core's Value: payloads and cookies go through it in
// both directions. Its errors carry no argument note; they are raised inside method bodies.
#pragma once

#include <cstddef>

#include "frame/python.h"
#include "serialization/value.h"

namespace zqpy {

// The deepest nesting a converted object may sit at (0 is the argument itself).
inline constexpr std::size_t kMaxBridgeDepth = 512;

// Converts `obj`, found at nesting `depth`, into `out`. Returns false with a Python exception
// set (ValueError "recursion limit exceeded", OverflowError "int exceeds 64-bit msgpack range",
// TypeError "unsupported type for ZQ serialization: {}", the two dict-iteration RuntimeErrors,
// or whatever Python code run by the conversion raised); `out` is then unchanged.
bool object_to_value(PyObject* obj, std::size_t depth, zq::Value& out);

// A new Python object for `value`, or nullptr with an exception set (NotImplementedError for
// Timestamp and Ext values, TypeError for an unhashable map key).
PyObject* value_to_object(zq::ValueView value);
inline PyObject* value_to_object(const zq::Value& value) { return value_to_object(value.view()); }

// The entries of `dict` (a dict or subclass) as the pairs of a Map in iteration order, keys and
// values converted at depth 0. Returns false with an exception set; `out` is then unchanged.
bool dict_to_pairs(PyObject* dict, zq::Value& out);

// A new dict holding the pairs of `pairs`, a Map, in order: a later equal key replaces the value
// and keeps the first position. nullptr with an exception set.
PyObject* pairs_to_dict(const zq::Value& pairs);

}  // namespace zqpy
