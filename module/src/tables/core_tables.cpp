// _core_tables(): twenty keys in publication order; every inner object is new on each call.
#include "tables/core_tables.h"

#include <cstdint>
#include <span>
#include <string_view>

#include "frame/dict_from_pairs.h"
#include "frame/errors.h"
#include "frame/pyref.h"
#include "frame/to_object.h"
#include "tables/canonical_tables.h"
#include "vorn/object_id.h"

namespace zqpy {
namespace {

namespace t = zq::tables;

PyObject* text_tuple(std::span<const std::string_view> texts) {
  PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(texts.size())));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    PyObject* text = to_object(texts[i]);
    if (!text || PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), text) < 0) return nullptr;
  }
  return tuple.release();
}

// table_to_dict: text -> number, in row order.
PyObject* table_to_dict(std::span<const t::NamedCode> rows) {
  return dict_from_pairs(rows, [](const t::NamedCode& row) { return to_object(row.name); },
                         [](const t::NamedCode& row) { return PyLong_FromLong(row.code); });
}

PyObject* text_map(std::span<const t::TextPair> rows) {
  return dict_from_pairs(rows, [](const t::TextPair& row) { return to_object(row.from); },
                         [](const t::TextPair& row) { return to_object(row.to); });
}

PyObject* compression_rows() {
  return dict_from_pairs(
      t::in_types_compression(), [](const t::InTypeCompression& row) { return PyLong_FromLong(row.code); },
      [](const t::InTypeCompression& row) { return to_object(std::optional<zq::CompressionInfo>(row.info)); });
}

PyObject* object_types() {
  return dict_from_pairs(
      zq::object_types(), [](const zq::ObjectType& type) { return PyLong_FromLong(type.code); },
      [](const zq::ObjectType& type) { return to_object(type.name); });
}

PyObject* object_id_ranges() {
  return dict_from_pairs(
      zq::object_id_ranges(), [](const zq::ObjectIdRange& range) { return PyLong_FromLong(range.object_type); },
      [](const zq::ObjectIdRange& range) { return Py_BuildValue("(KK)", range.start, range.end); });
}

PyObject* core_tables(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* {
    PyRef result(PyDict_New());
    if (!result) return nullptr;
    const auto add = [&](const char* key, PyObject* value) {
      PyRef owned(value);
      return owned && PyDict_SetItemString(result.get(), key, owned.get()) == 0;
    };
    const bool built =
        add("zq_core_domains", text_tuple(t::zq_core_domains())) &&
        add("zq_sys_domains", text_tuple(t::zq_sys_domains())) &&
        add("zq_domains", text_tuple(t::zq_domains())) &&
        add("base_transport", to_object(t::kBaseTransport)) &&
        add("base_method", to_object(t::kBaseMethod)) &&
        add("base_route", to_object(t::kBaseRoute)) &&
        add("common_transports", table_to_dict(t::common_transports())) &&
        add("common_methods", table_to_dict(t::common_methods())) &&
        add("common_routes", table_to_dict(t::common_routes())) &&
        add("common_dataTypes", table_to_dict(t::common_data_types())) &&
        add("common_compressTypes", table_to_dict(t::common_compress_types())) &&
        add("common_inTypes", table_to_dict(t::common_in_types())) &&
        add("in_types_compression", compression_rows()) &&
        add("legacy_mime_to_intype", text_map(t::legacy_mime_to_intype())) &&
        add("legacy_intype_to_mime", text_map(t::legacy_intype_to_mime())) &&
        add("file_extension_to_intype", text_map(t::file_extension_to_intype())) &&
        add("vorn_object_types", object_types()) &&
        add("vorn_ranges", object_id_ranges()) &&
        add("vorn_object_id_start", PyLong_FromLong(100000)) &&
        add("vorn_object_id_end", PyLong_FromUnsignedLongLong(std::uint64_t{1} << 48));
    return built ? result.release() : nullptr;
  });
}

PyMethodDef kCoreTablesDef = {
    "_core_tables", &core_tables, METH_NOARGS,
    "_core_tables()\n--\n\nВозвращает все канонические таблицы ядра одним словарём; слой Python "
    "раскладывает их по именам и строит обратные отображения."};

}  // namespace

PyMethodDef* core_tables_def() { return &kCoreTablesDef; }

}  // namespace zqpy
