// Text taken from Python objects without failing on what UTF-8 cannot carry: the lossy UTF-8
// of a str, and str() of an object with a placeholder when it raises.
#pragma once

#include <string_view>

#include "frame/pyref.h"
#include "frame/python.h"

namespace zqpy {

// The UTF-8 text of `text`, a str or subclass, read as it is (no __str__ call). A lone
// surrogate becomes three U+FFFD, as lossy decoding of its surrogate-pass bytes gives. The view
// points into `text` or into `owner`, which keeps the repaired copy. False with an exception set.
bool lossy_utf8(PyObject* text, std::string_view& out, PyRef& owner);

// str(obj). When that raises, the exception goes to the interpreter's unraisable hook and
// "<unprintable {type name} object>" stands in. Null only when even the placeholder fails.
PyRef str_or_unprintable(PyObject* obj);

}  // namespace zqpy
