// Python objects to Values and back, without intermediate Python objects. A Python tree is
// written item by item into a ValueBuilder (exact built-in types take a direct path, subclasses
// and other objects the ordered, general one); a Value is read back item by item from its
// packed form, which was checked when it was made.
#include "values/value_bridge.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string_view>
#include <vector>

#include "frame/errors.h"
#include "frame/lossy_text.h"
#include "frame/pyref.h"
#include "frame/to_object.h"
#include "serialization/value_builder.h"
#include "values/key_cache.h"

namespace zqpy {
namespace {

using zq::ValueBuilder;

bool raise_recursion_limit() {
  PyErr_SetString(PyExc_ValueError, "recursion limit exceeded");
  return false;
}

bool raise_int_range() {
  PyErr_SetString(PyExc_OverflowError, "int exceeds 64-bit msgpack range");
  return false;
}

enum class Read { Done, Failed, NotScalar };

// One conversion of a Python tree into `out`.
class Converter {
 public:
  explicit Converter(ValueBuilder& out) : out_(out) {}

  bool convert(PyObject* obj, std::size_t depth) {
    if (depth > kMaxBridgeDepth) return raise_recursion_limit();
    if (const Read read = read_exact_scalar(obj); read != Read::NotScalar) return read == Read::Done;
    return convert_other(obj, depth);
  }

  // The entries of a dict as pairs whose keys and values sit at `item_depth`, inside a map that
  // the caller has opened.
  bool dict_entries(PyObject* dict, std::size_t item_depth);

 private:
  // The rest of read_int: an int outside the signed range, or an error.
  [[gnu::noinline]] Read read_int_rest(PyObject* obj, int overflow) {
    if (overflow == 0) {  // -1, or an error
      if (PyErr_Occurred()) return Read::Failed;
      out_.integer(-1);
      return Read::Done;
    }
    if (overflow < 0) return raise_int_range(), Read::Failed;
    const unsigned long long unsigned_value = PyLong_AsUnsignedLongLong(obj);
    if (unsigned_value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
      if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return Read::Failed;
      PyErr_Clear();
      return raise_int_range(), Read::Failed;
    }
    out_.uinteger(unsigned_value);
    return Read::Done;
  }

  // int and subclasses, read without calling Python code. The common case (a signed 64-bit
  // value other than -1, which needs an error check) is inlined into the container loops.
  [[gnu::always_inline]] Read read_int(PyObject* obj) {
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(obj, &overflow);
    if (overflow != 0 || value == -1) return read_int_rest(obj, overflow);
    out_.integer(value);
    return Read::Done;
  }

  // The text of a str as it is stored, lossy where UTF-8 cannot carry it (lone surrogates). Its
  // UTF-8 form lives as long as the str, or its repaired copy, and never changes: a long one is
  // copied only when the value is finished, and its owner held until then, since Python code run
  // meanwhile may drop it.
  [[gnu::always_inline]] Read read_text(PyObject* text) {
    std::string_view utf8;
    PyRef repaired;
    if (!lossy_utf8(text, utf8, repaired)) return Read::Failed;
    if (utf8.size() >= ValueBuilder::kKeptMin) [[unlikely]] {
      kept_.push_back(repaired ? std::move(repaired) : PyRef::borrowed(text));
      out_.str_kept(utf8);
    } else {
      out_.str(utf8);
    }
    return Read::Done;
  }

  // bytes and subclasses, whose contents never change: kept as long texts are.
  Read read_bytes(PyObject* bytes) {
    const auto size = static_cast<std::size_t>(PyBytes_Size(bytes));
    const auto* data = reinterpret_cast<const std::uint8_t*>(PyBytes_AsString(bytes));
    if (size >= ValueBuilder::kKeptMin) {
      kept_.push_back(PyRef::borrowed(bytes));
      out_.bin_kept({data, size});
    } else {
      out_.bin({data, size});
    }
    return Read::Done;
  }

  // Exact scalar types. Reading them runs no Python code, so such an item needs no reference of
  // its own and cannot change the container it sits in.
  [[gnu::always_inline]] Read read_exact_scalar(PyObject* obj) {
    PyTypeObject* type = Py_TYPE(obj);
    if (type == &PyLong_Type) return read_int(obj);
    if (type == &PyUnicode_Type) return read_text(obj);
    if (type == &PyFloat_Type) {
      out_.floating(PyFloat_AsDouble(obj));
      return Read::Done;
    }
    if (obj == Py_None) {
      out_.nil();
      return Read::Done;
    }
    if (type == &PyBool_Type) {
      out_.boolean(obj == Py_True);
      return Read::Done;
    }
    if (type == &PyBytes_Type) return read_bytes(obj);
    return Read::NotScalar;
  }

  // A str subclass reads through str(obj), which runs Python code: the one step of a conversion
  // that does, so it alone sets `ran_python_`. A str() that raises gives the placeholder text.
  Read read_str_subclass(PyObject* obj) {
    ran_python_ = true;
    PyRef text = str_or_unprintable(obj);
    if (!text) return Read::Failed;
    return read_text(text.get());
  }

  // Subclasses of the scalar types, in the documented order of tests (exact None and bool were
  // already taken by read_exact_scalar).
  Read read_scalar_subclass(PyObject* obj) {
    if (PyLong_Check(obj)) return read_int(obj);
    if (PyFloat_Check(obj)) {
      out_.floating(PyFloat_AsDouble(obj));
      return Read::Done;
    }
    if (PyUnicode_Check(obj)) return read_str_subclass(obj);
    if (PyBytes_Check(obj)) return read_bytes(obj);
    if (PyByteArray_Check(obj)) {
      // Mutable: copied at once.
      out_.bin({reinterpret_cast<const std::uint8_t*>(PyByteArray_AsString(obj)),
                static_cast<std::size_t>(PyByteArray_Size(obj))});
      return Read::Done;
    }
    return Read::NotScalar;
  }

  // One item of a container, at `depth`. An exact scalar is read in place; any other item may
  // hold a str subclass whose __str__ removes the item from its container, so it is converted
  // holding a reference of its own.
  [[gnu::always_inline]] bool item(PyObject* obj, std::size_t depth) {
    if (const Read read = read_exact_scalar(obj); read != Read::NotScalar) return read == Read::Done;
    PyRef held = PyRef::borrowed(obj);
    const bool ok = convert_other(obj, depth);
    held.reset();
    return ok;
  }

  // Items sit one level deeper than their container; a non-empty container at the deepest level
  // fails on its first item.
  static bool items_within_depth(Py_ssize_t length, std::size_t depth) {
    return length == 0 || depth + 1 <= kMaxBridgeDepth || raise_recursion_limit();
  }

  // Items are read by index while the index is below both the length at the start and the
  // current length: a list shortened meanwhile ends the loop, items appended are not seen. The
  // length can only change once Python code has run, so only then is it read again. The array
  // announces the length at the start and is recounted to the items read.
  bool list_to_value(PyObject* list, std::size_t depth) {
    const Py_ssize_t length = PyList_Size(list);
    if (!items_within_depth(length, depth)) return false;
    const std::size_t mark = out_.open_array(static_cast<std::uint64_t>(length));
    Py_ssize_t limit = length;
    Py_ssize_t i = 0;
    for (; i < limit; ++i) {
      if (!item(PyList_GetItem(list, i), depth + 1)) return false;
      if (ran_python_) limit = std::min(limit, PyList_Size(list));
    }
    out_.close(mark, static_cast<std::uint64_t>(length), static_cast<std::uint64_t>(i));
    return true;
  }

  bool tuple_to_value(PyObject* tuple, std::size_t depth) {
    const Py_ssize_t length = PyTuple_Size(tuple);
    if (!items_within_depth(length, depth)) return false;
    const std::size_t mark = out_.open_array(static_cast<std::uint64_t>(length));
    for (Py_ssize_t i = 0; i < length; ++i) {
      if (!item(PyTuple_GetItem(tuple, i), depth + 1)) return false;
    }
    out_.close(mark, static_cast<std::uint64_t>(length), static_cast<std::uint64_t>(length));
    return true;
  }

  // A dict entry whose key is no exact scalar, key first. The value is held while the key
  // converts, since a key's __str__ can replace it in the dict. Out of line, to keep the common
  // entry small.
  [[gnu::noinline]] bool other_key_entry(PyObject* key, PyObject* value, std::size_t depth) {
    PyRef held_value = PyRef::borrowed(value);
    PyRef held_key = PyRef::borrowed(key);
    bool ok = convert_other(key, depth);
    held_key.reset();
    ok = ok && convert(value, depth);
    held_value.reset();
    return ok;
  }

  // One dict entry at `depth`, key first.
  bool entry(PyObject* key, PyObject* value, std::size_t depth) {
    switch (read_exact_scalar(key)) {
      case Read::Done:
        return item(value, depth);
      case Read::Failed:
        return false;
      case Read::NotScalar:
        break;
    }
    return other_key_entry(key, value, depth);
  }

  bool dict_to_value(PyObject* dict, std::size_t depth);

  static bool unsupported_type(PyObject* obj) {
    PyRef name(PyType_GetName(Py_TYPE(obj)));
    if (name) PyErr_Format(PyExc_TypeError, "unsupported type for ZQ serialization: %U", name.get());
    return false;
  }

  // The conversion of an object that read_exact_scalar did not take.
  bool convert_other(PyObject* obj, std::size_t depth) {
    if (depth > kMaxBridgeDepth) return raise_recursion_limit();
    PyTypeObject* type = Py_TYPE(obj);
    if (type == &PyList_Type) return list_to_value(obj, depth);
    if (type == &PyDict_Type) return dict_to_value(obj, depth);
    if (type == &PyTuple_Type) return tuple_to_value(obj, depth);
    if (const Read read = read_scalar_subclass(obj); read != Read::NotScalar) return read == Read::Done;
    if (PyList_Check(obj)) return list_to_value(obj, depth);
    if (PyTuple_Check(obj)) return tuple_to_value(obj, depth);
    if (PyDict_Check(obj)) return dict_to_value(obj, depth);
    return unsupported_type(obj);
  }

  ValueBuilder& out_;
  std::vector<PyRef> kept_;  // owners of the long texts and byte strings the builder copies at the end
  bool ran_python_ = false;  // Python code has run: only that can change the containers read
};

// The interpreter's own dict iteration (a subclass's overrides are not called), with its two
// checks: the size must not change, and no more entries may come than there were at the start.
// Only Python code can change the dict, so the size is read again only once some has run.
// The caller's map announces the entries at the start and is recounted to the entries read.
bool Converter::dict_entries(PyObject* dict, std::size_t item_depth) {
  const Py_ssize_t size = PyDict_Size(dict);
  if (size != 0 && item_depth > kMaxBridgeDepth) return raise_recursion_limit();
  const std::size_t mark = out_.open_map(static_cast<std::uint64_t>(size));
  Py_ssize_t position = 0;
  Py_ssize_t seen = 0;
  PyObject* key;
  PyObject* value;
  while (PyDict_Next(dict, &position, &key, &value)) {
    if (seen == size) {
      PyErr_SetString(PyExc_RuntimeError, "dictionary keys changed during iteration");
      return false;
    }
    ++seen;
    if (!entry(key, value, item_depth)) return false;
    if (ran_python_ && PyDict_Size(dict) != size) {
      PyErr_SetString(PyExc_RuntimeError, "dictionary changed size during iteration");
      return false;
    }
  }
  out_.close(mark, static_cast<std::uint64_t>(size), static_cast<std::uint64_t>(seen));
  return true;
}

bool Converter::dict_to_value(PyObject* dict, std::size_t depth) { return dict_entries(dict, depth + 1); }

// Reads a packed value back into Python objects, item by item in place. The value was checked
// when it was made: every length lies within it and every text is UTF-8.
class ObjectReader {
 public:
  // A new object for the item at `p`, which moves past it; nullptr with an exception set. The
  // most common items (small ints, short texts, nil, float) are read inline, the others by
  // other_item().
  PyObject* item(const std::uint8_t*& p) {
    const std::uint8_t m = *p;
    if (m <= zq::mp::kPositiveFixIntMax) {
      ++p;
      return PyLong_FromLong(m);
    }
    if (m >= zq::mp::kFixStr && m < zq::mp::kNil) {
      const std::size_t len = m & 0x1fu;
      PyObject* text = text_of(p + 1, len);
      p += 1 + len;
      return text;
    }
    switch (m) {
      case zq::mp::kNil:
        ++p;
        Py_RETURN_NONE;
      case zq::mp::kUInt8:
        p += 2;
        return PyLong_FromLong(p[-1]);
      case zq::mp::kUInt16:
        p += 3;
        return PyLong_FromLong(zq::load_be<std::uint16_t>(p - 2));
      case zq::mp::kFloat64:
        p += 9;
        return PyFloat_FromDouble(std::bit_cast<double>(zq::load_be<std::uint64_t>(p - 8)));
      default:
        return other_item(p);
    }
  }

  // A new dict of `count` pairs from `p` on, which moves past them. Once an entry is set, its
  // key and value are released at once (every call has returned).
  PyObject* pairs(const std::uint8_t*& p, std::uint64_t count) {
    PyRef dict(PyDict_New());
    if (!dict) return nullptr;
    for (std::uint64_t i = 0; i < count; ++i) {
      PyRef key(key_item(p));
      if (!key) return nullptr;
      PyRef value(item(p));
      if (!value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
      value.reset();
      key.reset();
    }
    return dict.release();
  }

 private:
  // A map key: texts come from the key cache.
  PyObject* key_item(const std::uint8_t*& p) {
    const std::uint8_t m = *p;
    if (m >= zq::mp::kFixStr && m < zq::mp::kNil) {
      const std::size_t len = m & 0x1fu;
      PyObject* text = keys_.text(p + 1, len);
      p += 1 + len;
      return text;
    }
    return item(p);
  }

  PyObject* items(const std::uint8_t*& p, std::uint64_t count) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(count)));
    if (!list) return nullptr;
    for (std::uint64_t i = 0; i < count; ++i) {
      PyObject* object = item(p);
      if (!object) return nullptr;
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), object);
    }
    return list.release();
  }

  static PyObject* text_of(const std::uint8_t* data, std::uint64_t len) {
    return to_object(std::string_view(reinterpret_cast<const char*>(data), static_cast<std::size_t>(len)));
  }
  static PyObject* bytes_of(const std::uint8_t* data, std::uint64_t len) {
    return to_object(zq::ByteView(data, static_cast<std::size_t>(len)));
  }

  template <class T>
  static T load(const std::uint8_t* p) {
    return zq::load_be<T>(p);
  }

  // Every item that item() does not read itself, by its marker.
  [[gnu::noinline]] PyObject* other_item(const std::uint8_t*& p) {
    namespace mp = zq::mp;
    const std::uint8_t m = *p++;
    if (m >= mp::kNegativeFixIntMin) return PyLong_FromLong(static_cast<std::int8_t>(m));
    if (m < mp::kFixArray) return pairs(p, m & 0x0fu);
    if (m < mp::kFixStr) return items(p, m & 0x0fu);
    const std::uint8_t* at = p;
    switch (m) {
      case mp::kNil:
        Py_RETURN_NONE;
      case mp::kFalse:
        Py_RETURN_FALSE;
      case mp::kTrue:
        Py_RETURN_TRUE;
      case mp::kUInt32:
        p += 4;
        return PyLong_FromUnsignedLong(load<std::uint32_t>(at));
      case mp::kUInt64:
        p += 8;
        return PyLong_FromUnsignedLongLong(load<std::uint64_t>(at));
      case mp::kInt8:
        p += 1;
        return PyLong_FromLong(static_cast<std::int8_t>(at[0]));
      case mp::kInt16:
        p += 2;
        return PyLong_FromLong(static_cast<std::int16_t>(load<std::uint16_t>(at)));
      case mp::kInt32:
        p += 4;
        return PyLong_FromLong(static_cast<std::int32_t>(load<std::uint32_t>(at)));
      case mp::kInt64:
        p += 8;
        return PyLong_FromLongLong(static_cast<std::int64_t>(load<std::uint64_t>(at)));
      case mp::kStr8:
        p += 1 + at[0];
        return text_of(at + 1, at[0]);
      case mp::kStr16:
        p += 2 + load<std::uint16_t>(at);
        return text_of(at + 2, load<std::uint16_t>(at));
      case mp::kBin8:
        p += 1 + at[0];
        return bytes_of(at + 1, at[0]);
      case mp::kBin16:
        p += 2 + load<std::uint16_t>(at);
        return bytes_of(at + 2, load<std::uint16_t>(at));
      case mp::kArray16:
        p += 2;
        return items(p, load<std::uint16_t>(at));
      case mp::kMap16:
        p += 2;
        return pairs(p, load<std::uint16_t>(at));
      default:
        --p;
        return rare_item(p);
    }
  }

  // The 32-bit and escaped lengths, timestamps and extension values.
  PyObject* rare_item(const std::uint8_t*& p) {
    const zq::packed::Head h = zq::packed::head(p);
    const std::uint8_t* content = p + h.size;
    switch (h.kind) {
      case zq::ValueKind::Str:
        p = content + h.length;
        return text_of(content, static_cast<std::size_t>(h.length));
      case zq::ValueKind::Bin:
        p = content + h.length;
        return bytes_of(content, h.length);
      case zq::ValueKind::Array:
        p = content;
        return items(p, h.length);
      case zq::ValueKind::Map:
        p = content;
        return pairs(p, h.length);
      case zq::ValueKind::Timestamp:
        PyErr_SetString(PyExc_NotImplementedError, "datetime/Timestamp payload not yet supported by zqpyobjects");
        return nullptr;
      case zq::ValueKind::Ext:
        PyErr_SetString(PyExc_NotImplementedError, "msgpack ExtType payload not yet supported by zqpyobjects");
        return nullptr;
      default:
        return raise_internal_fault("unexpected item in a packed value");
    }
  }

  KeyCache keys_;
};

}  // namespace

bool object_to_value(PyObject* obj, std::size_t depth, zq::Value& out) {
  ValueBuilder builder;
  Converter converter(builder);
  if (!converter.convert(obj, depth)) return false;
  out = builder.finish();
  return true;
}

PyObject* value_to_object(zq::ValueView value) {
  const std::uint8_t* p = value.data();
  return ObjectReader().item(p);
}

bool dict_to_pairs(PyObject* dict, zq::Value& out) {
  ValueBuilder builder;
  Converter converter(builder);
  if (!converter.dict_entries(dict, 0)) return false;
  out = builder.finish();
  return true;
}

PyObject* pairs_to_dict(const zq::Value& pairs) {
  const std::uint8_t* p = pairs.packed().data();
  const zq::packed::Head h = zq::packed::head(p);
  p += h.size;
  return ObjectReader().pairs(p, h.length);
}

}  // namespace zqpy
