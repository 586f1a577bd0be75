// The one argument unpacker: matches positional and keyword arguments to a description's
// parameters and raises the TypeErrors of a wrong argument shape.
#pragma once

#include "frame/params.h"
#include "frame/python.h"

namespace zqpy {

// The description's parameter names as interned strings, made on first use; nullptr with an
// exception set when interning fails. `slots` has room for view.count names.
PyObject* const* intern_names(const ParamsView& view, PyObject** slots);

// Fast-call convention: `args` holds nargs positional values followed by one value per name in
// `kwnames` (a tuple, or nullptr). Fills out[0..count) with borrowed values, nullptr for a
// parameter not given. Returns false with TypeError set when the shape is wrong. `names` (the
// interned parameter names) is read only when there are keywords, and may be null without.
bool unpack_fastcall(const ParamsView& view, PyObject* const* names, PyObject* const* args,
                     Py_ssize_t nargs, PyObject* kwnames, PyObject** out);

// The same for the tuple-and-dict convention of __new__ (`kwargs` may be nullptr).
bool unpack_tuple_dict(const ParamsView& view, PyObject* const* names, PyObject* args,
                       PyObject* kwargs, PyObject** out);

}  // namespace zqpy
