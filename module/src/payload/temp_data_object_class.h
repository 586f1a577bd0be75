// The TempDataObject class: a payload holder wrapping one payload slot.
#pragma once

#include "frame/instance.h"
#include "frame/python.h"
#include "payload/temp_data_object.h"

namespace zqpy {

struct TempDataObjectObject : Instance<zq::TempDataObject> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

// A new TempDataObject holding `slot`; nullptr with an exception set.
PyObject* temp_data_object_from_slot(zq::TempDataObject slot);

}  // namespace zqpy
