// STPContainer(payload, version=0, compression_info=None).
#include "container/stp_class.h"

#include "container/container_class.h"
#include "frame/bind.h"
#include "frame/type_object.h"
#include "values/value_bridge.h"

namespace zqpy {

bool build_stp_container(PyObject* payload, std::uint64_t version,
                         std::optional<zq::CompressionInfo> compression_info, zq::STPContainer& out) {
  if (!object_to_value(payload, 0, out.payload)) return false;
  out.version = version;
  out.compression_info = compression_info;
  return true;
}

namespace {

constexpr auto kNew = describe("STPContainer", "__new__", 1, "payload", "version", "compression_info");
constexpr auto kDeserialize = describe("STPContainer", "deserialize", 1, "data");
constexpr char kInvalidData[] = "Invalid STP container data";

PyObject* STPContainer_new(PyTypeObject* cls, PyObject* payload, std::uint64_t version,
                           std::optional<zq::CompressionInfo> compression_info) {
  zq::STPContainer record;
  if (!build_stp_container(payload, version, compression_info, record)) return nullptr;
  return new_instance<STPContainerObject>(cls, std::move(record));
}

PyObject* STPContainer_payload(const zq::STPContainer& record) { return value_to_object(record.payload); }

PyMethodDef STPContainer_methods[] = {
    noargs_method_def<STPContainerObject, Borrow::Shared, &serialize_via_scratch<zq::STPContainer, &zq::encode_stp_to>>(
        "serialize", kSerializeDoc),
    static_method_def<kDeserialize, &deserialize_container_or<STPContainerObject, &zq::decode_stp, kInvalidData>,
                      Param<kinds::BytesOnly>>(kDeserializeDoc),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef STPContainer_getset[] = {
    getter_def<STPContainerObject, Borrow::Shared, &version_of<zq::STPContainer>>("version"),
    getter_def<STPContainerObject, Borrow::Shared, &STPContainer_payload>("payload"),
    getter_def<STPContainerObject, Borrow::Shared, &compression_info_of<zq::STPContainer>>("compression_info"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot STPContainer_slots[] = {
    {Py_tp_doc, const_cast<char*>("STPContainer(payload, version=0, compression_info=None)\n--\n\n")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &STPContainer_new, Param<kinds::AnyObject>,
                                                     Param<kinds::U64, Default<0>>, Param<kinds::Compression, OrNone>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<STPContainerObject>)},
    {Py_tp_methods, STPContainer_methods},
    {Py_tp_getset, STPContainer_getset},
    {0, nullptr},
};

PyType_Spec STPContainer_spec = {"duvevodavid.net.objects.STPContainer", sizeof(STPContainerObject), 0,
                                 Py_TPFLAGS_DEFAULT, STPContainer_slots};

}  // namespace

PyTypeObject* STPContainerObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, STPContainer_spec);
}

}  // namespace zqpy
