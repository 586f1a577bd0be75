// The DMPContainer class: one Value with a schema name and kind.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "container/container.h"
#include "frame/instance.h"
#include "frame/python.h"

namespace zqpy {

struct DMPContainerObject : Instance<zq::DMPContainer> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

// Converts `payload` (depth 0) first, then refuses an empty schema name ("invalid wire data:
// schema_name must be a non-empty str"). Returns false with an exception set.
bool build_dmp_container(std::string_view schema_name, PyObject* payload, std::uint64_t version,
                         std::optional<zq::CompressionInfo> compression_info, std::uint8_t schema_kind,
                         zq::DMPContainer& out);

}  // namespace zqpy
