// VFSDContainer(path, payload=None, version=0, created_ns=0, updated_ns=0, epoch=0, count=None,
// compression_info=None).
#include "container/vfsd_class.h"

#include <algorithm>
#include <string>

#include "container/container_class.h"
#include "frame/bind.h"
#include "frame/collect.h"
#include "frame/pyref.h"
#include "frame/type_object.h"

namespace zqpy {
namespace {

constexpr std::size_t kFrameItems = 5;
constexpr std::size_t kAbsIdSize = 32;

}  // namespace

bool frame_from_tuple(PyObject* item, zq::VFSDFrame& out) {
  // Owned references: an element's own conversion may empty the object it came from. One
  // element more than a frame holds is enough to refuse it, so an endless iterable ends.
  std::vector<PyRef> elements;
  auto keep = [](PyObject* element, PyRef& kept) {
    kept = PyRef::borrowed(element);
    return true;
  };
  if (!collect_iterable(item, elements, keep, kFrameItems + 1)) return false;
  if (elements.size() != kFrameItems) {
    PyErr_SetString(PyExc_ValueError, "VFSD frame must be a tuple/list of 5 items");
    return false;
  }
  std::int64_t type = 0;
  if (!kinds::I64::convert(elements[0].get(), type)) return false;
  if (type < 0 || type > 0xffff) {
    PyErr_SetString(PyExc_ValueError, "frame type out of range");
    return false;
  }
  std::string_view name;
  if (!kinds::Text::convert(elements[1].get(), name)) return false;
  zq::Bytes abs_id;
  if (!kinds::BytesLike::convert(elements[2].get(), abs_id)) return false;
  if (abs_id.size() != kAbsIdSize) {
    PyErr_SetString(PyExc_ValueError, "frame abs_id must be bytes(32)");
    return false;
  }
  std::uint64_t updated_ns = 0;
  if (!kinds::U64::convert(elements[3].get(), updated_ns)) return false;
  std::optional<zq::Bytes> payload;
  if (elements[4].get() != Py_None && !kinds::BytesLike::convert(elements[4].get(), payload.emplace())) return false;

  out.type = static_cast<std::uint16_t>(type);
  out.name = std::string(name);
  std::copy(abs_id.begin(), abs_id.end(), out.abs_id.begin());
  out.updated_ns = updated_ns;
  out.payload = std::move(payload);
  return true;
}

PyObject* frame_to_tuple(const zq::VFSDFrame& frame) {
  PyRef items[kFrameItems] = {
      PyRef(PyLong_FromLong(frame.type)),
      PyRef(to_object(std::string_view(frame.name))),
      PyRef(to_object(zq::ByteView(frame.abs_id))),
      PyRef(PyLong_FromUnsignedLongLong(frame.updated_ns)),
      frame.payload ? PyRef(to_object(zq::ByteView(*frame.payload))) : PyRef::borrowed(Py_None),
  };
  for (const PyRef& item : items) {
    if (!item) return nullptr;
  }
  PyRef tuple(PyTuple_New(kFrameItems));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < kFrameItems; ++i) {
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), items[i].release());  // steals
  }
  return tuple.release();
}

PyObject* frames_to_list(const std::vector<zq::VFSDFrame>& frames) {
  PyRef list(PyList_New(static_cast<Py_ssize_t>(frames.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    PyObject* tuple = frame_to_tuple(frames[i]);
    if (!tuple) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), tuple);  // steals
  }
  return list.release();
}

bool build_vfsd_container(std::string_view path, PyObject* payload, std::uint64_t version, std::uint64_t created_ns,
                          std::uint64_t updated_ns, std::uint64_t epoch, std::optional<std::uint64_t> count,
                          std::optional<zq::CompressionInfo> compression_info, zq::VFSDContainer& out) {
  std::vector<zq::VFSDFrame> frames;
  if (payload && !collect_iterable(payload, frames, frame_from_tuple)) return false;
  out.path = std::string(path);
  out.count = count.value_or(frames.size());
  out.frames = std::move(frames);
  out.version = version;
  out.created_ns = created_ns;
  out.updated_ns = updated_ns;
  out.epoch = epoch;
  out.compression_info = compression_info;
  return true;
}

namespace {

constexpr auto kNew = describe("VFSDContainer", "__new__", 1, "path", "payload", "version", "created_ns",
                               "updated_ns", "epoch", "count", "compression_info");
constexpr auto kDeserialize = describe("VFSDContainer", "deserialize", 1, "data");

PyObject* VFSDContainer_new(PyTypeObject* cls, std::string_view path, PyObject* payload, std::uint64_t version,
                            std::uint64_t created_ns, std::uint64_t updated_ns, std::uint64_t epoch,
                            std::optional<std::uint64_t> count, std::optional<zq::CompressionInfo> compression_info) {
  zq::VFSDContainer record;
  if (!build_vfsd_container(path, payload, version, created_ns, updated_ns, epoch, count, compression_info, record)) {
    return nullptr;
  }
  return new_instance<VFSDContainerObject>(cls, std::move(record));
}

std::string_view VFSDContainer_path(const zq::VFSDContainer& record) { return record.path; }
std::uint64_t VFSDContainer_count(const zq::VFSDContainer& record) { return record.count; }
std::uint64_t VFSDContainer_created_ns(const zq::VFSDContainer& record) { return record.created_ns; }
std::uint64_t VFSDContainer_updated_ns(const zq::VFSDContainer& record) { return record.updated_ns; }
std::uint64_t VFSDContainer_epoch(const zq::VFSDContainer& record) { return record.epoch; }
PyObject* VFSDContainer_frames(const zq::VFSDContainer& record) { return frames_to_list(record.frames); }

constexpr char kFramesDoc[] = "Кадры контейнера списком 5-кортежей (в Python: frames и payload).";

PyMethodDef VFSDContainer_methods[] = {
    noargs_method_def<VFSDContainerObject, Borrow::Shared, &zq::encode_vfsd>("serialize", kSerializeDoc),
    static_method_def<kDeserialize, &deserialize_container<VFSDContainerObject, &zq::decode_vfsd>,
                      Param<kinds::BytesOnly>>(kDeserializeDoc),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef VFSDContainer_getset[] = {
    getter_def<VFSDContainerObject, Borrow::Shared, &version_of<zq::VFSDContainer>>("version"),
    getter_def<VFSDContainerObject, Borrow::Shared, &VFSDContainer_path>("path"),
    getter_def<VFSDContainerObject, Borrow::Shared, &VFSDContainer_count>("count"),
    getter_def<VFSDContainerObject, Borrow::Shared, &VFSDContainer_created_ns>("created_ns"),
    getter_def<VFSDContainerObject, Borrow::Shared, &VFSDContainer_updated_ns>("updated_ns"),
    getter_def<VFSDContainerObject, Borrow::Shared, &VFSDContainer_epoch>("epoch"),
    getter_def<VFSDContainerObject, Borrow::Shared, &compression_info_of<zq::VFSDContainer>>("compression_info"),
    getter_def<VFSDContainerObject, Borrow::Shared, &VFSDContainer_frames>("frames", kFramesDoc),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot VFSDContainer_slots[] = {
    {Py_tp_doc, const_cast<char*>("VFSDContainer(path, payload=None, version=0, created_ns=0, updated_ns=0, "
                                  "epoch=0, count=None, compression_info=None)\n--\n\n")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &VFSDContainer_new, Param<kinds::Text>,
                                                     Param<kinds::AnyObject, OrNone>, Param<kinds::U64, Default<0>>,
                                                     Param<kinds::U64, Default<0>>, Param<kinds::U64, Default<0>>,
                                                     Param<kinds::U64, Default<0>>, Param<kinds::U64, OrNone>,
                                                     Param<kinds::Compression, OrNone>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<VFSDContainerObject>)},
    {Py_tp_methods, VFSDContainer_methods},
    {Py_tp_getset, VFSDContainer_getset},
    {0, nullptr},
};

PyType_Spec VFSDContainer_spec = {"duvevodavid.net.objects.VFSDContainer", sizeof(VFSDContainerObject), 0,
                                  Py_TPFLAGS_DEFAULT, VFSDContainer_slots};

}  // namespace

PyTypeObject* VFSDContainerObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, VFSDContainer_spec);
}

}  // namespace zqpy
