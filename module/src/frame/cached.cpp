// Objects kept per interpreter. Each interpreter's objects live in a capsule stored in the
// interpreter's own dict, which the interpreter clears when it ends: the capsule then releases
// them, so nothing made in a subinterpreter outlives it or is used by another interpreter.
//
// The interpreters that can import the module all share the main interpreter's lock (the module
// does not declare support for a lock per interpreter), and that lock guards the list of live
// interpreters below. An import may release the lock, so a value found already stored by
// another thread wins and ours is dropped.
#include "frame/cached.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "frame/pyref.h"

namespace zqpy::cached {
namespace {

enum Object : std::size_t {
  kAllName,
  kAddNoteName,
  kAstName,
  kLiteralEvalName,
  kParseZqProtocolName,
  kParseZqProtocolFromList,
  kSequenceType,
  kLengthHint,
  kInternalFaultType,
  kObjectCount,
};

struct InterpreterObjects {
  std::int64_t id = -1;  // interpreter ids are never reused
  PyObject* objects[kObjectCount] = {};
  // Name tables by number. Growing the outer vector moves the inner ones, whose buffers (the
  // slots handed out) stay where they are.
  std::vector<std::vector<PyObject*>> names;
  std::unique_ptr<KeySlot[]> keys;

  ~InterpreterObjects() {
    for (PyObject* o : objects) Py_XDECREF(o);
    for (const auto& table : names) {
      for (PyObject* o : table) Py_XDECREF(o);
    }
    if (keys) {
      for (std::size_t i = 0; i < kKeySlots; ++i) Py_XDECREF(keys[i].text);
    }
  }
};

constexpr char kCapsuleName[] = "duvevodavid._zqobjects.interpreter_objects";

// Never destroyed: a capsule may be released by a late interpreter teardown.
std::vector<InterpreterObjects*>& live_interpreters() {
  static auto* live = new std::vector<InterpreterObjects*>();
  return *live;
}
InterpreterObjects* last_found = nullptr;

void release(PyObject* capsule) {
  auto* objects = static_cast<InterpreterObjects*>(PyCapsule_GetPointer(capsule, kCapsuleName));
  if (!objects) return;
  std::erase(live_interpreters(), objects);
  if (last_found == objects) last_found = nullptr;
  delete objects;
}

InterpreterObjects* adopt(PyInterpreterState* interp, std::int64_t id) {
  PyObject* dict = PyInterpreterState_GetDict(interp);  // borrowed
  if (!dict) {
    if (!PyErr_Occurred()) PyErr_NoMemory();
    return nullptr;
  }
  std::vector<InterpreterObjects*>& live = live_interpreters();
  live.reserve(live.size() + 1);
  auto owned = std::make_unique<InterpreterObjects>();
  owned->id = id;
  PyRef capsule(PyCapsule_New(owned.get(), kCapsuleName, &release));
  if (!capsule) return nullptr;
  InterpreterObjects* objects = owned.release();  // the capsule's from here on
  live.push_back(objects);
  if (PyDict_SetItemString(dict, kCapsuleName, capsule.get()) < 0) return nullptr;
  return objects;
}

// The calling interpreter's objects, made on its first need; nullptr with an exception set.
InterpreterObjects* current() {
  PyInterpreterState* interp = PyInterpreterState_Get();
  const std::int64_t id = PyInterpreterState_GetID(interp);
  if (id < 0) return nullptr;
  if (last_found && last_found->id == id) return last_found;
  const std::vector<InterpreterObjects*>& live = live_interpreters();
  const auto found = std::find_if(live.begin(), live.end(), [id](const InterpreterObjects* o) { return o->id == id; });
  InterpreterObjects* objects = found != live.end() ? *found : adopt(interp, id);
  if (objects) last_found = objects;
  return objects;
}

PyObject* keep(PyObject*& slot, PyObject* made) {
  if (!made) return nullptr;
  if (slot) {
    Py_DECREF(made);
  } else {
    slot = made;
  }
  return slot;
}

PyObject* interned(Object which, const char* text) {
  InterpreterObjects* objects = current();
  if (!objects) return nullptr;
  PyObject*& slot = objects->objects[which];
  return slot ? slot : keep(slot, PyUnicode_InternFromString(text));
}

PyObject* imported(Object which, const char* module, const char* attribute) {
  InterpreterObjects* objects = current();
  if (!objects) return nullptr;
  PyObject*& slot = objects->objects[which];
  if (slot) return slot;
  PyRef mod(PyImport_ImportModule(module));
  if (!mod) return nullptr;
  return keep(slot, PyObject_GetAttrString(mod.get(), attribute));
}

}  // namespace

PyObject* all_name() { return interned(kAllName, "__all__"); }
PyObject* add_note_name() { return interned(kAddNoteName, "add_note"); }
PyObject* ast_name() { return interned(kAstName, "ast"); }
PyObject* literal_eval_name() { return interned(kLiteralEvalName, "literal_eval"); }
PyObject* parse_zq_protocol_name() { return interned(kParseZqProtocolName, "parse_zq_protocol"); }
PyObject* sequence_type() { return imported(kSequenceType, "collections.abc", "Sequence"); }
PyObject* length_hint() { return imported(kLengthHint, "operator", "length_hint"); }

PyObject* parse_zq_protocol_from_list() {
  InterpreterObjects* objects = current();
  if (!objects) return nullptr;
  PyObject*& slot = objects->objects[kParseZqProtocolFromList];
  if (slot) return slot;
  PyObject* name = parse_zq_protocol_name();
  return name ? keep(slot, PyTuple_Pack(1, name)) : nullptr;
}

PyObject* internal_fault_type() {
  InterpreterObjects* objects = current();
  if (!objects) return nullptr;
  PyObject*& slot = objects->objects[kInternalFaultType];
  return slot ? slot
              : keep(slot, PyErr_NewExceptionWithDoc("duvevodavid._zqobjects.InternalFault",
                                                     "Нарушен внутренний инвариант модуля.",
                                                     PyExc_BaseException, nullptr));
}

KeySlot* key_slots() {
  InterpreterObjects* objects = current();
  if (!objects) return nullptr;
  if (!objects->keys) objects->keys = std::make_unique<KeySlot[]>(kKeySlots);  // value-initialized: empty
  return objects->keys.get();
}

std::size_t new_name_table() {
  static std::atomic<std::size_t> tables{0};
  return tables.fetch_add(1, std::memory_order_relaxed);
}

PyObject** name_slots(std::size_t table, std::size_t count) {
  InterpreterObjects* objects = current();
  if (!objects) return nullptr;
  if (objects->names.size() <= table) objects->names.resize(table + 1);
  std::vector<PyObject*>& slots = objects->names[table];
  if (slots.empty()) slots.assign(std::max<std::size_t>(count, 1), nullptr);
  return slots.data();
}

}  // namespace zqpy::cached
