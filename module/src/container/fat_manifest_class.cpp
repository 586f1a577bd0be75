// FATManifestContainer(size, part_size, parts_count, payload=None, checksum=None, created_ns=0,
// version=0, compression_info=None).
#include "container/fat_manifest_class.h"

#include <algorithm>

#include "container/container_class.h"
#include "container/headers.h"
#include "frame/bind.h"
#include "frame/pyref.h"
#include "frame/type_object.h"

namespace zqpy {
namespace {

constexpr std::size_t kPartIdSize = 32;
constexpr std::size_t kChecksumSize = 16;

// A new list of the consecutive `size`-byte pieces of `bytes`; a shorter tail is left out.
PyObject* chunk_bytes(zq::ByteView bytes, std::size_t size) {
  const std::size_t count = bytes.size() / size;
  PyRef list(PyList_New(static_cast<Py_ssize_t>(count)));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    PyObject* piece = to_object(bytes.subspan(i * size, size));
    if (!piece) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), piece);  // steals
  }
  return list.release();
}

}  // namespace

bool build_fat_manifest(std::uint64_t size, std::uint64_t part_size, std::uint64_t parts_count,
                        std::optional<zq::Bytes> payload, std::optional<zq::Bytes> checksum,
                        std::uint64_t created_ns, std::uint64_t version,
                        std::optional<zq::CompressionInfo> compression_info, zq::FATManifestContainer& out) {
  if (checksum && checksum->size() != kChecksumSize) {
    PyErr_SetString(PyExc_ValueError, "checksum must be bytes(16)");
    return false;
  }
  if (part_size < zq::kMinFatPartSize) {
    core_error_to_value_error(zq::WireError::invalid("part_size must be >= 1024 bytes"));
    return false;
  }
  zq::Bytes ids = payload ? std::move(*payload) : zq::Bytes();
  if (ids.size() % kPartIdSize != 0) {
    core_error_to_value_error(zq::WireError::invalid("FAT manifest payload length must be divisible by 32"));
    return false;
  }
  out.size = size;
  out.part_size = part_size;
  out.parts_count = parts_count;
  out.payload = std::move(ids);
  if (checksum) std::copy(checksum->begin(), checksum->end(), out.checksum.emplace().begin());
  out.created_ns = created_ns;
  out.version = version;
  out.compression_info = compression_info;
  return true;
}

namespace {

constexpr auto kNew = describe("FATManifestContainer", "__new__", 3, "size", "part_size", "parts_count", "payload",
                               "checksum", "created_ns", "version", "compression_info");
constexpr auto kDeserialize = describe("FATManifestContainer", "deserialize", 1, "data");

PyObject* FATManifestContainer_new(PyTypeObject* cls, std::uint64_t size, std::uint64_t part_size,
                                   std::uint64_t parts_count, std::optional<zq::Bytes> payload,
                                   std::optional<zq::Bytes> checksum, std::uint64_t created_ns, std::uint64_t version,
                                   std::optional<zq::CompressionInfo> compression_info) {
  zq::FATManifestContainer record;
  if (!build_fat_manifest(size, part_size, parts_count, std::move(payload), std::move(checksum), created_ns, version,
                          compression_info, record)) {
    return nullptr;
  }
  return new_instance<FATManifestContainerObject>(cls, std::move(record));
}

std::uint64_t FAT_size(const zq::FATManifestContainer& record) { return record.size; }
std::uint64_t FAT_part_size(const zq::FATManifestContainer& record) { return record.part_size; }
std::uint64_t FAT_parts_count(const zq::FATManifestContainer& record) { return record.parts_count; }
std::uint64_t FAT_created_ns(const zq::FATManifestContainer& record) { return record.created_ns; }
PyObject* FAT_checksum(const zq::FATManifestContainer& record) {
  if (!record.checksum) Py_RETURN_NONE;
  return to_object(zq::ByteView(*record.checksum));
}
PyObject* FAT_parts_abs_ids(const zq::FATManifestContainer& record) { return chunk_bytes(record.payload, kPartIdSize); }

constexpr char kPartsAbsIdsDoc[] = "abs_id частей файла, по 32 байта каждый, в порядке частей.";

PyMethodDef FATManifestContainer_methods[] = {
    noargs_method_def<FATManifestContainerObject, Borrow::Shared, &zq::encode_fat_manifest>("serialize",
                                                                                           kSerializeDoc),
    static_method_def<kDeserialize, &deserialize_container<FATManifestContainerObject, &zq::decode_fat_manifest>,
                      Param<kinds::BytesOnly>>(kDeserializeDoc),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef FATManifestContainer_getset[] = {
    getter_def<FATManifestContainerObject, Borrow::Shared, &version_of<zq::FATManifestContainer>>("version"),
    getter_def<FATManifestContainerObject, Borrow::Shared, &FAT_size>("size"),
    getter_def<FATManifestContainerObject, Borrow::Shared, &FAT_part_size>("part_size"),
    getter_def<FATManifestContainerObject, Borrow::Shared, &FAT_parts_count>("parts_count"),
    getter_def<FATManifestContainerObject, Borrow::Shared, &FAT_created_ns>("created_ns"),
    getter_def<FATManifestContainerObject, Borrow::Shared, &FAT_checksum>("checksum"),
    getter_def<FATManifestContainerObject, Borrow::Shared, &compression_info_of<zq::FATManifestContainer>>(
        "compression_info"),
    getter_def<FATManifestContainerObject, Borrow::Shared, &FAT_parts_abs_ids>("parts_abs_ids", kPartsAbsIdsDoc),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot FATManifestContainer_slots[] = {
    {Py_tp_doc, const_cast<char*>("FATManifestContainer(size, part_size, parts_count, payload=None, checksum=None, "
                                  "created_ns=0, version=0, compression_info=None)\n--\n\n")},
    {Py_tp_new,
     reinterpret_cast<void*>(&constructor<kNew, &FATManifestContainer_new, Param<kinds::U64>, Param<kinds::U64>,
                                          Param<kinds::U64>, Param<kinds::BytesLike, OrNone>,
                                          Param<kinds::BytesLike, OrNone>, Param<kinds::U64, Default<0>>,
                                          Param<kinds::U64, Default<0>>, Param<kinds::Compression, OrNone>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<FATManifestContainerObject>)},
    {Py_tp_methods, FATManifestContainer_methods},
    {Py_tp_getset, FATManifestContainer_getset},
    {0, nullptr},
};

PyType_Spec FATManifestContainer_spec = {"duvevodavid.net.objects.FATManifestContainer",
                                         sizeof(FATManifestContainerObject), 0, Py_TPFLAGS_DEFAULT,
                                         FATManifestContainer_slots};

}  // namespace

PyTypeObject* FATManifestContainerObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, FATManifestContainer_spec);
}

}  // namespace zqpy
