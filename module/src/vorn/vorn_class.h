// The VORNObject class: a vornid, its object_id for a kind, and its two byte forms.
#pragma once

#include "frame/instance.h"
#include "frame/python.h"
#include "vorn/object_id.h"

namespace zqpy {

struct VORNObjectObject : Instance<zq::VORNObject> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

}  // namespace zqpy
