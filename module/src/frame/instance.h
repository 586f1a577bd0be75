// Instance layout shared by every class with a record: the object header, the core record held
// by value, the borrow flag, then whether the record was constructed. Creation, access and
// deallocation of such instances.
#pragma once

#include <new>
#include <utility>

#include "frame/borrow.h"
#include "frame/pyref.h"
#include "frame/python.h"

namespace zqpy {

template <class R>
struct Instance {
  using Record = R;
  PyObject_HEAD
  Record record;
  BorrowFlag borrow;
  // The types are mutable: once Python code replaces a class's __new__, object.__new__(cls)
  // allocates an instance (zero-filled, so this is false) that no constructor of ours has seen.
  bool constructed;
};

// The instance behind `obj`, whose type is the class or a subclass. A record never constructed
// is given the default record here, before anything reads it. Default construction may throw
// std::bad_alloc, which the trampolines turn into MemoryError.
template <class Self>
Self* as_instance(PyObject* obj) {
  Self* self = reinterpret_cast<Self*>(obj);
  if (!self->constructed) [[unlikely]] {
    new (&self->record) typename Self::Record();
    self->constructed = true;
  }
  return self;
}

// A new instance of `cls` made as object.__new__(cls) makes it (the type's tp_alloc), its record
// constructed in place from `args` (a record to move or copy in, or nothing for the default
// record, which a body then fills in place) and a free borrow flag. nullptr with an exception
// set on failure.
template <class Self, class... Args>
PyObject* new_instance(PyTypeObject* cls, Args&&... args) {
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(cls, Py_tp_alloc));
  PyRef obj(alloc(cls, 0));
  if (!obj) return nullptr;
  Self* self = reinterpret_cast<Self*>(obj.get());
  new (&self->borrow) BorrowFlag();
  new (&self->record) typename Self::Record(std::forward<Args>(args)...);
  self->constructed = true;
  return obj.release();
}

// The record of an instance that new_instance made, for the body that fills it.
template <class Self>
typename Self::Record& record_in(const PyRef& instance) {
  return reinterpret_cast<Self*>(instance.get())->record;
}

// tp_dealloc: drops the record (when there is one), frees the object through its type and
// releases the heap type.
template <class Self>
void dealloc(PyObject* obj) {
  PyTypeObject* type = Py_TYPE(obj);
  using Record = typename Self::Record;
  Self* self = reinterpret_cast<Self*>(obj);
  if (self->constructed) self->record.~Record();
  auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_fn(obj);
  Py_DECREF(type);
}

}  // namespace zqpy
