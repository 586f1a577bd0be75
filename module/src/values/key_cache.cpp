#include "values/key_cache.h"

#include <cstring>

#include "frame/cached.h"

namespace zqpy {
namespace {

constexpr std::size_t kSlots = 1024;

// FNV-1a over the key's bytes, folded to a slot.
std::size_t slot_of(const std::uint8_t* data, std::size_t len) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < len; ++i) h = (h ^ data[i]) * 0x100000001b3ull;
  return static_cast<std::size_t>(h ^ (h >> 32)) & (kSlots - 1);
}

}  // namespace

PyObject* KeyCache::kept_text(const std::uint8_t* data, std::size_t len) {
  if (slots_ == nullptr) {
    static const std::size_t table = cached::new_name_table();
    slots_ = cached::name_slots(table, kSlots);
    if (slots_ == nullptr) return nullptr;
  }
  PyObject*& slot = slots_[slot_of(data, len)];
  if (slot != nullptr) {
    Py_ssize_t size = 0;
    const char* kept = PyUnicode_AsUTF8AndSize(slot, &size);
    if (kept == nullptr) return nullptr;
    if (static_cast<std::size_t>(size) == len && std::memcmp(kept, data, len) == 0) {
      Py_INCREF(slot);
      return slot;
    }
  }
  PyObject* text = new_text(data, len);
  if (text == nullptr) return nullptr;
  PyObject* replaced = slot;
  Py_INCREF(text);
  slot = text;
  Py_XDECREF(replaced);
  return text;
}

}  // namespace zqpy
