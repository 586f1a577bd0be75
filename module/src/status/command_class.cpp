// CommandObject(value).
#include "status/command_class.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame/bind.h"
#include "frame/lossy_text.h"
#include "frame/pyref.h"
#include "frame/type_object.h"
#include "status/status_registry.h"

namespace zqpy {

namespace {

// The text of a str or str subclass: str(value), or the placeholder when that raises.
bool command_text(PyObject* value, std::string& out) {
  PyRef text = PyUnicode_CheckExact(value) ? PyRef::borrowed(value) : str_or_unprintable(value);
  if (!text) {
    // Not even the type's name could be read for the placeholder.
    PyErr_Clear();
    out = "<unprintable object>";
    return true;
  }
  std::string_view utf8;
  PyRef repaired;
  if (!lossy_utf8(text.get(), utf8, repaired)) return false;
  out.assign(utf8);
  return true;
}

}  // namespace

bool command_from_object(PyObject* value, zq::CommandObject& out) {
  if (PyBool_Check(value)) {
    out = zq::CommandObject::boolean(value == Py_True);
    return true;
  }
  if (PyLong_Check(value)) {
    std::uint64_t number = 0;
    if (!kinds::U64::convert(value, number)) return false;
    out = zq::CommandObject::integer(number);
    return true;
  }
  if (PyUnicode_Check(value)) {
    std::string text;
    if (!command_text(value, text)) return false;
    out = zq::CommandObject::text(std::move(text));
    return true;
  }
  if (PyBytes_Check(value)) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(PyBytes_AsString(value));
    out = zq::CommandObject::binary(zq::Bytes(data, static_cast<std::size_t>(PyBytes_Size(value))));
    return true;
  }
  PyErr_SetString(PyExc_TypeError, "Command must be str, int, bool or bytes");
  return false;
}

PyObject* command_to_object(const zq::CommandObject& command) {
  switch (command.kind()) {
    case zq::CommandKind::Bool: return to_object(command.as_bool());
    case zq::CommandKind::Int: return to_object(command.as_int());
    case zq::CommandKind::Str: return to_object(std::string_view(command.as_str()));
    default: return to_object(zq::ByteView(command.as_bytes().data(), command.as_bytes().size()));
  }
}

namespace {

constexpr auto kNew = describe("CommandObject", "__new__", 1, "value");
constexpr auto kIs = describe("CommandObject", "is_", 1, "path");

PyObject* CommandObject_new(PyTypeObject* cls, PyObject* value) {
  zq::CommandObject record;
  if (!command_from_object(value, record)) return nullptr;
  return new_instance<CommandObjectObject>(cls, std::move(record));
}

bool CommandObject_ok(const zq::CommandObject& record) { return zq::command_succeeded(record); }

bool CommandObject_is(const zq::CommandObject& record, std::vector<std::string> path) {
  return zq::status_matches_path(record, std::span<const std::string>(path));
}

std::string CommandObject_str(const zq::CommandObject& record) { return zq::format_command(record); }

PyObject* CommandObject_repr(const zq::CommandObject& record) {
  PyRef value(command_to_object(record));
  if (!value) return nullptr;
  return PyUnicode_FromFormat("CommandObject(%R)", value.get());
}

// What the interpreter's == of the two commands' Python forms gives, worked out without making
// them; none for a str against bytes, which the interpreter may warn about.
std::optional<bool> equal_commands(const zq::CommandObject& a, const zq::CommandObject& b) {
  using zq::CommandKind;
  const auto number = [](const zq::CommandObject& c) {
    return c.kind() == CommandKind::Bool ? std::uint64_t{c.as_bool()} : c.as_int();
  };
  const bool a_number = a.kind() == CommandKind::Bool || a.kind() == CommandKind::Int;
  const bool b_number = b.kind() == CommandKind::Bool || b.kind() == CommandKind::Int;
  if (a_number || b_number) return a_number && b_number && number(a) == number(b);
  if (a.kind() != b.kind()) return std::nullopt;
  return a == b;
}

// == and != compare the Python forms of the values (the other side's value when it is a
// CommandObject too) with the interpreter's ==; there is no ordering.
PyObject* CommandObject_richcompare(const zq::CommandObject& record, PyObject* other, int op) {
  if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
  PyTypeObject* type = CommandObjectObject::type();
  if (!type) return nullptr;
  PyRef partner = PyRef::borrowed(other);
  if (PyObject_TypeCheck(other, type)) {
    auto* instance = as_instance<CommandObjectObject>(other);
    BorrowGuard<Borrow::Shared> borrow(instance->borrow);
    if (!borrow.acquire()) return nullptr;
    if (const std::optional<bool> equal = equal_commands(record, instance->record)) {
      return PyBool_FromLong(op == Py_EQ ? *equal : !*equal);
    }
    partner = PyRef(command_to_object(instance->record));
    if (!partner) return nullptr;
  }
  PyRef mine(command_to_object(record));
  if (!mine) return nullptr;
  PyRef result(PyObject_RichCompare(mine.get(), partner.get(), Py_EQ));
  if (!result) return nullptr;
  const int equal = PyObject_IsTrue(result.get());
  if (equal < 0) return nullptr;
  return PyBool_FromLong(op == Py_EQ ? equal : !equal);
}

constexpr char kOkDoc[] =
    "`cmd.ok` — общий успех команды, то же, что `bool(cmd)` в эталонной реализации на чистом Python.";
constexpr char kIsDoc[] =
    "is_($self, path)\n--\n\n"
    "Проверяет путь в реестре статусов. Там, где эталонная реализация на чистом Python проходит по "
    "цепочке атрибутов, этот метод принимает явный список сегментов пути.";

PyMethodDef CommandObject_methods[] = {
    method_def<kIs, CommandObjectObject, Borrow::Shared, &CommandObject_is, Param<kinds::TextSequence>>(kIsDoc),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef CommandObject_getset[] = {
    getter_def<CommandObjectObject, Borrow::Shared, &command_to_object>("value"),
    getter_def<CommandObjectObject, Borrow::Shared, &CommandObject_ok>("ok", kOkDoc),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot CommandObject_slots[] = {
    {Py_tp_doc, const_cast<char*>("CommandObject(value)\n--\n\n`duvevodavid.net.objects.CommandObject`.")},
    {Py_tp_new, reinterpret_cast<void*>(&constructor<kNew, &CommandObject_new, Param<kinds::AnyObject>>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<CommandObjectObject>)},
    {Py_nb_bool, reinterpret_cast<void*>(&truth_slot<CommandObjectObject, Borrow::Shared, &CommandObject_ok>)},
    {Py_tp_str, reinterpret_cast<void*>(&unary_slot<CommandObjectObject, Borrow::Shared, &CommandObject_str>)},
    {Py_tp_repr, reinterpret_cast<void*>(&unary_slot<CommandObjectObject, Borrow::Shared, &CommandObject_repr>)},
    {Py_tp_richcompare,
     reinterpret_cast<void*>(&richcompare_slot<CommandObjectObject, &CommandObject_richcompare>)},
    {Py_tp_methods, CommandObject_methods},
    {Py_tp_getset, CommandObject_getset},
    {0, nullptr},
};

PyType_Spec CommandObject_spec = {"duvevodavid.net.objects.CommandObject", sizeof(CommandObjectObject), 0,
                                  Py_TPFLAGS_DEFAULT, CommandObject_slots};

}  // namespace

PyTypeObject* CommandObjectObject::type() {
  static PyTypeObject* type = nullptr;
  return process_type(type, CommandObject_spec);
}

}  // namespace zqpy
