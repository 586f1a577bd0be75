// Start-up of duvevodavid._zqobjects: the module definition, its one execution step, and the
// ordered list of what that step adds to the module.
#include "container/dmp_class.h"
#include "container/fat_manifest_class.h"
#include "container/itp_class.h"
#include "container/stp_class.h"
#include "container/vfsd_class.h"
#include "domain/domain_matcher_classes.h"
#include "domain/zq_domain_class.h"
#include "frame/cached.h"
#include "frame/errors.h"
#include "frame/pyref.h"
#include "frame/python.h"
#include "message/request_class.h"
#include "message/response_class.h"
#include "payload/temp_data_object_class.h"
#include "status/command_class.h"
#include "tables/core_tables.h"
#include "url/url_class.h"
#include "vorn/vorn_class.h"

namespace zqpy {
namespace {

struct ClassEntry {
  const char* name;
  PyTypeObject* (*type)();
};

// Registration order is the order of __all__.
constexpr ClassEntry kClasses[] = {
    {"ZQDomain", &ZQDomainObject::type},
    {"CompiledDomainPattern", &CompiledDomainPatternObject::type},
    {"DomainMatcher", &DomainMatcherObject::type},
    {"DomainMatcherList", &DomainMatcherListObject::type},
    {"DomainMatcherDict", &DomainMatcherDictObject::type},
    {"VORNObject", &VORNObjectObject::type},
    {"Url", &UrlObject::type},
    {"CommandObject", &CommandObjectObject::type},
    {"STPContainer", &STPContainerObject::type},
    {"ITPContainer", &ITPContainerObject::type},
    {"VFSDContainer", &VFSDContainerObject::type},
    {"FATManifestContainer", &FATManifestContainerObject::type},
    {"DMPContainer", &DMPContainerObject::type},
    {"TempDataObject", &TempDataObjectObject::type},
    {"ZQRequest", &ZQRequestObject::type},
    {"ZQResponse", &ZQResponseObject::type},
};

// Appends `name` to the module's __all__ (made as an empty list when missing), then sets the
// attribute.
int add_to_module(PyObject* module, const char* name, PyObject* obj) {
  PyObject* all_name = cached::all_name();
  if (!all_name) return -1;
  PyRef all(PyObject_GetAttr(module, all_name));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = PyRef(PyList_New(0));
    if (!all || PyObject_SetAttr(module, all_name, all.get()) < 0) return -1;
  }
  if (!PyList_Check(all.get())) {
    raise_downcast_error(all.get(), "list");
    return -1;
  }
  PyRef text(PyUnicode_InternFromString(name));  // interned anyway as an attribute name
  if (!text || PyList_Append(all.get(), text.get()) < 0) return -1;
  return PyObject_SetAttr(module, text.get(), obj);
}

int zqobjects_exec(PyObject* module) {
  return guarded([&]() -> int {
    if (!PyModule_Check(module)) {
      raise_downcast_error(module, "module");
      return -1;
    }
    for (const ClassEntry& entry : kClasses) {
      PyTypeObject* type = entry.type();
      if (!type || add_to_module(module, entry.name, reinterpret_cast<PyObject*>(type)) < 0) return -1;
    }
    // Last, the one function, bound to the module and named by its __name__.
    PyRef name(PyModule_GetNameObject(module));
    PyRef function(name ? PyCFunction_NewEx(core_tables_def(), module, name.get()) : nullptr);
    if (!function) return -1;
    return add_to_module(module, core_tables_def()->ml_name, function.get());
  });
}

PyModuleDef_Slot zqobjects_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&zqobjects_exec)},
    {0, nullptr},
};

PyModuleDef zqobjects_module = {
    PyModuleDef_HEAD_INIT,
    "_zqobjects",
    "Нативный модуль расширения `duvevodavid._zqobjects`: быстрый объектный слой системы ZQ на C++.\n\n"
    "Имя функции инициализации следует из имени модуля: `PyInit__zqobjects`.\n\n"
    "Модуль помечен как не нуждающийся в глобальной блокировке интерпретатора (GIL): при импорте в "
    "интерпретаторе со свободными потоками блокировка не включается, обычный интерпретатор "
    "эту отметку просто игнорирует. Ядро модуля потокобезопасно.",
    0,
    nullptr,
    zqobjects_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace zqpy

PyMODINIT_FUNC PyInit__zqobjects() { return PyModuleDef_Init(&zqpy::zqobjects_module); }
