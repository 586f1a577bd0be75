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

// A copy of a Url's whole record, isIp included, read under a shared borrow of it. False with
// TypeError "url must be a Url" for any other object, or the borrow's RuntimeError.
bool url_from_object(PyObject* obj, zq::Url& out);

// A new Url holding a copy of `url`, isIp included; nullptr with an exception set.
PyObject* url_to_object(const zq::Url& url);

}  // namespace zqpy
