// Url(url=None): construction from text or another Url, the component properties, the text
// forms (whole and by parts) and the four static address helpers.
#include "url/url_class.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/bind.h"
#include "frame/pyref.h"
#include "frame/type_object.h"
#include "url/address.h"
#include "url/query_value_object.h"
#include "url/url_printer.h"

namespace zqpy {
namespace {

using OptionalText = std::optional<std::string_view>;

constexpr auto kNew = describe("Url", "__new__", 0, "url");
constexpr auto kSetUrl = describe("Url", "setUrl", 1, "url");
constexpr auto kBuild = describe("Url", "build", 1, "parts");
constexpr auto kIpv4WithPort = describe("Url", "ipv4_with_port_to_ipv6_with_port", 1, "ipv4");
constexpr auto kIpAndPort = describe("Url", "ip_and_port_to_ipv6_with_port", 2, "ip", "port");
constexpr auto kIpToIpv6 = describe("Url", "ip_to_ipv6", 1, "ip");
constexpr auto kIpv6WithPort = describe("Url", "ipv6_with_port_to_ipv6_and_port", 1, "ipv6");

PyObject* raise_url_error(const zq::UrlError& error) {
  const std::string text = zq::display_url_error(error);
  PyRef message(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  if (message) PyErr_SetObject(PyExc_ValueError, message.get());
  return nullptr;
}

PyObject* text_or_none(const std::optional<zq::Text>& text) {
  if (!text) Py_RETURN_NONE;
  return PyUnicode_FromStringAndSize(text->data(), static_cast<Py_ssize_t>(text->size()));
}

std::optional<zq::Text> stored(OptionalText text) {
  return text ? std::optional<zq::Text>(std::in_place, *text) : std::nullopt;
}

// Copies the record of another instance under a shared borrow of it, which fails with
// "Already mutably borrowed" while that instance is in a setter or setUrl.
bool copy_record(PyObject* source, zq::Url& out) {
  UrlObject* other = as_instance<UrlObject>(source);
  BorrowGuard<Borrow::Shared> borrow(other->borrow);
  if (!borrow.acquire()) return false;
  zq::assign_url(out, other->record);
  return true;
}

// Sets `out` to whether `obj` is a Url. False with an exception set when the type cannot be built.
bool is_url(PyObject* obj, bool& out) {
  PyTypeObject* type = UrlObject::type();
  if (!type) return false;
  out = PyObject_TypeCheck(obj, type);
  return true;
}

// A Url gives its components without isIp; a str is parsed, the empty one giving the defaults.
// Text is parsed straight into the new instance's fresh record (what parse_url does, without
// moving the record twice); on failure the instance is dropped.
PyObject* Url_new(PyTypeObject* cls, PyObject* url) {
  bool from_url = false;
  std::string_view text;
  // A str, the usual argument, is taken without the test for a Url (no Url is a str).
  if (url && !PyUnicode_Check(url) && !is_url(url, from_url)) return nullptr;
  if (url && !from_url && !kinds::Text::convert(url, text)) return nullptr;
  PyRef instance(new_instance<UrlObject>(cls));
  if (!instance) return nullptr;
  zq::Url& record = as_instance<UrlObject>(instance.get())->record;
  if (from_url) {
    if (!copy_record(url, record)) return nullptr;
    record.isIp = false;
  } else if (!text.empty()) {
    zq::Result<void, zq::UrlError> parsed = zq::parse_url_into(record, text);
    if (!parsed.ok()) return raise_url_error(parsed.error());
  }
  return instance.release();
}

// A Url replaces every component but isIp. A str is parsed into the live record, which keeps
// what the parser wrote before a failure.
PyObject* Url_setUrl(zq::Url& record, PyObject* url) {
  bool from_url = false;
  if (!is_url(url, from_url)) return nullptr;
  if (from_url) {
    const bool is_ip = record.isIp;
    if (!copy_record(url, record)) return nullptr;
    record.isIp = is_ip;
    Py_RETURN_NONE;
  }
  std::string_view text;
  if (!kinds::Text::convert(url, text)) return nullptr;
  zq::Result<void, zq::UrlError> parsed = zq::parse_url_into(record, text);
  if (!parsed.ok()) return raise_url_error(parsed.error());
  Py_RETURN_NONE;
}

// The UrlParts flags of the names given; unknown names ("port" among them) select nothing.
zq::UrlParts parts_to_mask(const std::vector<std::string>& parts) {
  static constexpr std::pair<std::string_view, zq::UrlParts> kNames[] = {
      {"transport", zq::UrlParts::Transport}, {"route", zq::UrlParts::Route},
      {"scheme", zq::UrlParts::Scheme},       {"hostname", zq::UrlParts::Hostname},
      {"path", zq::UrlParts::Path},           {"params", zq::UrlParts::Params},
      {"fragment", zq::UrlParts::Fragment},
  };
  auto mask = static_cast<zq::UrlParts>(0);
  for (const std::string& part : parts) {
    for (const auto& [name, flag] : kNames) {
      if (part == name) mask = mask | flag;
    }
  }
  return mask;
}

// Printed on the stack and decoded into the str, without a std::string between them.
PyObject* Url_build(const zq::Url& record, std::vector<std::string> parts) {
  return to_object(zq::PrintedUrl(record, parts_to_mask(parts)).view());
}

PyObject* Url_toString(const zq::Url& record) { return to_object(zq::PrintedUrl(record).view()); }

PyObject* Url_get_transport(const zq::Url& record) { return text_or_none(record.transport); }
PyObject* Url_get_route(const zq::Url& record) { return text_or_none(record.route); }
PyObject* Url_get_fragment(const zq::Url& record) { return text_or_none(record.fragment); }
PyObject* Url_get_path(const zq::Url& record) { return to_object(std::string_view(record.path)); }
PyObject* Url_get_isIp(const zq::Url& record) { return PyBool_FromLong(record.isIp); }
PyObject* Url_get_params(const zq::Url& record) { return params_to_dict(record.params); }

PyObject* Url_get_scheme(const zq::Url& record) {
  if (record.scheme.empty()) Py_RETURN_NONE;
  return to_object(std::string_view(record.scheme));
}

PyObject* Url_get_hostname(const zq::Url& record) {
  if (!record.hostname) Py_RETURN_NONE;
  if (!record.port) return text_or_none(record.hostname);
  std::string text;
  text.reserve(record.hostname->size() + 23);
  text += '[';
  text += *record.hostname;
  text += "]:";
  text += std::to_string(*record.port);
  return to_object(std::string_view(text));
}

int Url_set_transport(zq::Url& record, OptionalText v) {
  record.transport = stored(v);
  return 0;
}
int Url_set_route(zq::Url& record, OptionalText v) {
  record.route = stored(v);
  return 0;
}
int Url_set_fragment(zq::Url& record, OptionalText v) {
  record.fragment = stored(v);
  return 0;
}
// None stores the empty scheme, which reads back as None.
int Url_set_scheme(zq::Url& record, OptionalText v) {
  record.scheme.assign(v.value_or(std::string_view()));
  return 0;
}
int Url_set_path(zq::Url& record, std::string_view v) {
  record.path.assign(v);
  return 0;
}
int Url_set_isIp(zq::Url& record, bool v) {
  record.isIp = v;
  return 0;
}
// All or nothing: the stored parameters change only once every item has converted.
int Url_set_params(zq::Url& record, PyObject* value) {
  zq::QueryParams params;
  if (!dict_to_params(value, params)) return -1;
  record.params = std::move(params);
  return 0;
}

std::string Url_ip_to_ipv6(std::string_view ip) { return zq::ip_to_ipv6(ip); }

std::string Url_ip_and_port_to_ipv6_with_port(std::string_view ip, std::uint64_t port) {
  return zq::ip_and_port_to_ipv6_with_port(ip, port);
}

std::string Url_ipv4_with_port_to_ipv6_with_port(std::string_view ipv4) {
  return zq::ipv4_with_port_to_ipv6_with_port(ipv4);
}

PyObject* Url_ipv6_with_port_to_ipv6_and_port(std::string_view ipv6) {
  zq::Result<zq::HostAndPort, zq::UrlError> split = zq::ipv6_with_port_to_ipv6_and_port(ipv6);
  if (!split.ok()) return raise_url_error(split.error());
  const std::string& host = split->host;
  return Py_BuildValue("(s#K)", host.data(), static_cast<Py_ssize_t>(host.size()),
                       static_cast<unsigned long long>(split->port));
}

constexpr char kSchemeDoc[] =
    "Пустая схема ядра (Url ещё не сформирован) читается в Python как None.";
constexpr char kHostnameDoc[] =
    "Хост в Python-форме `[host]:port` (или просто хост, если порт не задан). В этой версии "
    "свойство только для чтения: хост меняется через setUrl.";
constexpr char kParamsDoc[] =
    "Параметры запроса как словарь Python; значения — то, что даёт `ast.literal_eval`, как в "
    "эталонной реализации на чистом Python.";

PyMethodDef Url_methods[] = {
    method_def<kSetUrl, UrlObject, Borrow::Exclusive, &Url_setUrl, Param<kinds::AnyObject>>(
        "setUrl($self, url)\n--\n\n"),
    method_def<kBuild, UrlObject, Borrow::Shared, &Url_build, Param<kinds::TextSequence>>(
        "build($self, parts)\n--\n\n"),
    noargs_method_def<UrlObject, Borrow::Shared, &Url_toString>("toString", "toString($self)\n--\n\n"),
    static_method_def<kIpv4WithPort, &Url_ipv4_with_port_to_ipv6_with_port, Param<kinds::Text>>(
        "ipv4_with_port_to_ipv6_with_port(ipv4)\n--\n\n"),
    static_method_def<kIpAndPort, &Url_ip_and_port_to_ipv6_with_port, Param<kinds::Text>, Param<kinds::U64>>(
        "ip_and_port_to_ipv6_with_port(ip, port)\n--\n\n"),
    static_method_def<kIpToIpv6, &Url_ip_to_ipv6, Param<kinds::Text>>("ip_to_ipv6(ip)\n--\n\n"),
    static_method_def<kIpv6WithPort, &Url_ipv6_with_port_to_ipv6_and_port, Param<kinds::Text>>(
        "ipv6_with_port_to_ipv6_and_port(ipv6)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

using TextOrNone = Param<kinds::Text, OrNone>;

// The setters convert their value before they take the instance, so Python code that the
// conversion runs (a NumPy boolean's __bool__) may still use the same Url.
constexpr auto kSetV = describe_setter("v").converting_first();
constexpr auto kSetParams = describe_setter("value").converting_first();

PyGetSetDef Url_getset[] = {
    property_def<UrlObject, &Url_get_transport, TextOrNone, kSetV, &Url_set_transport>("transport"),
    property_def<UrlObject, &Url_get_route, TextOrNone, kSetV, &Url_set_route>("route"),
    property_def<UrlObject, &Url_get_scheme, TextOrNone, kSetV, &Url_set_scheme>("scheme", kSchemeDoc),
    getter_def<UrlObject, Borrow::Shared, &Url_get_hostname>("hostname", kHostnameDoc),
    property_def<UrlObject, &Url_get_path, Param<kinds::Text>, kSetV, &Url_set_path>("path"),
    property_def<UrlObject, &Url_get_fragment, TextOrNone, kSetV, &Url_set_fragment>("fragment"),
    property_def<UrlObject, &Url_get_isIp, Param<kinds::Boolean>, kSetV, &Url_set_isIp>("isIp"),
    property_def<UrlObject, &Url_get_params, Param<kinds::Dict>, kSetParams, &Url_set_params>("params",
                                                                                                kParamsDoc),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot Url_slots[] = {
    {Py_tp_doc, const_cast<char*>("Url(url=None)\n--\n\n`duvevodavid.net.objects.Url`.")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &Url_new, Param<kinds::AnyObject, OrNone>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<UrlObject>)},
    {Py_tp_str, reinterpret_cast<void*>(&unary_slot<UrlObject, Borrow::Shared, &Url_toString>)},
    {Py_tp_methods, Url_methods},
    {Py_tp_getset, Url_getset},
    {0, nullptr},
};

PyType_Spec Url_spec = {"duvevodavid.net.objects.Url", sizeof(UrlObject), 0, Py_TPFLAGS_DEFAULT, Url_slots};

}  // namespace

bool url_from_object(PyObject* obj, zq::Url& out) {
  bool from_url = false;
  if (!is_url(obj, from_url)) return false;
  if (!from_url) {
    PyErr_SetString(PyExc_TypeError, "url must be a Url");
    return false;
  }
  return copy_record(obj, out);
}

PyObject* url_to_object(const zq::Url& url) {
  PyTypeObject* type = UrlObject::type();
  if (!type) return nullptr;
  PyRef instance(new_instance<UrlObject>(type));
  if (!instance) return nullptr;
  zq::assign_url(as_instance<UrlObject>(instance.get())->record, url);
  return instance.release();
}

PyTypeObject* UrlObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, Url_spec);
}

}  // namespace zqpy
