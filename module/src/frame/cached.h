// Interpreter objects the module looks up once in each interpreter, on first need, and keeps
// until that interpreter ends. Each returns a borrowed reference valid within the calling
// interpreter, or nullptr with an exception set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/python.h"

namespace zqpy::cached {

PyObject* all_name();       // interned "__all__"
PyObject* add_note_name();  // interned "add_note"
PyObject* ast_name();       // interned "ast" (the module itself is imported on each use)
PyObject* literal_eval_name();  // interned "literal_eval"
PyObject* parse_zq_protocol_name();       // interned "parse_zq_protocol"
PyObject* parse_zq_protocol_from_list();  // ("parse_zq_protocol",), an import's from-list
PyObject* sequence_type();  // collections.abc.Sequence
PyObject* length_hint();    // operator.length_hint
PyObject* internal_fault_type();

// A slot of the cache of map keys read back from values (values/key_cache.h): the str last made
// for a key, and that key's UTF-8 bytes.
struct KeySlot {
  static constexpr std::size_t kMaxSize = 24;
  PyObject* text;  // null while the slot is empty
  std::uint32_t size;
  std::uint8_t bytes[kMaxSize];
};
inline constexpr std::size_t kKeySlots = 1024;

// The calling interpreter's kKeySlots key slots, empty until filled; the interpreter owns the
// str objects stored there and releases them when it ends. nullptr with an exception set.
KeySlot* key_slots();

// A number for one table of names, the same in every interpreter.
std::size_t new_name_table();

// The calling interpreter's `count` slots of name table `table`, empty (nullptr) until filled;
// the interpreter owns what is stored there and releases it when it ends. The slots stay in
// place for the interpreter's life. nullptr with an exception set on failure.
PyObject** name_slots(std::size_t table, std::size_t count);

}  // namespace zqpy::cached
