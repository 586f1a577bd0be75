// The ITPContainer class: raw bytes typed by an interpreter type.
#pragma once

#include <cstdint>
#include <optional>

#include "common/bytes.h"
#include "container/container.h"
#include "frame/instance.h"
#include "frame/python.h"

namespace zqpy {

struct ITPContainerObject : Instance<zq::ITPContainer> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

// Reads `interpreter_type` last (parse_interpreter_type, no argument note) and stores it with
// the already converted payload, version and setting. Returns false with an exception set.
bool build_itp_container(PyObject* interpreter_type, zq::Bytes payload, std::uint64_t interpretator_version,
                         std::optional<zq::CompressionInfo> compression_info, zq::ITPContainer& out);

}  // namespace zqpy
