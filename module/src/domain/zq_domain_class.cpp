// ZQDomain.isSys(domain) and ZQDomain.isCore(domain).
#include "domain/zq_domain_class.h"

#include <string_view>

#include "domain/domain_pattern.h"
#include "frame/bind.h"
#include "frame/type_object.h"

namespace zqpy {
namespace {

constexpr auto kIsSys = describe("ZQDomain", "isSys", 1, "domain");
constexpr auto kIsCore = describe("ZQDomain", "isCore", 1, "domain");

bool ZQDomain_isSys(std::string_view domain) { return zq::is_sys_domain(domain); }
bool ZQDomain_isCore(std::string_view domain) { return zq::is_core_domain(domain); }

PyMethodDef ZQDomain_methods[] = {
    static_method_def<kIsSys, &ZQDomain_isSys, Param<kinds::Text>>("isSys(domain)\n--\n\n"),
    static_method_def<kIsCore, &ZQDomain_isCore, Param<kinds::Text>>("isCore(domain)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot ZQDomain_slots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "Классификатор доменов ZQ, `duvevodavid.net.domains.ZQDomain`.\n\n"
                    "Семантика один в один совпадает с эталонной реализацией на чистом Python, включая "
                    "асимметрию: `isSys` сравнивает суффикс с границей по точке, а `isCore` — без точки, "
                    "поэтому isCore(\"score\") равно True. Логика находится в ядре.")},
    {Py_tp_methods, ZQDomain_methods},
    {0, nullptr},
};

PyType_Spec ZQDomain_spec = {"duvevodavid.net.domains.ZQDomain", 0, 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION, ZQDomain_slots};

}  // namespace

PyTypeObject* ZQDomainObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, ZQDomain_spec);
}

}  // namespace zqpy
