// The FATManifestContainer class: the manifest of a file stored as parts with 32-byte ids.
#pragma once

#include <cstdint>
#include <optional>

#include "common/bytes.h"
#include "container/container.h"
#include "frame/instance.h"
#include "frame/python.h"

namespace zqpy {

struct FATManifestContainerObject : Instance<zq::FATManifestContainer> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

// Checks, in this order, the checksum's length (ValueError "checksum must be bytes(16)"),
// part_size (at least 1024) and the payload's length (a multiple of 32), the last two raised as
// core errors; then stores the already converted fields. Absent payload: no parts.
bool build_fat_manifest(std::uint64_t size, std::uint64_t part_size, std::uint64_t parts_count,
                        std::optional<zq::Bytes> payload, std::optional<zq::Bytes> checksum,
                        std::uint64_t created_ns, std::uint64_t version,
                        std::optional<zq::CompressionInfo> compression_info, zq::FATManifestContainer& out);

}  // namespace zqpy
