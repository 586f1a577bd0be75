// Process-wide interpreter objects the module looks up once, on first need, and keeps until the
// process ends. Each returns a borrowed reference, or nullptr with an exception set.
#pragma once

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

}  // namespace zqpy::cached
