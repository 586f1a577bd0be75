// The calling frame, written once. A class declares each callable as a description, a body and
// one Param per parameter (its kind and default); these templates generate the trampoline that
// unpacks the arguments, takes the receiver's borrow, converts each parameter in declaration
// order (noting the failing one), runs the body and turns its result into a Python object. A
// description that converts first swaps the borrow and the conversion.
//
//   constexpr auto kNew = describe("STPContainer", "__new__", 1, "payload", "version", "compression_info");
//   {Py_tp_new, constructor<kNew, &STPContainer_new,
//                           Param<kinds::AnyObject>, Param<kinds::U64, Default<0>>,
//                           Param<kinds::Compression, OrNone>>}
#pragma once

#include <cstddef>
#include <optional>
#include <tuple>
#include <utility>

#include "frame/borrow.h"
#include "frame/cached.h"
#include "frame/errors.h"
#include "frame/instance.h"
#include "frame/kinds.h"
#include "frame/params.h"
#include "frame/pyref.h"
#include "frame/python.h"
#include "frame/to_object.h"
#include "frame/unpack.h"

namespace zqpy {

// Default policies of a parameter.
struct Required {};           // must be given
template <auto V>
struct Default {};            // absent: V; an explicit None is converted like any value (and refused)
struct OrNone {};             // absent or None: std::nullopt (nullptr for kinds::AnyObject)

template <class Kind, class Policy = Required>
struct Param;

template <class Kind>
struct Param<Kind, Required> {
  using value_type = typename Kind::type;
  static bool fill(PyObject* arg, value_type& out) { return Kind::convert(arg, out); }
};

template <class Kind, auto V>
struct Param<Kind, Default<V>> {
  using value_type = typename Kind::type;
  static bool fill(PyObject* arg, value_type& out) {
    if (!arg) {
      out = V;
      return true;
    }
    return Kind::convert(arg, out);
  }
};

template <class Kind>
struct Param<Kind, OrNone> {
  using value_type = std::optional<typename Kind::type>;
  static bool fill(PyObject* arg, value_type& out) {
    if (!arg || arg == Py_None) return true;
    return Kind::convert(arg, out.emplace());
  }
};

template <>
struct Param<kinds::AnyObject, OrNone> {
  using value_type = PyObject*;
  static bool fill(PyObject* arg, value_type& out) {
    out = arg == Py_None ? nullptr : arg;
    return true;
  }
};

namespace detail {

// The description's parameter names, interned once in each interpreter.
template <const auto& Desc>
PyObject* const* interned_names() {
  static const std::size_t table = cached::new_name_table();
  PyObject** slots = cached::name_slots(table, Desc.size());
  return slots ? intern_names(Desc.view(), slots) : nullptr;
}

// The arguments of one call: the raw objects matched to parameters, then their conversions.
template <const auto& Desc, class... Params>
class Arguments {
  static_assert(sizeof...(Params) == Desc.size(), "one Param per described parameter");

 public:
  // The interned names are looked up only for a call with keywords, which alone needs them.
  bool unpack_fastcall(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* const* names = kwnames ? interned_names<Desc>() : nullptr;
    if (kwnames && !names) return false;
    return zqpy::unpack_fastcall(Desc.view(), names, args, nargs, kwnames, raw_);
  }
  // The keyword dict is no caller's frame: Python code run by a later conversion can remove an
  // entry from it, so with a dict each raw argument is held for the call. (The tuple cannot
  // change, and its caller holds it.)
  bool unpack_tuple_dict(PyObject* args, PyObject* kwargs) {
    PyObject* const* names = kwargs ? interned_names<Desc>() : nullptr;
    if (kwargs && !names) return false;
    if (!zqpy::unpack_tuple_dict(Desc.view(), names, args, kwargs, raw_)) return false;
    if (kwargs) {
      Held& held = held_.emplace();
      for (std::size_t i = 0; i < sizeof...(Params); ++i) held.refs[i] = PyRef::borrowed(raw_[i]);
    }
    return true;
  }

  // Converts every parameter in declaration order; the first failure gets its note.
  bool convert() { return convert_each(std::index_sequence_for<Params...>{}); }

  template <class F>
  decltype(auto) apply(F&& f) {
    return std::apply([&](auto&... v) -> decltype(auto) { return f(std::move(v)...); }, values_);
  }

 private:
  template <std::size_t... I>
  bool convert_each(std::index_sequence<I...>) {
    return (convert_one<Params>(raw_[I], std::get<I>(values_), Desc.names[I]) && ...);
  }
  template <class P>
  static bool convert_one(PyObject* raw, typename P::value_type& out, const char* name) {
    if (P::fill(raw, out)) return true;
    add_argument_note(name);
    return false;
  }

  // The references a call with a keyword dict holds; a call without one makes none, and its
  // end has only this one flag to test.
  struct Held {
    PyRef refs[sizeof...(Params) + 1];
  };

  PyObject* raw_[sizeof...(Params) + 1] = {};
  std::optional<Held> held_;
  std::tuple<typename Params::value_type...> values_;
};

// Takes the borrow and runs `convert` in the order given; false once either fails.
template <Order O, Borrow B, class Convert>
bool borrow_and_convert(BorrowGuard<B>& borrow, Convert&& convert) {
  if constexpr (O == Order::ConvertThenBorrow) {
    return convert() && borrow.acquire();
  } else {
    return borrow.acquire() && convert();
  }
}

template <Borrow B, class Self>
decltype(auto) record_of(Self* self) {
  if constexpr (B != Borrow::Exclusive) {
    return static_cast<const typename Self::Record&>(self->record);
  } else {
    return static_cast<typename Self::Record&>(self->record);
  }
}

}  // namespace detail

// tp_new: Body(PyTypeObject* cls, converted...) -> result.
template <const auto& Desc, auto Body, class... Params>
PyObject* constructor(PyTypeObject* cls, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    detail::Arguments<Desc, Params...> a;
    if (!a.unpack_tuple_dict(args, kwargs) || !a.convert()) return nullptr;
    return to_object(a.apply([&](auto&&... v) { return Body(cls, std::move(v)...); }));
  });
}

// Instance method with parameters: Body(record, converted...) -> result, under borrow B.
template <const auto& Desc, class Self, Borrow B, auto Body, class... Params>
PyObject* method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    detail::Arguments<Desc, Params...> a;
    if (!a.unpack_fastcall(args, nargs, kwnames)) return nullptr;
    Self* instance = as_instance<Self>(self);
    BorrowGuard<B> borrow(instance->borrow);
    if (!detail::borrow_and_convert<Desc.order>(borrow, [&] { return a.convert(); })) return nullptr;
    return to_object(a.apply([&](auto&&... v) { return Body(detail::record_of<B>(instance), std::move(v)...); }));
  });
}

// Static method: Body(converted...) -> result.
template <const auto& Desc, auto Body, class... Params>
PyObject* static_method(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    detail::Arguments<Desc, Params...> a;
    if (!a.unpack_fastcall(args, nargs, kwnames) || !a.convert()) return nullptr;
    return to_object(a.apply([&](auto&&... v) { return Body(std::move(v)...); }));
  });
}

// Instance method without parameters (the interpreter refuses arguments): Body(record) -> result.
template <class Self, Borrow B, auto Body>
PyObject* noargs_method(PyObject* self, PyObject*) {
  return guarded([&]() -> PyObject* {
    Self* instance = as_instance<Self>(self);
    BorrowGuard<B> borrow(instance->borrow);
    if (!borrow.acquire()) return nullptr;
    return to_object(Body(detail::record_of<B>(instance)));
  });
}

// Property getter: Body(record) -> result.
template <class Self, Borrow B, auto Body>
PyObject* getter(PyObject* self, void*) {
  return noargs_method<Self, B, Body>(self, nullptr);
}

// A one-argument slot such as tp_str: Body(record) -> result.
template <class Self, Borrow B, auto Body>
PyObject* unary_slot(PyObject* self) {
  return noargs_method<Self, B, Body>(self, nullptr);
}

// nb_bool: Body(record) -> bool.
template <class Self, Borrow B, auto Body>
int truth_slot(PyObject* self) {
  return guarded([&]() -> int {
    Self* instance = as_instance<Self>(self);
    BorrowGuard<B> borrow(instance->borrow);
    if (!borrow.acquire()) return -1;
    return Body(detail::record_of<B>(instance)) ? 1 : 0;
  });
}

// tp_richcompare: Body(record, other, op) -> result, under a shared borrow of the receiver.
template <class Self, auto Body>
PyObject* richcompare_slot(PyObject* self, PyObject* other, int op) {
  return guarded([&]() -> PyObject* {
    Self* instance = as_instance<Self>(self);
    BorrowGuard<Borrow::Shared> borrow(instance->borrow);
    if (!borrow.acquire()) return nullptr;
    return to_object(Body(detail::record_of<Borrow::Shared>(instance), other, op));
  });
}

// Property setter: takes the exclusive borrow and converts the value by P (noted under the
// description's value name), in the description's order, then runs Body(record, converted).
// Deleting raises AttributeError.
template <class Self, class P, const auto& Desc, auto Body>
int setter(PyObject* self, PyObject* value, void*) {
  return guarded([&]() -> int {
    if (!value) {
      PyErr_SetString(PyExc_AttributeError, "property has no deleter");
      return -1;
    }
    Self* instance = as_instance<Self>(self);
    BorrowGuard<Borrow::Exclusive> borrow(instance->borrow);
    typename P::value_type converted{};
    auto convert = [&] {
      if (P::fill(value, converted)) return true;
      add_argument_note(Desc.value_name);
      return false;
    };
    if (!detail::borrow_and_convert<Desc.order>(borrow, convert)) return -1;
    return Body(instance->record, std::move(converted));
  });
}

// Table entries for the trampolines above.
template <const auto& Desc, class Self, Borrow B, auto Body, class... Params>
PyMethodDef method_def(const char* doc) {
  return {Desc.callable_name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&method<Desc, Self, B, Body, Params...>)),
          METH_FASTCALL | METH_KEYWORDS, doc};
}
template <const auto& Desc, auto Body, class... Params>
PyMethodDef static_method_def(const char* doc) {
  return {Desc.callable_name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&static_method<Desc, Body, Params...>)),
          METH_FASTCALL | METH_KEYWORDS | METH_STATIC, doc};
}
template <class Self, Borrow B, auto Body>
PyMethodDef noargs_method_def(const char* name, const char* doc) {
  return {name, &noargs_method<Self, B, Body>, METH_NOARGS, doc};
}
template <class Self, Borrow B, auto Body>
PyGetSetDef getter_def(const char* name, const char* doc = nullptr) {
  return {name, &getter<Self, B, Body>, nullptr, doc, nullptr};
}
// A property with a shared getter and a setter converting by P, as the setter description says.
template <class Self, auto GetBody, class P, const auto& SetDesc, auto SetBody>
PyGetSetDef property_def(const char* name, const char* doc = nullptr) {
  return {name, &getter<Self, Borrow::Shared, GetBody>, &setter<Self, P, SetDesc, SetBody>, doc, nullptr};
}

}  // namespace zqpy
