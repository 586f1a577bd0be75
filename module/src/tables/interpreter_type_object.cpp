// Interpreter types between Python objects and the ITP record.
#include "tables/interpreter_type_object.h"

#include <string>

#include "frame/kinds.h"
#include "frame/to_object.h"
#include "tables/canonical_tables.h"

namespace zqpy {

bool parse_interpreter_type(PyObject* obj, zq::InterpreterType& out) {
  std::string_view text;
  if (PyUnicode_Check(obj)) {
    if (kinds::Text::convert(obj, text)) {
      std::optional<std::uint16_t> code = zq::tables::intype_code(text);
      if (code && *code >= zq::tables::kFirstStandardInType) {
        out = zq::InterpreterType::standard(*code);
      } else {
        out = zq::InterpreterType::custom_name(std::string(text));
      }
      return true;
    }
    PyErr_Clear();  // text UTF-8 cannot carry: the integer conversion reports instead
  }
  std::uint16_t code = 0;
  if (!kinds::U16::convert(obj, code)) return false;
  out = zq::InterpreterType::standard(code);
  return true;
}

PyObject* interpreter_type_to_object(const zq::InterpreterType& type) {
  if (type.custom) return to_object(std::string_view(type.name));
  if (type.code < zq::tables::kInTypeCount) return to_object(zq::tables::intype_name(type.code));
  return PyLong_FromLong(type.code);
}

}  // namespace zqpy
