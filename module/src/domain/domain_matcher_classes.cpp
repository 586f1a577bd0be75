// DomainMatcher(), CompiledDomainPattern, DomainMatcherList(patterns) and
// DomainMatcherDict(pattern_map).
#include "domain/domain_matcher_classes.h"

#include <string>
#include <string_view>
#include <vector>

#include "frame/bind.h"
#include "frame/pyref.h"
#include "frame/type_object.h"

namespace zqpy {
namespace {

constexpr auto kMatcherNew = describe("DomainMatcher", "__new__", 0);
constexpr auto kMatcherMatch = describe("DomainMatcher", "match", 2, "pattern", "domain");
constexpr auto kMatcherCompile = describe("DomainMatcher", "compile", 1, "pattern");
constexpr auto kMatcherMatchCompiled = describe("DomainMatcher", "match_compiled", 2, "compiled", "s");
constexpr auto kPatternMatch = describe("CompiledDomainPattern", "match", 1, "s");
constexpr auto kListNew = describe("DomainMatcherList", "__new__", 1, "patterns");
constexpr auto kListMatchAny = describe("DomainMatcherList", "match_any", 1, "domain");
constexpr auto kDictNew = describe("DomainMatcherDict", "__new__", 1, "pattern_map");
constexpr auto kDictMatch = describe("DomainMatcherDict", "match", 1, "domain");

// CompiledDomainPattern

bool CompiledDomainPattern_match(const zq::CompiledDomainPattern& pattern, std::string_view s) {
  return zq::match_domain_pattern(pattern, s);
}

PyMethodDef CompiledDomainPattern_methods[] = {
    method_def<kPatternMatch, CompiledDomainPatternObject, Borrow::None, &CompiledDomainPattern_match,
               Param<kinds::Text>>(
        "match($self, s)\n--\n\nПолное (якорное) совпадение строки с шаблоном; возвращает bool, а не `re.Match`."),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot CompiledDomainPattern_slots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "Скомпилированный доменный шаблон: аналог `re.Pattern`, который возвращает "
                    "`DomainMatcher.compile` в эталонной реализации на чистом Python.\n\n"
                    "Отличие от эталона: там `compile` даёт настоящий `re.Pattern`, здесь — этот объект "
                    "с булевым `match`. Внутренним потребителям скомпилированных шаблонов "
                    "(`match_compiled`, `DomainMatcherList`, `DomainMatcherDict`) нужно только булево "
                    "совпадение, а объекты `re.Match` система наружу не передаёт.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<CompiledDomainPatternObject>)},
    {Py_tp_methods, CompiledDomainPattern_methods},
    {0, nullptr},
};

PyType_Spec CompiledDomainPattern_spec = {"duvevodavid.net.tools.CompiledDomainPattern",
                                          sizeof(CompiledDomainPatternObject), 0,
                                          Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
                                          CompiledDomainPattern_slots};

// DomainMatcher

PyObject* DomainMatcher_new(PyTypeObject* cls) { return new_instance<DomainMatcherObject>(cls, zq::DomainPatternCache()); }

bool DomainMatcher_match(zq::DomainPatternCache& cache, std::string_view pattern, std::string_view domain) {
  return zq::match_domain_pattern(zq::compile_cached(cache, pattern), domain);
}

// A new object each call, holding its own copy of the cached pattern.
PyObject* DomainMatcher_compile(zq::DomainPatternCache& cache, std::string_view pattern) {
  PyTypeObject* type = CompiledDomainPatternObject::type();
  if (!type) return nullptr;
  return new_instance<CompiledDomainPatternObject>(type, zq::CompiledDomainPattern(zq::compile_cached(cache, pattern)));
}

bool DomainMatcher_match_compiled(const zq::DomainPatternCache&, CompiledDomainPatternObject* compiled,
                                  std::string_view s) {
  return zq::match_domain_pattern(compiled->record, s);
}

PyMethodDef DomainMatcher_methods[] = {
    method_def<kMatcherMatch, DomainMatcherObject, Borrow::Exclusive, &DomainMatcher_match, Param<kinds::Text>,
               Param<kinds::Text>>(
        "match($self, pattern, domain)\n--\n\nСопоставляет шаблон с доменом, как `match` эталонной реализации."),
    method_def<kMatcherCompile, DomainMatcherObject, Borrow::Exclusive, &DomainMatcher_compile, Param<kinds::Text>>(
        "compile($self, pattern)\n--\n\nКомпилирует шаблон (с кэшированием) и возвращает `CompiledDomainPattern`."),
    method_def<kMatcherMatchCompiled, DomainMatcherObject, Borrow::Shared, &DomainMatcher_match_compiled,
               Param<kinds::InstanceOf<CompiledDomainPatternObject>>, Param<kinds::Text>>(
        "match_compiled($self, compiled, s)\n--\n\nСопоставляет уже скомпилированный шаблон со строкой, "
        "как `match_compiled` эталонной реализации."),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot DomainMatcher_slots[] = {
    {Py_tp_doc, const_cast<char*>("DomainMatcher()\n--\n\n`duvevodavid.net.tools.DomainMatcher`: сопоставитель "
                                  "доменных шаблонов с кэшем компиляции.")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kMatcherNew, &DomainMatcher_new>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<DomainMatcherObject>)},
    {Py_tp_methods, DomainMatcher_methods},
    {0, nullptr},
};

PyType_Spec DomainMatcher_spec = {"duvevodavid.net.tools.DomainMatcher", sizeof(DomainMatcherObject), 0,
                                  Py_TPFLAGS_DEFAULT, DomainMatcher_slots};

// DomainMatcherList

PyObject* DomainMatcherList_new(PyTypeObject* cls, std::vector<std::string> patterns) {
  return new_instance<DomainMatcherListObject>(cls, zq::build_domain_matcher_list(patterns));
}

bool DomainMatcherList_match_any(const zq::DomainMatcherList& list, std::string_view domain) {
  return zq::match_any(list, domain);
}

PyMethodDef DomainMatcherList_methods[] = {
    method_def<kListMatchAny, DomainMatcherListObject, Borrow::Shared, &DomainMatcherList_match_any,
               Param<kinds::Text>>("match_any($self, domain)\n--\n\nСовпадает ли домен хотя бы с одним шаблоном."),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot DomainMatcherList_slots[] = {
    {Py_tp_doc, const_cast<char*>("DomainMatcherList(patterns)\n--\n\n`duvevodavid.net.tools.DomainMatcherList`: "
                                  "набор шаблонов с проверкой `match_any`.")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kListNew, &DomainMatcherList_new, Param<kinds::TextSequence>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<DomainMatcherListObject>)},
    {Py_tp_methods, DomainMatcherList_methods},
    {0, nullptr},
};

PyType_Spec DomainMatcherList_spec = {"duvevodavid.net.tools.DomainMatcherList", sizeof(DomainMatcherListObject), 0,
                                      Py_TPFLAGS_DEFAULT, DomainMatcherList_slots};

// DomainMatcherDict

// Reads a snapshot of the items (a list of its own, in the order .items() gives), so that a
// value's __index__ changing the dict meets only the snapshot; the record is built only once
// every item has converted. Item errors carry no argument note.
PyObject* DomainMatcherDict_new(PyTypeObject* cls, PyObject* pattern_map) {
  PyRef items(PyMapping_Items(pattern_map));
  if (!items) return nullptr;
  const Py_ssize_t count = PyList_Size(items.get());
  if (count < 0) return nullptr;
  std::vector<zq::DomainPatternValue> pairs;
  pairs.reserve(static_cast<std::size_t>(count));
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* item = PyList_GetItem(items.get(), i);
    if (!item) return nullptr;
    if (!PyTuple_Check(item) || PyTuple_Size(item) != 2) return raise_downcast_error(item, "tuple");
    zq::DomainPatternValue pair{};
    if (!kinds::Text::convert(PyTuple_GetItem(item, 0), pair.pattern) ||
        !kinds::I64::convert(PyTuple_GetItem(item, 1), pair.value)) {
      return nullptr;
    }
    pairs.push_back(pair);
  }
  return new_instance<DomainMatcherDictObject>(cls, zq::build_domain_matcher_dict(pairs));
}

std::optional<std::int64_t> DomainMatcherDict_match(const zq::DomainMatcherDict& dict, std::string_view domain) {
  return zq::match_first(dict, domain);
}

PyMethodDef DomainMatcherDict_methods[] = {
    method_def<kDictMatch, DomainMatcherDictObject, Borrow::Shared, &DomainMatcherDict_match, Param<kinds::Text>>(
        "match($self, domain)\n--\n\nЗначение первого совпавшего шаблона, иначе `None`."),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot DomainMatcherDict_slots[] = {
    {Py_tp_doc, const_cast<char*>("DomainMatcherDict(pattern_map)\n--\n\n`duvevodavid.net.tools.DomainMatcherDict`: "
                                  "отображение шаблона в int; `match` даёт значение первого совпадения или `None`.")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kDictNew, &DomainMatcherDict_new, Param<kinds::Dict>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<DomainMatcherDictObject>)},
    {Py_tp_methods, DomainMatcherDict_methods},
    {0, nullptr},
};

PyType_Spec DomainMatcherDict_spec = {"duvevodavid.net.tools.DomainMatcherDict", sizeof(DomainMatcherDictObject), 0,
                                      Py_TPFLAGS_DEFAULT, DomainMatcherDict_slots};

}  // namespace

PyTypeObject* CompiledDomainPatternObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, CompiledDomainPattern_spec);
}

PyTypeObject* DomainMatcherObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, DomainMatcher_spec);
}

PyTypeObject* DomainMatcherListObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, DomainMatcherList_spec);
}

PyTypeObject* DomainMatcherDictObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, DomainMatcherDict_spec);
}

}  // namespace zqpy
