// The str objects of map keys read back from packed values. Short keys repeat from map to map
// and from read to read, so each interpreter keeps the str last made in each of a fixed number
// of slots, chosen by a hash of the key's bytes, and hands it out again for the same bytes: a
// hit costs a compare instead of a new str, whose hash the dict would also compute anew. A
// collision only replaces what the slot held, so crafted keys cost no more than misses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/cached.h"
#include "frame/python.h"

namespace zqpy {

class KeyCache {
 public:
  // A new reference to a str of the `len` bytes of valid UTF-8 at `data`, or nullptr with an
  // exception set.
  PyObject* text(const std::uint8_t* data, std::size_t len) {
    if (len > cached::KeySlot::kMaxSize) return new_text(data, len);
    return kept_text(data, len);
  }

 private:
  static PyObject* new_text(const std::uint8_t* data, std::size_t len);
  PyObject* kept_text(const std::uint8_t* data, std::size_t len);

  cached::KeySlot* slots_ = nullptr;  // the calling interpreter's, found on first use
};

}  // namespace zqpy
