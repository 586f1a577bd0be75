#include "values/key_cache.h"

#include <cstring>
#include <string_view>

#include "frame/to_object.h"

namespace zqpy {
namespace {

// The `n` (at most 8) bytes at `p` as one word.
std::uint64_t load_word(const std::uint8_t* p, std::size_t n) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, n);
  return word;
}

// Whether the `len` (at most 24) bytes at `a` and `b` are the same, compared a word at a time:
// words that overlap where the length is not a multiple of one, so no byte past either end is
// read.
bool same_key(const std::uint8_t* a, const std::uint8_t* b, std::size_t len) {
  if (len >= 8) {
    std::uint64_t diff = load_word(a, 8) ^ load_word(b, 8);
    diff |= load_word(a + len - 8, 8) ^ load_word(b + len - 8, 8);
    if (len > 16) diff |= load_word(a + 8, 8) ^ load_word(b + 8, 8);
    return diff == 0;
  }
  if (len >= 4) {
    return ((load_word(a, 4) ^ load_word(b, 4)) | (load_word(a + len - 4, 4) ^ load_word(b + len - 4, 4))) == 0;
  }
  std::uint8_t diff = 0;
  for (std::size_t i = 0; i < len; ++i) diff |= a[i] ^ b[i];
  return diff == 0;
}

// A multiplicative hash of the key's 8-byte words, folded to a slot.
std::size_t slot_of(const std::uint8_t* data, std::size_t len) {
  constexpr std::uint64_t kMultiplier = 0x9e3779b97f4a7c15ull;
  std::uint64_t h = len * kMultiplier;
  for (std::size_t at = 0; at < len; at += 8) {
    h = (h ^ load_word(data + at, len - at < 8 ? len - at : 8)) * kMultiplier;
  }
  return static_cast<std::size_t>(h >> 54) & (cached::kKeySlots - 1);
}

}  // namespace

PyObject* KeyCache::new_text(const std::uint8_t* data, std::size_t len) {
  return to_object(std::string_view(reinterpret_cast<const char*>(data), len));
}

PyObject* KeyCache::kept_text(const std::uint8_t* data, std::size_t len) {
  if (slots_ == nullptr) {
    slots_ = cached::key_slots();
    if (slots_ == nullptr) return nullptr;
  }
  cached::KeySlot& slot = slots_[slot_of(data, len)];
  if (slot.text != nullptr && slot.size == len && same_key(slot.bytes, data, len)) {
    Py_INCREF(slot.text);
    return slot.text;
  }
  PyObject* text = new_text(data, len);
  if (text == nullptr) return nullptr;
  PyObject* replaced = slot.text;
  Py_INCREF(text);
  slot.text = text;
  slot.size = static_cast<std::uint32_t>(len);
  std::memcpy(slot.bytes, data, len);
  Py_XDECREF(replaced);
  return text;
}

}  // namespace zqpy
