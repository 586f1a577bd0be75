// Parameter kinds: each converts one Python argument into the C++ value a body receives, or
// returns false with the kind's exception set. Bodies that convert items themselves (frames,
// payload holders) call the same converters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "compress/compression_info.h"
#include "frame/errors.h"
#include "frame/instance.h"
#include "frame/python.h"

namespace zqpy::kinds {

// str and subclasses as UTF-8. The view lives as long as the str object.
struct Text {
  using type = std::string_view;
  static bool convert(PyObject* obj, type& out);
};

// What the interpreter turns into a signed 64-bit integer, within the field's range.
struct U8 {
  using type = std::uint8_t;
  static bool convert(PyObject* obj, type& out);
};
struct U16 {
  using type = std::uint16_t;
  static bool convert(PyObject* obj, type& out);
};

// int and subclasses directly, anything else through __index__; 0..2^64-1.
struct U64 {
  using type = std::uint64_t;
  static bool convert(PyObject* obj, type& out);
};

struct I64 {
  using type = std::int64_t;
  static bool convert(PyObject* obj, type& out);
};

// True and False, and NumPy boolean scalars through their truth value; never 0 or 1.
struct Boolean {
  using type = bool;
  static bool convert(PyObject* obj, type& out);
};

// bytes and subclasses, read in place: the view lives as long as the argument.
struct BytesOnly {
  using type = zq::ByteView;
  static bool convert(PyObject* obj, type& out);
};

// bytes or bytearray (and subclasses) copied whole, or any Sequence of integers 0..255; never str.
struct BytesLike {
  using type = zq::Bytes;
  static bool convert(PyObject* obj, type& out);
};

// Any Sequence but str whose items are all text.
struct TextSequence {
  using type = std::vector<std::string>;
  static bool convert(PyObject* obj, type& out);
};

// dict and subclasses, handed over borrowed.
struct Dict {
  using type = PyObject*;
  static bool convert(PyObject* obj, type& out);
};

// A tuple of exactly four 8-bit integers: compressed, pretrained_map, algorithm, level.
struct Compression {
  using type = zq::CompressionInfo;
  static bool convert(PyObject* obj, type& out);
};

// An instance of a module class or of a subclass; `Self` provides the type object.
template <class Self>
struct InstanceOf {
  using type = Self*;
  static bool convert(PyObject* obj, type& out) {
    PyTypeObject* expected = Self::type();
    if (!expected) return false;
    if (!PyObject_TypeCheck(obj, expected)) {
      raise_downcast_error(obj, expected);
      return false;
    }
    out = as_instance<Self>(obj);
    return true;
  }
};

// Anything, handed to the body unconverted (borrowed).
struct AnyObject {
  using type = PyObject*;
  static bool convert(PyObject* obj, type& out) {
    out = obj;
    return true;
  }
};

}  // namespace zqpy::kinds
