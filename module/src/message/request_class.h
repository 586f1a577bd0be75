// The ZQRequest class: one request record (method, URL, transport and route tokens, cookies,
// payload slot) with its setters, wire forms and payload getters.
#pragma once

#include "frame/instance.h"
#include "frame/python.h"
#include "message/messages.h"

namespace zqpy {

struct ZQRequestObject : Instance<zq::ZQRequest> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

}  // namespace zqpy
