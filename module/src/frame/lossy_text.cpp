// Lossy UTF-8 of str objects and the placeholder text of objects whose str() raises.
#include "frame/lossy_text.h"

namespace zqpy {

bool repaired_utf8(PyObject* text, std::string_view& out, PyRef& owner) {
  if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return false;
  PyErr_Clear();
  PyRef encoded(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
  if (!encoded) return false;
  owner = PyRef(PyUnicode_DecodeUTF8(PyBytes_AsString(encoded.get()), PyBytes_Size(encoded.get()), "replace"));
  Py_ssize_t size = 0;
  const char* data = owner ? PyUnicode_AsUTF8AndSize(owner.get(), &size) : nullptr;
  if (!data) return false;
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

PyRef str_or_unprintable(PyObject* obj) {
  PyRef text(PyObject_Str(obj));
  if (text) return text;
  PyErr_WriteUnraisable(obj);
  PyRef name(PyType_GetName(Py_TYPE(obj)));
  if (!name) return PyRef();
  return PyRef(PyUnicode_FromFormat("<unprintable %U object>", name.get()));
}

}  // namespace zqpy
