// Instance layout shared by every class with a record: the object header, the core record held
// by value, then the borrow flag. Creation and deallocation of such instances.
#pragma once

#include <new>
#include <utility>

#include "frame/borrow.h"
#include "frame/python.h"

namespace zqpy {

template <class R>
struct Instance {
  using Record = R;
  PyObject_HEAD
  Record record;
  BorrowFlag borrow;
};

template <class Self>
Self* as_instance(PyObject* obj) {
  return reinterpret_cast<Self*>(obj);
}

// A new instance of `cls` made as object.__new__(cls) makes it (the type's tp_alloc), with
// `record` moved in and a free borrow flag. nullptr with an exception set on failure.
template <class Self>
PyObject* new_instance(PyTypeObject* cls, typename Self::Record&& record) {
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(cls, Py_tp_alloc));
  PyObject* obj = alloc(cls, 0);
  if (!obj) return nullptr;
  Self* self = as_instance<Self>(obj);
  new (&self->record) typename Self::Record(std::move(record));
  new (&self->borrow) BorrowFlag();
  return obj;
}

// tp_dealloc: drops the record, frees the object through its type and releases the heap type.
template <class Self>
void dealloc(PyObject* obj) {
  PyTypeObject* type = Py_TYPE(obj);
  using Record = typename Self::Record;
  as_instance<Self>(obj)->record.~Record();
  auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_fn(obj);
  Py_DECREF(type);
}

}  // namespace zqpy
