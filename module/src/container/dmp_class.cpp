// DMPContainer(schema_name, payload, version=0, compression_info=None, schema_kind=0).
#include "container/dmp_class.h"

#include <string>

#include "container/container_class.h"
#include "frame/bind.h"
#include "frame/type_object.h"
#include "values/value_bridge.h"

namespace zqpy {

bool build_dmp_container(std::string_view schema_name, PyObject* payload, std::uint64_t version,
                         std::optional<zq::CompressionInfo> compression_info, std::uint8_t schema_kind,
                         zq::DMPContainer& out) {
  zq::Value value;
  if (!object_to_value(payload, 0, value)) return false;
  if (schema_name.empty()) {
    core_error_to_value_error(zq::WireError::invalid("schema_name must be a non-empty str"));
    return false;
  }
  out = zq::DMPContainer{std::string(schema_name), std::move(value), version, compression_info, schema_kind};
  return true;
}

namespace {

constexpr auto kNew = describe("DMPContainer", "__new__", 2, "schema_name", "payload", "version", "compression_info",
                               "schema_kind");
constexpr auto kDeserialize = describe("DMPContainer", "deserialize", 1, "data");

PyObject* DMPContainer_new(PyTypeObject* cls, std::string_view schema_name, PyObject* payload, std::uint64_t version,
                           std::optional<zq::CompressionInfo> compression_info, std::uint8_t schema_kind) {
  zq::DMPContainer record;
  if (!build_dmp_container(schema_name, payload, version, compression_info, schema_kind, record)) return nullptr;
  return new_instance<DMPContainerObject>(cls, std::move(record));
}

std::string_view DMPContainer_schema_name(const zq::DMPContainer& record) { return record.schema_name; }
std::uint8_t DMPContainer_schema_kind(const zq::DMPContainer& record) { return record.schema_kind; }
PyObject* DMPContainer_payload(const zq::DMPContainer& record) { return value_to_object(record.payload); }

PyMethodDef DMPContainer_methods[] = {
    noargs_method_def<DMPContainerObject, Borrow::Shared, &serialize_via_scratch<zq::DMPContainer, &zq::encode_dmp_to>>(
        "serialize", kSerializeDoc),
    static_method_def<kDeserialize, &deserialize_container<DMPContainerObject, &zq::decode_dmp>,
                      Param<kinds::BytesOnly>>(kDeserializeDoc),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef DMPContainer_getset[] = {
    getter_def<DMPContainerObject, Borrow::Shared, &DMPContainer_schema_name>("schema_name"),
    getter_def<DMPContainerObject, Borrow::Shared, &DMPContainer_schema_kind>("schema_kind"),
    getter_def<DMPContainerObject, Borrow::Shared, &version_of<zq::DMPContainer>>("version"),
    getter_def<DMPContainerObject, Borrow::Shared, &DMPContainer_payload>("payload"),
    getter_def<DMPContainerObject, Borrow::Shared, &compression_info_of<zq::DMPContainer>>("compression_info"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot DMPContainer_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("DMPContainer(schema_name, payload, version=0, compression_info=None, schema_kind=0)\n--\n\n")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &DMPContainer_new, Param<kinds::Text>,
                                                     Param<kinds::AnyObject>, Param<kinds::U64, Default<0>>,
                                                     Param<kinds::Compression, OrNone>, Param<kinds::U8, Default<0>>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<DMPContainerObject>)},
    {Py_tp_methods, DMPContainer_methods},
    {Py_tp_getset, DMPContainer_getset},
    {0, nullptr},
};

PyType_Spec DMPContainer_spec = {"duvevodavid.net.objects.DMPContainer", sizeof(DMPContainerObject), 0,
                                 Py_TPFLAGS_DEFAULT, DMPContainer_slots};

}  // namespace

PyTypeObject* DMPContainerObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, DMPContainer_spec);
}

}  // namespace zqpy
