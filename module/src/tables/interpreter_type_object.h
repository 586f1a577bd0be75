// The interpreter type of an ITP container as Python sees it: a name (str) or a code (int).
#pragma once

#include "frame/python.h"
#include "tables/interpreter_type.h"

namespace zqpy {

// A str names a standard type exactly (codes 2..71) or is kept as a custom name ("none",
// "unknown" and unknown names alike); anything else is taken as an unsigned 16-bit code,
// unchecked. Returns false with the integer conversion's exception set.
bool parse_interpreter_type(PyObject* obj, zq::InterpreterType& out);

// The code's name for standard codes 0..71, the code itself above, a custom name as it is.
PyObject* interpreter_type_to_object(const zq::InterpreterType& type);

}  // namespace zqpy
