// Lazily created process-wide objects. The interpreter lock serialises creation; an import may
// release it, so a value found already stored by another thread wins and ours is dropped.
#include "frame/cached.h"

#include "frame/pyref.h"

namespace zqpy::cached {
namespace {

PyObject* keep(PyObject*& slot, PyObject* made) {
  if (!made) return nullptr;
  if (slot) {
    Py_DECREF(made);
  } else {
    slot = made;
  }
  return slot;
}

PyObject* interned(PyObject*& slot, const char* text) {
  return slot ? slot : keep(slot, PyUnicode_InternFromString(text));
}

PyObject* imported(PyObject*& slot, const char* module, const char* attribute) {
  if (slot) return slot;
  PyRef mod(PyImport_ImportModule(module));
  if (!mod) return nullptr;
  return keep(slot, PyObject_GetAttrString(mod.get(), attribute));
}

}  // namespace

PyObject* all_name() {
  static PyObject* slot = nullptr;
  return interned(slot, "__all__");
}

PyObject* parse_zq_protocol_name() {
  static PyObject* slot = nullptr;
  return interned(slot, "parse_zq_protocol");
}

PyObject* parse_zq_protocol_from_list() {
  static PyObject* slot = nullptr;
  if (slot) return slot;
  PyObject* name = parse_zq_protocol_name();
  return name ? keep(slot, PyTuple_Pack(1, name)) : nullptr;
}

PyObject* add_note_name() {
  static PyObject* slot = nullptr;
  return interned(slot, "add_note");
}

PyObject* ast_name() {
  static PyObject* slot = nullptr;
  return interned(slot, "ast");
}

PyObject* literal_eval_name() {
  static PyObject* slot = nullptr;
  return interned(slot, "literal_eval");
}

PyObject* sequence_type() {
  static PyObject* slot = nullptr;
  return imported(slot, "collections.abc", "Sequence");
}

PyObject* length_hint() {
  static PyObject* slot = nullptr;
  return imported(slot, "operator", "length_hint");
}

PyObject* internal_fault_type() {
  static PyObject* slot = nullptr;
  return slot ? slot
              : keep(slot, PyErr_NewExceptionWithDoc("duvevodavid._zqobjects.InternalFault",
                                                     "Нарушен внутренний инвариант модуля.",
                                                     PyExc_BaseException, nullptr));
}

}  // namespace zqpy::cached
