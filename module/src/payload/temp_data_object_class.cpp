// TempDataObject(container=None): setContainer, serialize, the container property, the static
// deserialize and the five factories that build a container of each kind in place.
#include "payload/temp_data_object_class.h"

#include <string_view>

#include "container/container_class.h"
#include "container/dmp_class.h"
#include "container/fat_manifest_class.h"
#include "container/itp_class.h"
#include "container/stp_class.h"
#include "container/vfsd_class.h"
#include "frame/bind.h"
#include "frame/pyref.h"
#include "frame/type_object.h"
#include "payload/payload.h"

namespace zqpy {

PyObject* temp_data_object_from_slot(zq::TempDataObject slot) {
  PyTypeObject* type = TempDataObjectObject::type();
  return type ? new_instance<TempDataObjectObject>(type, std::move(slot)) : nullptr;
}

namespace {

using CompressionParam = Param<kinds::Compression, OrNone>;
using U64Or0 = Param<kinds::U64, Default<0>>;

// The argument of the constructor and setContainer: bytes-like gives Raw, a container object
// Decoded. When the bytes-like conversion fails with an ordinary error, that error is dropped
// and the container classes are tried; others (KeyboardInterrupt, MemoryError, ...) propagate.
bool slot_from_argument(PyObject* obj, zq::TempDataObject& out) {
  zq::Bytes bytes;
  if (kinds::BytesLike::convert(obj, bytes)) {
    out = zq::TempDataObject::raw(std::move(bytes));
    return true;
  }
  if (!drop_ordinary_error()) return false;
  zq::Container container;
  if (!container_from_object(obj, container)) return false;
  out = zq::TempDataObject::decoded(std::move(container));
  return true;
}

// The container's own encoding; STP and DMP through the scratch output, as their classes do.
PyObject* serialize_container(const zq::Container& container) {
  struct Encode {
    PyObject* operator()(const zq::STPContainer& c) const {
      return serialize_via_scratch<zq::STPContainer, &zq::encode_stp_to>(c);
    }
    PyObject* operator()(const zq::DMPContainer& c) const {
      return serialize_via_scratch<zq::DMPContainer, &zq::encode_dmp_to>(c);
    }
    PyObject* operator()(const zq::ITPContainer& c) const { return to_object(zq::encode_itp(c)); }
    PyObject* operator()(const zq::VFSDContainer& c) const { return to_object(zq::encode_vfsd(c)); }
    PyObject* operator()(const zq::FATManifestContainer& c) const { return to_object(zq::encode_fat_manifest(c)); }
  };
  return std::visit(Encode{}, container);
}

constexpr auto kNew = describe("TempDataObject", "__new__", 0, "container");
constexpr auto kSetContainer = describe("TempDataObject", "setContainer", 1, "container");
constexpr auto kDeserialize = describe("TempDataObject", "deserialize", 1, "data", "unpack_container");
constexpr auto kSTP = describe("TempDataObject", "STP", 1, "payload", "version", "compression_info");
constexpr auto kITP = describe("TempDataObject", "ITP", 2, "interpreterType", "payload", "interpretatorVersion",
                               "compression_info");
constexpr auto kVFSD = describe("TempDataObject", "VFSD", 1, "path", "payload", "version", "created_ns",
                                "updated_ns", "epoch", "count", "compression_info");
constexpr auto kFATManifest = describe("TempDataObject", "FATManifest", 3, "size", "part_size", "parts_count",
                                       "payload", "checksum", "created_ns", "version", "compression_info");
constexpr auto kDMP = describe("TempDataObject", "DMP", 2, "schema_name", "payload", "version", "compression_info",
                               "schema_kind");

PyObject* TempDataObject_new(PyTypeObject* cls, PyObject* container) {
  zq::TempDataObject slot;
  if (container && !slot_from_argument(container, slot)) return nullptr;
  return new_instance<TempDataObjectObject>(cls, std::move(slot));
}

// Runs under the exclusive borrow: the slot is replaced only once the argument converted.
PyObject* TempDataObject_setContainer(zq::TempDataObject& slot, PyObject* container) {
  zq::TempDataObject replacement;
  if (!slot_from_argument(container, replacement)) return nullptr;
  slot = std::move(replacement);
  Py_RETURN_NONE;
}

PyObject* TempDataObject_serialize(const zq::TempDataObject& slot) {
  if (const zq::Bytes* bytes = slot.verbatim()) return to_object(zq::ByteView(*bytes));
  if (const zq::Container* container = slot.container()) return serialize_container(*container);
  Py_RETURN_NONE;
}

// A Raw slot is decoded into a temporary, the result built from it, and only then is the
// container moved into the slot, so that any failure leaves the slot as it was.
PyObject* TempDataObject_container(zq::TempDataObject& slot) {
  if (const zq::Container* container = slot.container()) return container_to_object(*container);
  if (slot.is_empty()) Py_RETURN_NONE;
  auto decoded = zq::decode_container(*slot.verbatim());
  if (!decoded.ok()) return core_error_to_value_error(decoded.error());
  PyRef result(container_to_object(*decoded));
  if (result) slot.settle(std::move(decoded).value());
  return result.release();
}

PyObject* TempDataObject_deserialize(zq::Bytes data, bool unpack_container) {
  auto slot = zq::decode_temp_data_object(std::move(data), unpack_container);
  if (!slot.ok()) return core_error_to_value_error(slot.error());
  return temp_data_object_from_slot(std::move(slot).value());
}

template <class Record>
PyObject* holding(Record&& record) {
  return temp_data_object_from_slot(zq::TempDataObject::decoded(std::forward<Record>(record)));
}

PyObject* TempDataObject_STP(PyObject* payload, std::uint64_t version,
                             std::optional<zq::CompressionInfo> compression_info) {
  zq::STPContainer record;
  if (!build_stp_container(payload, version, compression_info, record)) return nullptr;
  return holding(std::move(record));
}

PyObject* TempDataObject_ITP(PyObject* interpreter_type, zq::Bytes payload, std::uint64_t interpretator_version,
                             std::optional<zq::CompressionInfo> compression_info) {
  zq::ITPContainer record;
  if (!build_itp_container(interpreter_type, std::move(payload), interpretator_version, compression_info, record)) {
    return nullptr;
  }
  return holding(std::move(record));
}

PyObject* TempDataObject_VFSD(std::string_view path, PyObject* payload, std::uint64_t version,
                              std::uint64_t created_ns, std::uint64_t updated_ns, std::uint64_t epoch,
                              std::optional<std::uint64_t> count,
                              std::optional<zq::CompressionInfo> compression_info) {
  zq::VFSDContainer record;
  if (!build_vfsd_container(path, payload, version, created_ns, updated_ns, epoch, count, compression_info, record)) {
    return nullptr;
  }
  return holding(std::move(record));
}

PyObject* TempDataObject_FATManifest(std::uint64_t size, std::uint64_t part_size, std::uint64_t parts_count,
                                     std::optional<zq::Bytes> payload, std::optional<zq::Bytes> checksum,
                                     std::uint64_t created_ns, std::uint64_t version,
                                     std::optional<zq::CompressionInfo> compression_info) {
  zq::FATManifestContainer record;
  if (!build_fat_manifest(size, part_size, parts_count, std::move(payload), std::move(checksum), created_ns, version,
                          compression_info, record)) {
    return nullptr;
  }
  return holding(std::move(record));
}

PyObject* TempDataObject_DMP(std::string_view schema_name, PyObject* payload, std::uint64_t version,
                             std::optional<zq::CompressionInfo> compression_info, std::uint8_t schema_kind) {
  zq::DMPContainer record;
  if (!build_dmp_container(schema_name, payload, version, compression_info, schema_kind, record)) return nullptr;
  return holding(std::move(record));
}

PyMethodDef TempDataObject_methods[] = {
    method_def<kSetContainer, TempDataObjectObject, Borrow::Exclusive, &TempDataObject_setContainer,
               Param<kinds::AnyObject>>("setContainer($self, container)\n--\n\n"),
    noargs_method_def<TempDataObjectObject, Borrow::Shared, &TempDataObject_serialize>("serialize", kSerializeDoc),
    static_method_def<kDeserialize, &TempDataObject_deserialize, Param<kinds::BytesLike>,
                      Param<kinds::Boolean, Default<false>>>("deserialize(data, unpack_container=False)\n--\n\n"),
    static_method_def<kSTP, &TempDataObject_STP, Param<kinds::AnyObject>, U64Or0, CompressionParam>(
        "STP(payload, version=0, compression_info=None)\n--\n\n"),
    static_method_def<kITP, &TempDataObject_ITP, Param<kinds::AnyObject>, Param<kinds::BytesLike>, U64Or0,
                      CompressionParam>(
        "ITP(interpreterType, payload, interpretatorVersion=0, compression_info=None)\n--\n\n"),
    static_method_def<kVFSD, &TempDataObject_VFSD, Param<kinds::Text>, Param<kinds::AnyObject, OrNone>, U64Or0,
                      U64Or0, U64Or0, U64Or0, Param<kinds::U64, OrNone>, CompressionParam>(
        "VFSD(path, payload=None, version=0, created_ns=0, updated_ns=0, epoch=0, count=None, "
        "compression_info=None)\n--\n\n"),
    static_method_def<kFATManifest, &TempDataObject_FATManifest, Param<kinds::U64>, Param<kinds::U64>,
                      Param<kinds::U64>, Param<kinds::BytesLike, OrNone>, Param<kinds::BytesLike, OrNone>, U64Or0,
                      U64Or0, CompressionParam>(
        "FATManifest(size, part_size, parts_count, payload=None, checksum=None, created_ns=0, version=0, "
        "compression_info=None)\n--\n\n"),
    static_method_def<kDMP, &TempDataObject_DMP, Param<kinds::Text>, Param<kinds::AnyObject>, U64Or0,
                      CompressionParam, Param<kinds::U8, Default<0>>>(
        "DMP(schema_name, payload, version=0, compression_info=None, schema_kind=0)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef TempDataObject_getset[] = {
    getter_def<TempDataObjectObject, Borrow::Exclusive, &TempDataObject_container>("container"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot TempDataObject_slots[] = {
    {Py_tp_doc, const_cast<char*>("TempDataObject(container=None)\n--\n\n")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &TempDataObject_new, Param<kinds::AnyObject, OrNone>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<TempDataObjectObject>)},
    {Py_tp_methods, TempDataObject_methods},
    {Py_tp_getset, TempDataObject_getset},
    {0, nullptr},
};

PyType_Spec TempDataObject_spec = {"duvevodavid.net.objects.TempDataObject", sizeof(TempDataObjectObject), 0,
                                   Py_TPFLAGS_DEFAULT, TempDataObject_slots};

}  // namespace

PyTypeObject* TempDataObjectObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, TempDataObject_spec);
}

}  // namespace zqpy
