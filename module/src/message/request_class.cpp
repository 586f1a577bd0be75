// ZQRequest(method, url, payload=None, cookies=None, transport=None, route=None, origin=None,
// payloadSize=None): the token setters, setUrl and setCookies, serialize and serializeHeader
// with the version to write, the static deserialize, and the getters, transportObject among
// them, which calls the transport parser of the Python side on every read.
#include "message/request_class.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "frame/bind.h"
#include "frame/cached.h"
#include "frame/pyref.h"
#include "frame/type_object.h"
#include "message/message_members.h"
#include "tables/canonical_tables.h"
#include "url/url_class.h"
#include "url/url_printer.h"

namespace zqpy {
namespace {

using OptionalText = std::optional<std::string_view>;

// The class's token defaults; the header's default route ("zq:net") is only the wire's.
constexpr std::string_view kDefaultRoute = "api";

constexpr auto kNew = describe("ZQRequest", "__new__", 2, "method", "url", "payload", "cookies", "transport", "route",
                               "origin", "payloadSize");
constexpr auto kSetMethod = describe("ZQRequest", "setMethod", 1, "method");
constexpr auto kSetUrl = describe("ZQRequest", "setUrl", 1, "url");
constexpr auto kSetRoute = describe("ZQRequest", "setRoute", 0, "route");
constexpr auto kSetTransport = describe("ZQRequest", "setTransport", 0, "transport");
constexpr auto kSetCookies = describe("ZQRequest", "setCookies", 1, "cookies");
// The version is parsed before the instance is taken: its __index__ may still use the request.
constexpr auto kSerialize = describe("ZQRequest", "serialize", 0, "version").converting_first();
constexpr auto kSerializeHeader = describe("ZQRequest", "serializeHeader", 0, "version").converting_first();
constexpr auto kDeserialize = describe("ZQRequest", "deserialize", 1, "data");

std::string_view or_default(OptionalText text, std::string_view fallback) { return text ? *text : fallback; }

// origin and payloadSize are checked by their parameter kinds and then forgotten. The record is
// filled in place in the new instance, which nothing else can reach until it is returned (the
// class has no subclasses and takes no part in garbage collection); a failure drops it.
PyObject* ZQRequest_new(PyTypeObject* cls, std::string_view method, PyObject* url, PyObject* payload,
                        std::optional<PyObject*> cookies, OptionalText transport, OptionalText route, OptionalText,
                        std::optional<std::int64_t>) {
  PyRef instance(new_instance<ZQRequestObject>(cls));
  if (!instance) return nullptr;
  zq::ZQRequest& record = record_in<ZQRequestObject>(instance);
  if (cookies && !dict_to_pairs(*cookies, record.cookies)) return nullptr;
  record.method.assign(method);
  record.transport.assign(or_default(transport, zq::tables::kBaseTransport));
  record.route.assign(or_default(route, kDefaultRoute));
  if (!url_from_object(url, record.url)) return nullptr;
  if (!payload_to_slot(payload, record.payload)) return nullptr;
  return instance.release();
}

PyObject* ZQRequest_setMethod(zq::ZQRequest& record, std::string_view method) {
  record.method.assign(method);
  Py_RETURN_NONE;
}

// The copy is made first, so a refused argument leaves the URL as it was.
PyObject* ZQRequest_setUrl(zq::ZQRequest& record, PyObject* url) {
  zq::Url copy;
  if (!url_from_object(url, copy)) return nullptr;
  record.url = std::move(copy);
  Py_RETURN_NONE;
}

PyObject* ZQRequest_setRoute(zq::ZQRequest& record, OptionalText route) {
  record.route.assign(or_default(route, kDefaultRoute));
  Py_RETURN_NONE;
}

PyObject* ZQRequest_setTransport(zq::ZQRequest& record, OptionalText transport) {
  record.transport.assign(or_default(transport, zq::tables::kBaseTransport));
  Py_RETURN_NONE;
}

PyObject* ZQRequest_setCookies(zq::ZQRequest& record, PyObject* cookies) {
  if (!replace_cookies(record.cookies, cookies)) return nullptr;
  Py_RETURN_NONE;
}

// The record is written with `version` in place of its own, as a copy carrying it would be.
PyObject* ZQRequest_serialize(const zq::ZQRequest& record, std::uint8_t version) {
  zq::WrittenMessage message;
  return message_bytes(zq::write_request(record, version, true, message), message);
}

PyObject* ZQRequest_serializeHeader(const zq::ZQRequest& record, std::uint8_t version) {
  zq::WrittenMessage message;
  return message_bytes(zq::write_request(record, version, false, message), message);
}

PyObject* ZQRequest_deserialize(zq::ByteView data) {
  return message_from_wire<ZQRequestObject, &zq::deserialize_request_into>(data);
}

PyObject* ZQRequest_repr(const zq::ZQRequest& record) {
  const zq::PrintedUrl url(record.url);
  std::string text = "<ZQRequest [";
  text.append(record.transport.view()).append("]: [").append(record.method.view()).append(" ");
  text.append(url.view()).append("]>");
  return to_object(std::string_view(text));
}

PyObject* ZQRequest_method(const zq::ZQRequest& record) { return to_object(std::string_view(record.method)); }
PyObject* ZQRequest_url(const zq::ZQRequest& record) { return url_to_object(record.url); }
PyObject* ZQRequest_route(const zq::ZQRequest& record) { return to_object(std::string_view(record.route)); }
PyObject* ZQRequest_transport(const zq::ZQRequest& record) { return to_object(std::string_view(record.transport)); }

// Imported on every read, so that the parser in force is the one the interpreter has loaded
// now. The caller holds the shared borrow throughout, so the parser cannot change the request.
// A non-empty from-list makes the import return the submodule itself, not the top package.
PyObject* ZQRequest_transportObject(const zq::ZQRequest& record) {
  PyObject* from_list = cached::parse_zq_protocol_from_list();
  PyObject* name = cached::parse_zq_protocol_name();
  if (!from_list || !name) return nullptr;
  PyRef module(PyImport_ImportModuleLevel("duvevodavid.net.zqTransportProtocolParser", nullptr, nullptr, from_list, 0));
  if (!module) return nullptr;
  PyRef parse(PyObject_GetAttr(module.get(), name));
  if (!parse) return nullptr;
  PyRef transport(to_object(std::string_view(record.transport)));
  if (!transport) return nullptr;
  return PyObject_CallFunctionObjArgs(parse.get(), transport.get(), nullptr);
}

bool is_text(zq::ValueView value, std::string_view text) {
  return value.kind() == zq::Value::Kind::Str && value.as_str() == text;
}

// The first "origin" of a map under a text key "zq", searched through every such map in order.
PyObject* ZQRequest_origin(const zq::ZQRequest& record) {
  for (const zq::PairView cookie : record.cookies.as_map()) {
    if (!is_text(cookie.key, "zq") || cookie.value.kind() != zq::Value::Kind::Map) continue;
    for (const zq::PairView entry : cookie.value.as_map()) {
      if (is_text(entry.key, "origin")) return value_to_object(entry.value);
    }
  }
  Py_RETURN_NONE;
}

using Version = Param<kinds::U8, Default<0>>;
using TextOrNone = Param<kinds::Text, OrNone>;

constexpr char kDoc[] =
    "ZQRequest(method, url, payload=None, cookies=None, transport=None, route=None, origin=None, "
    "payloadSize=None)\n--\n\n"
    "`duvevodavid.net.objects.ZQRequest` — объектный слой: `payload` и `tdo` доступны синхронно; "
    "приём payload потоком (awaitable, асинхронная итерация) — задача транспортного слоя `varavizaza`.";
constexpr char kTransportObjectDoc[] =
    "Разобранный транспорт, как его возвращает Python-функция `parse_zq_protocol`; мост к парсеру "
    "на чистом Python.";
constexpr char kOriginDoc[] = "Значение `cookies['zq']['origin']`, как в эталонной реализации на чистом Python.";
constexpr char kTdoDoc[] =
    "Здесь синхронно; в эталонной реализации на чистом Python свойство ожидаемое (awaitable) из-за "
    "потокового приёма, а этот класс — объектный слой.";
constexpr char kPayloadDoc[] = "Распакованное значение контейнера, синхронно (см. `tdo`).";

PyMethodDef ZQRequest_methods[] = {
    method_def<kSetMethod, ZQRequestObject, Borrow::Exclusive, &ZQRequest_setMethod, Param<kinds::Text>>(
        "setMethod($self, method)\n--\n\n"),
    method_def<kSetUrl, ZQRequestObject, Borrow::Exclusive, &ZQRequest_setUrl, Param<kinds::AnyObject>>(
        "setUrl($self, url)\n--\n\n"),
    method_def<kSetRoute, ZQRequestObject, Borrow::Exclusive, &ZQRequest_setRoute, TextOrNone>(
        "setRoute($self, route=None)\n--\n\n"),
    method_def<kSetTransport, ZQRequestObject, Borrow::Exclusive, &ZQRequest_setTransport, TextOrNone>(
        "setTransport($self, transport=None)\n--\n\n"),
    method_def<kSetCookies, ZQRequestObject, Borrow::Exclusive, &ZQRequest_setCookies, Param<kinds::Dict>>(
        "setCookies($self, cookies)\n--\n\n"),
    method_def<kSerialize, ZQRequestObject, Borrow::Shared, &ZQRequest_serialize, Version>(
        "serialize($self, version=0)\n--\n\n"),
    method_def<kSerializeHeader, ZQRequestObject, Borrow::Shared, &ZQRequest_serializeHeader, Version>(
        "serializeHeader($self, version=0)\n--\n\n"),
    static_method_def<kDeserialize, &ZQRequest_deserialize, Param<kinds::BytesOnly>>("deserialize(data)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef ZQRequest_getset[] = {
    getter_def<ZQRequestObject, Borrow::Shared, &ZQRequest_method>("method"),
    getter_def<ZQRequestObject, Borrow::Shared, &ZQRequest_url>("url"),
    getter_def<ZQRequestObject, Borrow::Shared, &ZQRequest_route>("route"),
    getter_def<ZQRequestObject, Borrow::Shared, &ZQRequest_transport>("transport"),
    getter_def<ZQRequestObject, Borrow::Shared, &ZQRequest_transportObject>("transportObject", kTransportObjectDoc),
    property_def<ZQRequestObject, &Message_cookies<zq::ZQRequest>, Param<kinds::Dict>, kCookiesSetter,
                 &Message_set_cookies<zq::ZQRequest>>("cookies"),
    getter_def<ZQRequestObject, Borrow::Shared, &ZQRequest_origin>("origin", kOriginDoc),
    getter_def<ZQRequestObject, Borrow::Shared, &Message_hasPayload<zq::ZQRequest>>("hasPayload"),
    getter_def<ZQRequestObject, Borrow::Shared, &Message_payloadSize<zq::ZQRequest>>("payloadSize"),
    getter_def<ZQRequestObject, Borrow::Shared, &Message_tdo<zq::ZQRequest>>("tdo", kTdoDoc),
    getter_def<ZQRequestObject, Borrow::Exclusive, &Message_payload<zq::ZQRequest>>("payload", kPayloadDoc),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot ZQRequest_slots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_new, reinterpret_cast<void*>(
                    &constructor<kNew, &ZQRequest_new, Param<kinds::Text>, Param<kinds::AnyObject>,
                                 Param<kinds::AnyObject, OrNone>, Param<kinds::Dict, OrNone>, TextOrNone, TextOrNone,
                                 TextOrNone, Param<kinds::I64, OrNone>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<ZQRequestObject>)},
    {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<ZQRequestObject, Borrow::Shared, &ZQRequest_repr>)},
    {Py_tp_methods, ZQRequest_methods},
    {Py_tp_getset, ZQRequest_getset},
    {0, nullptr},
};

PyType_Spec ZQRequest_spec = {"duvevodavid.net.objects.ZQRequest", sizeof(ZQRequestObject), 0, Py_TPFLAGS_DEFAULT,
                              ZQRequest_slots};

}  // namespace

PyTypeObject* ZQRequestObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, ZQRequest_spec);
}

}  // namespace zqpy
