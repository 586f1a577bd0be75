// Conversion of query parameters between the core's typed values and Python objects.
#include "url/query_value_object.h"

#include <string>
#include <string_view>

#include "frame/cached.h"
#include "frame/dict_from_pairs.h"
#include "frame/errors.h"
#include "frame/kinds.h"
#include "frame/lossy_text.h"
#include "frame/pyref.h"
#include "values/key_cache.h"

namespace zqpy {
namespace {

PyObject* text_object(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// ast is imported and literal_eval looked up on every evaluation, so that the interpreter's
// current import machinery decides what runs; only the names are kept.
PyObject* literal_to_object(std::string_view text) {
  PyObject* ast_name = cached::ast_name();
  PyRef ast(ast_name ? PyImport_Import(ast_name) : nullptr);
  PyObject* literal_eval_name = ast ? cached::literal_eval_name() : nullptr;
  PyRef literal_eval(literal_eval_name ? PyObject_GetAttr(ast.get(), literal_eval_name) : nullptr);
  if (!literal_eval) return nullptr;
  PyRef source(text_object(text));
  if (!source) return nullptr;
  PyObject* args[] = {source.get()};
  PyObject* value = PyObject_Vectorcall(literal_eval.get(), args, 1, nullptr);
  if (value) return value;
  PyErr_Clear();
  return source.release();
}

PyObject* query_value_to_object(const zq::QueryValue& value) {
  switch (value.kind()) {
    case zq::QueryValue::Kind::None:
      Py_RETURN_NONE;
    case zq::QueryValue::Kind::Bool:
      return PyBool_FromLong(value.as_bool());
    case zq::QueryValue::Kind::Int:
      return PyLong_FromLongLong(value.as_int());
    case zq::QueryValue::Kind::Float:
      return PyFloat_FromDouble(value.as_float());
    case zq::QueryValue::Kind::Str:
      return text_object(value.text());
    case zq::QueryValue::Kind::Literal:
      return literal_to_object(value.text());
  }
  return raise_internal_fault("unknown QueryValue kind");
}

// The lossy UTF-8 of `text` (a new reference, or null after a failed call) as an owned text.
bool take_text(PyRef text, zq::Text& out) {
  if (!text) return false;
  std::string_view view;
  PyRef repaired;
  if (!lossy_utf8(text.get(), view, repaired)) return false;
  out.assign(view);
  return true;
}

bool object_to_query_value(PyObject* obj, zq::QueryValue& out) {
  if (obj == Py_None) {
    out = zq::QueryValue::none();
    return true;
  }
  if (obj == Py_True || obj == Py_False) {
    out = zq::QueryValue::boolean(obj == Py_True);
    return true;
  }
  zq::Text text;
  if (PyLong_Check(obj)) {
    int overflow = 0;
    long long value = PyLong_AsLongLongAndOverflow(obj, &overflow);
    if (overflow == 0) {
      if (value == -1 && PyErr_Occurred()) return false;
      out = zq::QueryValue::integer(value);
      return true;
    }
    if (!take_text(PyRef(PyObject_Str(obj)), text)) return false;
    out = zq::QueryValue::literal(std::move(text));
    return true;
  }
  if (PyFloat_Check(obj)) {
    out = zq::QueryValue::floating(PyFloat_AsDouble(obj));
    return true;
  }
  if (PyUnicode_Check(obj)) {
    if (!take_text(str_or_unprintable(obj), text)) return false;
    out = zq::QueryValue::str(std::move(text));
    return true;
  }
  if (!take_text(PyRef(PyObject_Repr(obj)), text)) return false;
  out = zq::QueryValue::literal(std::move(text));
  return true;
}

// One dict item. Key and value are held while they convert: a value's repr() may remove them
// from the dict.
bool item_to_param(PyObject* key, PyObject* value, zq::QueryParam& out) {
  PyRef held_key = PyRef::borrowed(key);
  PyRef held_value = PyRef::borrowed(value);
  std::string_view key_text;
  if (!kinds::Text::convert(key, key_text)) return false;
  out.key.assign(key_text);
  return object_to_query_value(value, out.value);
}

}  // namespace

// Parameter names repeat from URL to URL as map keys do, so they come from the same cache of key
// strs.
PyObject* params_to_dict(const zq::QueryParams& params) {
  KeyCache keys;
  return dict_from_pairs(
      params,
      [&keys](const zq::QueryParam& param) {
        return keys.text(reinterpret_cast<const std::uint8_t*>(param.key.data()), param.key.size());
      },
      [](const zq::QueryParam& param) { return query_value_to_object(param.value); });
}

// The interpreter's own dict iteration with its two checks: the size must not change, and no
// more entries may come than there were at the start.
bool dict_to_params(PyObject* dict, zq::QueryParams& out) {
  const Py_ssize_t size = PyDict_Size(dict);
  out.reserve(static_cast<std::size_t>(size));
  Py_ssize_t position = 0;
  Py_ssize_t seen = 0;
  PyObject* key;
  PyObject* value;
  for (;;) {
    if (PyDict_Size(dict) != size) {
      PyErr_SetString(PyExc_RuntimeError, "dictionary changed size during iteration");
      return false;
    }
    if (!PyDict_Next(dict, &position, &key, &value)) return true;
    if (seen++ == size) {
      PyErr_SetString(PyExc_RuntimeError, "dictionary keys changed during iteration");
      return false;
    }
    if (!item_to_param(key, value, out.emplace_back())) return false;
  }
}

}  // namespace zqpy
