// The Url class: a parsed URL with typed query parameters, its text forms and the address
// helpers.
#pragma once

#include "frame/instance.h"
#include "frame/python.h"
#include "url/url.h"

namespace zqpy {

struct UrlObject : Instance<zq::Url> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

}  // namespace zqpy
