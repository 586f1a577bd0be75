// VORNObject(vornid): the vornid property, objectId, the static fromObjectID, the long and short
// byte forms and fromBytes / fromBytesMaxShort.
#include "vorn/vorn_class.h"

#include <cstdint>
#include <string>

#include "frame/bind.h"
#include "frame/pyref.h"
#include "frame/type_object.h"

namespace zqpy {
namespace {

constexpr auto kNew = describe("VORNObject", "__new__", 1, "vornid");
constexpr auto kObjectId = describe("VORNObject", "objectId", 1, "object_type");
constexpr auto kFromObjectID = describe("VORNObject", "fromObjectID", 2, "object_id", "object_type");
constexpr auto kFromBytes = describe("VORNObject", "fromBytes", 1, "data");
constexpr auto kFromBytesMaxShort = describe("VORNObject", "fromBytesMaxShort", 1, "data");

// A kind without a range is a KeyError carrying the kind; a vornid beyond 64 bits an
// OverflowError; the resolver's failures plain Exception with their text.
PyObject* raise_object_id_error(const zq::ObjectIdError& error) {
  switch (error.kind) {
    case zq::ObjectIdErrorKind::NoObjectIdRange: {
      PyRef number(PyLong_FromLongLong(error.number));
      if (number) PyErr_SetObject(PyExc_KeyError, number.get());
      return nullptr;
    }
    case zq::ObjectIdErrorKind::VornidOutOfRange:
      PyErr_SetString(PyExc_OverflowError, "vornid out of u64 range");
      return nullptr;
    default:
      PyErr_SetString(PyExc_Exception, zq::display_object_id_error(error).c_str());
      return nullptr;
  }
}

PyObject* new_vornobject(zq::Result<std::uint64_t, zq::ObjectIdError> vornid) {
  if (!vornid.ok()) return raise_object_id_error(vornid.error());
  PyTypeObject* type = VORNObjectObject::type();
  if (!type) return nullptr;
  return new_instance<VORNObjectObject>(type, zq::VORNObject{std::nullopt, *vornid});
}

PyObject* VORNObject_new(PyTypeObject* cls, std::uint64_t vornid) {
  return new_instance<VORNObjectObject>(cls, zq::VORNObject{std::nullopt, vornid});
}

std::uint64_t VORNObject_get_vornid(const zq::VORNObject& record) { return record.vornid; }

int VORNObject_set_vornid(zq::VORNObject& record, std::uint64_t value) {
  record.vornid = value;
  return 0;
}

PyObject* VORNObject_objectId(zq::VORNObject& record, std::int64_t object_type) {
  auto resolved = zq::resolve_object_id(record, object_type);
  if (!resolved.ok()) return raise_object_id_error(resolved.error());
  return PyLong_FromUnsignedLongLong(*resolved);
}

PyObject* VORNObject_fromObjectID(std::int64_t object_id, std::int64_t object_type) {
  return new_vornobject(zq::vornid_from_object_id(object_id, object_type));
}

PyObject* VORNObject_toBytes(const zq::VORNObject& record) {
  std::uint8_t out[32];
  zq::vornid_to_long_bytes(record.vornid, out);
  return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(out), sizeof out);
}

PyObject* VORNObject_fromBytes(zq::VORNObject& record, zq::ByteView data) {
  record.vornid = zq::vornid_from_long_bytes(data);
  Py_RETURN_NONE;
}

PyObject* VORNObject_toBytesMaxShort(const zq::VORNObject& record) {
  std::uint8_t out[8];
  zq::vornid_to_short_bytes(record.vornid, out);
  return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(out), sizeof out);
}

PyObject* VORNObject_fromBytesMaxShort(zq::ByteView data) { return new_vornobject(zq::vornid_from_short_bytes(data)); }

PyMethodDef VORNObject_methods[] = {
    method_def<kObjectId, VORNObjectObject, Borrow::Exclusive, &VORNObject_objectId, Param<kinds::I64>>(
        "objectId($self, object_type)\n--\n\n"),
    static_method_def<kFromObjectID, &VORNObject_fromObjectID, Param<kinds::I64>, Param<kinds::I64>>(
        "fromObjectID(object_id, object_type)\n--\n\n"),
    noargs_method_def<VORNObjectObject, Borrow::Shared, &VORNObject_toBytes>("toBytes", "toBytes($self)\n--\n\n"),
    method_def<kFromBytes, VORNObjectObject, Borrow::Exclusive, &VORNObject_fromBytes, Param<kinds::BytesOnly>>(
        "fromBytes($self, data)\n--\n\n"),
    noargs_method_def<VORNObjectObject, Borrow::Shared, &VORNObject_toBytesMaxShort>(
        "toBytesMaxShort", "toBytesMaxShort($self)\n--\n\n"),
    static_method_def<kFromBytesMaxShort, &VORNObject_fromBytesMaxShort, Param<kinds::BytesOnly>>(
        "fromBytesMaxShort(data)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

constexpr auto kSetVornid = describe_setter("value");

PyGetSetDef VORNObject_getset[] = {
    property_def<VORNObjectObject, &VORNObject_get_vornid, Param<kinds::U64>, kSetVornid, &VORNObject_set_vornid>(
        "vornid"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot VORNObject_slots[] = {
    {Py_tp_doc, const_cast<char*>("VORNObject(vornid)\n--\n\n`duvevodavid.vorn.objects.VORNObject`.")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &VORNObject_new, Param<kinds::U64>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<VORNObjectObject>)},
    {Py_tp_methods, VORNObject_methods},
    {Py_tp_getset, VORNObject_getset},
    {0, nullptr},
};

PyType_Spec VORNObject_spec = {"duvevodavid.vorn.objects.VORNObject", sizeof(VORNObjectObject), 0,
                               Py_TPFLAGS_DEFAULT, VORNObject_slots};

}  // namespace

PyTypeObject* VORNObjectObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, VORNObject_spec);
}

}  // namespace zqpy
