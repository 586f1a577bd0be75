// Text taken from Python objects without failing on what UTF-8 cannot carry: the lossy UTF-8
// of a str, and str() of an object with a placeholder when it raises.
#pragma once

#include <cstddef>
#include <string_view>

#include "frame/pyref.h"
#include "frame/python.h"

namespace zqpy {

// The text of a str whose UTF-8 form failed (a lone surrogate): clears that UnicodeEncodeError
// and repairs it as lossy_utf8 describes. False with an exception set, the original one when it
// was another.
bool repaired_utf8(PyObject* text, std::string_view& out, PyRef& owner);

// The UTF-8 text of `text`, a str or subclass, read as it is (no __str__ call). A lone
// surrogate becomes three U+FFFD, as lossy decoding of its surrogate-pass bytes gives. The view
// points into `text` or into `owner`, which keeps the repaired copy. False with an exception set.
// Inline, so that the common case costs one call into the interpreter.
inline bool lossy_utf8(PyObject* text, std::string_view& out, PyRef& owner) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text, &size);
  if (data == nullptr) return repaired_utf8(text, out, owner);
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

// str(obj). When that raises, the exception goes to the interpreter's unraisable hook and
// "<unprintable {type name} object>" stands in. Null only when even the placeholder fails.
PyRef str_or_unprintable(PyObject* obj);

}  // namespace zqpy
