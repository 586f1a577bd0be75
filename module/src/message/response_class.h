// The ZQResponse class: one response record (command, cookies, payload slot) with its wire
// forms and payload getters. The one class of the module that Python code may subclass.
#pragma once

#include "frame/instance.h"
#include "frame/python.h"
#include "message/messages.h"

namespace zqpy {

struct ZQResponseObject : Instance<zq::ZQResponse> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

}  // namespace zqpy
