// The VFSDContainer class: a path, its numbers and a list of file frames; and the frame
// conversions between 5-tuples and VFSDFrame.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "container/container.h"
#include "frame/instance.h"
#include "frame/python.h"

namespace zqpy {

struct VFSDContainerObject : Instance<zq::VFSDContainer> {
  // The process-wide type object, built on first need; nullptr with an exception set.
  static PyTypeObject* type();
};

// Collects the frames of `payload` (nullptr: none) through frame_from_tuple and stores them with
// the already converted fields; `count` absent is the number of frames. Returns false with the
// iteration's or a frame's exception set, without a note.
bool build_vfsd_container(std::string_view path, PyObject* payload, std::uint64_t version, std::uint64_t created_ns,
                          std::uint64_t updated_ns, std::uint64_t epoch, std::optional<std::uint64_t> count,
                          std::optional<zq::CompressionInfo> compression_info, zq::VFSDContainer& out);

// Any iterable of exactly 5 elements (type, name, abs_id, updated_ns, payload) as a frame.
// Returns false with ValueError "VFSD frame must be a tuple/list of 5 items", "frame type out of
// range", "frame abs_id must be bytes(32)", or an element's conversion error.
bool frame_from_tuple(PyObject* item, zq::VFSDFrame& out);

// A new (type, name, abs_id, updated_ns, payload or None) tuple; nullptr with an exception set.
PyObject* frame_to_tuple(const zq::VFSDFrame& frame);

// A new list of frame_to_tuple of each frame, in order.
PyObject* frames_to_list(const std::vector<zq::VFSDFrame>& frames);

}  // namespace zqpy
