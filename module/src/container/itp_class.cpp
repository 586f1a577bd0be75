// ITPContainer(interpreterType, payload, interpretatorVersion, compression_info=None).
#include "container/itp_class.h"

#include "container/container_class.h"
#include "frame/bind.h"
#include "frame/type_object.h"
#include "tables/interpreter_type_object.h"

namespace zqpy {

bool build_itp_container(PyObject* interpreter_type, zq::Bytes payload, std::uint64_t interpretator_version,
                         std::optional<zq::CompressionInfo> compression_info, zq::ITPContainer& out) {
  zq::InterpreterType type;
  if (!parse_interpreter_type(interpreter_type, type)) return false;
  out = zq::ITPContainer{std::move(type), std::move(payload), interpretator_version, compression_info};
  return true;
}

namespace {

constexpr auto kNew = describe("ITPContainer", "__new__", 3, "interpreterType", "payload", "interpretatorVersion",
                               "compression_info");
constexpr auto kDeserialize = describe("ITPContainer", "deserialize", 1, "data");
constexpr char kInvalidData[] = "Invalid ITP container data";

PyObject* ITPContainer_new(PyTypeObject* cls, PyObject* interpreter_type, zq::Bytes payload,
                           std::uint64_t interpretator_version, std::optional<zq::CompressionInfo> compression_info) {
  zq::ITPContainer record;
  if (!build_itp_container(interpreter_type, std::move(payload), interpretator_version, compression_info, record)) {
    return nullptr;
  }
  return new_instance<ITPContainerObject>(cls, std::move(record));
}

PyObject* ITPContainer_interpreterType(const zq::ITPContainer& record) {
  return interpreter_type_to_object(record.interpreterType);
}
std::uint64_t ITPContainer_interpretatorVersion(const zq::ITPContainer& record) { return record.interpretatorVersion; }
zq::ByteView ITPContainer_payload(const zq::ITPContainer& record) { return record.payload; }

PyMethodDef ITPContainer_methods[] = {
    noargs_method_def<ITPContainerObject, Borrow::Shared, &zq::encode_itp>("serialize", kSerializeDoc),
    static_method_def<kDeserialize, &deserialize_container_or<ITPContainerObject, &zq::decode_itp, kInvalidData>,
                      Param<kinds::BytesOnly>>(kDeserializeDoc),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef ITPContainer_getset[] = {
    getter_def<ITPContainerObject, Borrow::Shared, &ITPContainer_interpreterType>("interpreterType"),
    getter_def<ITPContainerObject, Borrow::Shared, &ITPContainer_interpretatorVersion>("interpretatorVersion"),
    getter_def<ITPContainerObject, Borrow::Shared, &ITPContainer_payload>("payload"),
    getter_def<ITPContainerObject, Borrow::Shared, &compression_info_of<zq::ITPContainer>>("compression_info"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot ITPContainer_slots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "ITPContainer(interpreterType, payload, interpretatorVersion, compression_info=None)\n--\n\n")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &ITPContainer_new, Param<kinds::AnyObject>,
                                                     Param<kinds::BytesLike>, Param<kinds::U64>,
                                                     Param<kinds::Compression, OrNone>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<ITPContainerObject>)},
    {Py_tp_methods, ITPContainer_methods},
    {Py_tp_getset, ITPContainer_getset},
    {0, nullptr},
};

PyType_Spec ITPContainer_spec = {"duvevodavid.net.objects.ITPContainer", sizeof(ITPContainerObject), 0,
                                 Py_TPFLAGS_DEFAULT, ITPContainer_slots};

}  // namespace

PyTypeObject* ITPContainerObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, ITPContainer_spec);
}

}  // namespace zqpy
