// Containers and slots from Python objects, and containers back to Python objects.
#include "payload/payload.h"

#include "container/dmp_class.h"
#include "container/fat_manifest_class.h"
#include "container/itp_class.h"
#include "container/stp_class.h"
#include "container/vfsd_class.h"
#include "frame/borrow.h"
#include "frame/errors.h"
#include "frame/instance.h"
#include "frame/to_object.h"
#include "payload/temp_data_object_class.h"
#include "values/value_bridge.h"

namespace zqpy {
namespace {

enum class Copied { Yes, NotThisClass, Failed };

// Copies the record of `obj` into `out` when it is an instance of Self's class.
template <class Self, class Out>
Copied copy_record_if(PyObject* obj, Out& out) {
  PyTypeObject* type = Self::type();
  if (!type) return Copied::Failed;
  if (!PyObject_TypeCheck(obj, type)) return Copied::NotThisClass;
  Self* instance = as_instance<Self>(obj);
  BorrowGuard<Borrow::Shared> borrow(instance->borrow);
  if (!borrow.acquire()) return Copied::Failed;
  out = instance->record;
  return Copied::Yes;
}

template <class... Selves>
bool copy_first_match(PyObject* obj, zq::Container& out) {
  Copied result = Copied::NotThisClass;
  (((result = copy_record_if<Selves>(obj, out)) == Copied::NotThisClass) && ...);
  if (result == Copied::NotThisClass) {
    PyErr_SetString(PyExc_ValueError, "expected a ZQ container (STP/ITP/VFSD/FAT/DMP) or bytes");
  }
  return result == Copied::Yes;
}

template <class Self>
PyObject* new_copy(const typename Self::Record& record) {
  PyTypeObject* type = Self::type();
  return type ? new_instance<Self>(type, record) : nullptr;
}

}  // namespace

bool container_from_object(PyObject* obj, zq::Container& out) {
  return copy_first_match<STPContainerObject, ITPContainerObject, FATManifestContainerObject, DMPContainerObject,
                          VFSDContainerObject>(obj, out);
}

bool payload_to_slot(PyObject* payload, zq::TempDataObject& out) {
  if (!payload) {
    out.make_decoded();
    return true;
  }
  switch (copy_record_if<TempDataObjectObject>(payload, out)) {
    case Copied::Yes:
      return true;
    case Copied::Failed:
      return false;
    case Copied::NotThisClass:
      break;
  }
  return object_to_value(payload, 0, std::get<zq::STPContainer>(out.make_decoded()).payload);
}

PyObject* payload_to_object(const zq::Container& container) {
  struct Content {
    PyObject* operator()(const zq::STPContainer& c) const { return value_to_object(c.payload); }
    PyObject* operator()(const zq::DMPContainer& c) const { return value_to_object(c.payload); }
    PyObject* operator()(const zq::ITPContainer& c) const { return to_object(zq::ByteView(c.payload)); }
    PyObject* operator()(const zq::FATManifestContainer& c) const { return to_object(zq::ByteView(c.payload)); }
    PyObject* operator()(const zq::VFSDContainer& c) const { return frames_to_list(c.frames); }
  };
  return std::visit(Content{}, container);
}

PyObject* container_to_object(const zq::Container& container) {
  struct NewObject {
    PyObject* operator()(const zq::STPContainer& c) const { return new_copy<STPContainerObject>(c); }
    PyObject* operator()(const zq::ITPContainer& c) const { return new_copy<ITPContainerObject>(c); }
    PyObject* operator()(const zq::VFSDContainer& c) const { return new_copy<VFSDContainerObject>(c); }
    PyObject* operator()(const zq::FATManifestContainer& c) const { return new_copy<FATManifestContainerObject>(c); }
    PyObject* operator()(const zq::DMPContainer& c) const { return new_copy<DMPContainerObject>(c); }
  };
  return std::visit(NewObject{}, container);
}

}  // namespace zqpy
