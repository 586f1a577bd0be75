// Collecting any iterable into a vector, presized by operator.length_hint.
#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "frame/pyref.h"
#include "frame/python.h"

namespace zqpy {

// A length from len() or a hint is only a claim: presizing trusts it this far.
inline constexpr std::size_t kMaxPresize = std::size_t{1} << 16;

// iter(obj), or null with an exception set. An iterator that comes back with an exception
// already set (as iter() of a released memoryview does) is refused with that exception, which
// would otherwise end the collection silently empty or reach the unraisable hook.
PyRef open_iterator(PyObject* obj);

// operator.length_hint(iterator, 0), capped for presizing. When the call raises, its exception
// goes to the interpreter's unraisable hook and the hint is 0.
std::size_t length_hint_of(PyObject* iterator);

// Collects the items of `iterable` in order, at most `max_items` of them: iteration stops once
// that many are in, so an endless iterable ends too. `convert(item, value)` turns one borrowed
// item into a T or returns false with an exception set; the first failure, of the iteration or
// of an item, ends the collection with false.
template <class T, class Convert>
bool collect_iterable(PyObject* iterable, std::vector<T>& out, Convert&& convert,
                      std::size_t max_items = std::numeric_limits<std::size_t>::max()) {
  PyRef iterator = open_iterator(iterable);
  if (!iterator) return false;
  out.clear();
  out.reserve(std::min(length_hint_of(iterator.get()), max_items));
  while (out.size() < max_items) {
    PyRef item(PyIter_Next(iterator.get()));
    if (!item) return !PyErr_Occurred();
    T value{};
    if (!convert(item.get(), value)) return false;
    out.push_back(std::move(value));
  }
  return true;
}

}  // namespace zqpy
