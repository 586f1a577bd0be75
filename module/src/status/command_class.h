// The CommandObject class: a status value (bool, int, str or bytes) with its success rule, its
// text form, comparison by value and the status-registry test. The conversion from a Python
// value is shared with the responses, which take commands by the same rule.
#pragma once

#include "frame/instance.h"
#include "frame/python.h"
#include "status/command.h"

namespace zqpy {

struct CommandObjectObject : Instance<zq::CommandObject> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

// A bool, an int (0..2^64-1, through __index__), a str (the lossy UTF-8 of str(value); when
// that raises, the unraisable hook gets the error and a placeholder text stands in) or bytes.
// False with an exception set: TypeError "Command must be str, int, bool or bytes" for any
// other type, the interpreter's OverflowError for an int out of range.
bool command_from_object(PyObject* value, zq::CommandObject& out);

// The command as a new Python bool, int, str or bytes; nullptr with an exception set.
PyObject* command_to_object(const zq::CommandObject& command);

}  // namespace zqpy
