// The STPContainer class: one Value with a version.
#pragma once

#include <cstdint>
#include <optional>

#include "container/container.h"
#include "frame/instance.h"
#include "frame/python.h"

namespace zqpy {

struct STPContainerObject : Instance<zq::STPContainer> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

// Converts `payload` (depth 0) and stores it with the already converted version and setting.
// Returns false with the value bridge's exception set.
bool build_stp_container(PyObject* payload, std::uint64_t version,
                         std::optional<zq::CompressionInfo> compression_info, zq::STPContainer& out);

}  // namespace zqpy
