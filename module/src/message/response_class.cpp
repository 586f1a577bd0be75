// ZQResponse(command, payload=None, cookies=None, payloadSize=None): serialize and
// serializeHeader with the version the record holds, the static deserialize, and the getters.
#include "message/response_class.h"

#include <cstdint>
#include <optional>

#include "frame/bind.h"
#include "frame/type_object.h"
#include "message/message_members.h"
#include "status/command_class.h"

namespace zqpy {
namespace {

constexpr auto kNew = describe("ZQResponse", "__new__", 1, "command", "payload", "cookies", "payloadSize");
constexpr auto kDeserialize = describe("ZQResponse", "deserialize", 1, "data");

// payloadSize is checked by its parameter kind and then forgotten. `cls` may be a subclass.
PyObject* ZQResponse_new(PyTypeObject* cls, PyObject* command, PyObject* payload, std::optional<PyObject*> cookies,
                         std::optional<std::int64_t>) {
  zq::ZQResponse record;
  if (cookies && !dict_to_pairs(*cookies, record.cookies)) return nullptr;
  if (!command_from_object(command, record.command)) return nullptr;
  if (!payload_to_slot(payload, record.payload)) return nullptr;
  return new_instance<ZQResponseObject>(cls, std::move(record));
}

PyObject* ZQResponse_serialize(const zq::ZQResponse& record) {
  zq::WrittenMessage message;
  return message_bytes(zq::write_response(record, true, message), message);
}

PyObject* ZQResponse_serializeHeader(const zq::ZQResponse& record) {
  zq::WrittenMessage message;
  return message_bytes(zq::write_response(record, false, message), message);
}

// Always the base class, whichever class it is reached through.
PyObject* ZQResponse_deserialize(zq::ByteView data) {
  return message_from_wire<ZQResponseObject, &zq::deserialize_response_into>(data);
}

PyObject* ZQResponse_command(const zq::ZQResponse& record) {
  PyTypeObject* type = CommandObjectObject::type();
  return type ? new_instance<CommandObjectObject>(type, record.command) : nullptr;
}

constexpr char kDoc[] =
    "ZQResponse(command, payload=None, cookies=None, payloadSize=None)\n--\n\n"
    "`duvevodavid.net.objects.ZQResponse` — объектный слой: `payload` и `tdo` доступны синхронно, "
    "приём payload потоком — задача `varavizaza`.\n\n"
    "В эталонной реализации на чистом Python `ZQResponse` наследует `Exception`, чтобы его можно было "
    "возбуждать и перехватывать. Здесь это обычный класс: класс этого модуля, несущий нативные данные, "
    "не может наследовать классы исключений интерпретатора, а поведение исключения относится к слою "
    "`varavizaza` (отдельный Python-подкласс или обёртка для raise/except).\n\n"
    "В остальном объект и его сериализация те же, что в эталонной реализации.";

PyMethodDef ZQResponse_methods[] = {
    noargs_method_def<ZQResponseObject, Borrow::Shared, &ZQResponse_serialize>("serialize",
                                                                              "serialize($self)\n--\n\n"),
    noargs_method_def<ZQResponseObject, Borrow::Shared, &ZQResponse_serializeHeader>(
        "serializeHeader", "serializeHeader($self)\n--\n\n"),
    static_method_def<kDeserialize, &ZQResponse_deserialize, Param<kinds::BytesOnly>>("deserialize(data)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef ZQResponse_getset[] = {
    getter_def<ZQResponseObject, Borrow::Shared, &ZQResponse_command>("command"),
    property_def<ZQResponseObject, &Message_cookies<zq::ZQResponse>, Param<kinds::Dict>, kCookiesSetter,
                 &Message_set_cookies<zq::ZQResponse>>("cookies"),
    getter_def<ZQResponseObject, Borrow::Shared, &Message_hasPayload<zq::ZQResponse>>("hasPayload"),
    getter_def<ZQResponseObject, Borrow::Shared, &Message_payloadSize<zq::ZQResponse>>("payloadSize"),
    getter_def<ZQResponseObject, Borrow::Shared, &Message_tdo<zq::ZQResponse>>("tdo"),
    getter_def<ZQResponseObject, Borrow::Exclusive, &Message_payload<zq::ZQResponse>>("payload"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot ZQResponse_slots[] = {
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &ZQResponse_new, Param<kinds::AnyObject>,
                                                     Param<kinds::AnyObject, OrNone>, Param<kinds::Dict, OrNone>,
                                                     Param<kinds::I64, OrNone>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<ZQResponseObject>)},
    {Py_tp_methods, ZQResponse_methods},
    {Py_tp_getset, ZQResponse_getset},
    {0, nullptr},
};

// BASETYPE: Python subclasses are allowed and get an instance __dict__ of their own.
PyType_Spec ZQResponse_spec = {"duvevodavid.net.objects.ZQResponse", sizeof(ZQResponseObject), 0,
                               Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, ZQResponse_slots};

}  // namespace

PyTypeObject* ZQResponseObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, ZQResponse_spec);
}

}  // namespace zqpy
