// Query parameters of a Url as a Python dict and back: typed values become Python values, and
// Literal texts are evaluated by ast.literal_eval on each read.
#pragma once

#include <vector>

#include "frame/python.h"
#include "url/url.h"

namespace zqpy {

// A new dict of the parameters in order. A Literal reads as ast.literal_eval of its text, or as
// the text itself when the evaluation raises. nullptr with an exception set (also when
// importing ast or looking up literal_eval fails).
PyObject* params_to_dict(const zq::QueryParams& params);

// The items of `dict` (a dict or subclass) as parameters in iteration order. Keys must be str;
// values become None, Bool, Int, Float or Str, an int beyond 64 bits its decimal Literal, and
// anything else the Literal of its repr(). False with an exception set; `out` is then partial.
bool dict_to_params(PyObject* dict, zq::QueryParams& out);

}  // namespace zqpy
