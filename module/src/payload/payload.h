// Payloads between Python objects and the core's containers and payload slot, shared by
// TempDataObject and the request and response classes.
#pragma once

#include "container/container.h"
#include "frame/python.h"
#include "payload/temp_data_object.h"

namespace zqpy {

// A copy of the container inside an STPContainer, ITPContainer, FATManifestContainer,
// DMPContainer or VFSDContainer (tested in that order, subclasses included), read under a shared
// borrow of it. Returns false with ValueError "expected a ZQ container (STP/ITP/VFSD/FAT/DMP) or
// bytes" for any other object, or RuntimeError "Already mutably borrowed".
bool container_from_object(PyObject* obj, zq::Container& out);

// The `payload` argument of a request or response (nullptr when absent or None) as a slot:
// absent gives an STP container of nil, a TempDataObject a copy of its slot as it stands (under
// a shared borrow), anything else an STP container of the value it converts to (bytes included:
// they become a Bin value). Returns false with the value bridge's exception set, or the borrow's;
// `out` is then to be discarded.
bool payload_to_slot(PyObject* payload, zq::TempDataObject& out);

// The content of a container as the payload getters return it: the value of STP and DMP, bytes
// for ITP and the FAT manifest's part ids, a list of 5-tuples for VFSD. nullptr with an
// exception set.
PyObject* payload_to_object(const zq::Container& container);

// A new object of the container's own class holding a copy of it; nullptr with an exception set.
PyObject* container_to_object(const zq::Container& container);

}  // namespace zqpy
