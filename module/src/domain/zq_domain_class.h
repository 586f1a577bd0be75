// ZQDomain: a holder of the two static domain tests; it has no record and no instances.
#pragma once

#include "frame/python.h"

namespace zqpy {

struct ZQDomainObject {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

}  // namespace zqpy
