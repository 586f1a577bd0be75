// _core_tables(): every canonical table of the core in one new dict.
#pragma once

#include "frame/python.h"

namespace zqpy {

// The module-level function's definition (no-argument convention), bound to the module when
// the execution step adds it.
PyMethodDef* core_tables_def();

}  // namespace zqpy
