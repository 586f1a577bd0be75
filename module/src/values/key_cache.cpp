#include "values/key_cache.h"

#include <cstring>
#include <string_view>

#include "frame/to_object.h"

namespace zqpy {
namespace {

// Keys are read a word at a time: words that overlap where the length is not a multiple of one,
// so that no byte past either end is read.

std::uint64_t word_at(const std::uint8_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

std::uint32_t half_word_at(const std::uint8_t* p) {
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}

// The `n` (below 8) bytes at `p` as one word, zero-extended.
std::uint64_t short_word(const std::uint8_t* p, std::size_t n) {
  if (n >= 4) return half_word_at(p) | std::uint64_t{half_word_at(p + n - 4)} << (8 * (n - 4));
  if (n == 0) return 0;
  return p[0] | std::uint64_t{p[n / 2]} << (8 * (n / 2)) | std::uint64_t{p[n - 1]} << (8 * (n - 1));
}

// The first word of a key: its first eight bytes, or all of a shorter key, zero-extended.
std::uint64_t head_word(const std::uint8_t* data, std::size_t len) {
  return len < 8 ? short_word(data, len) : word_at(data);
}

// Whether the `len` (at most 24) bytes stored in a slot, zero past the end, are the key at
// `data`, whose head_word is `head`.
bool same_key(const std::uint8_t* stored, std::uint64_t head, const std::uint8_t* data, std::size_t len) {
  std::uint64_t diff = word_at(stored) ^ head;
  if (len > 8) diff |= word_at(stored + len - 8) ^ word_at(data + len - 8);
  if (len > 16) diff |= word_at(stored + 8) ^ word_at(data + 8);
  return diff == 0;
}

// A multiplicative hash of the length and the words that cover the key, folded to a slot.
std::size_t slot_of(std::uint64_t head, const std::uint8_t* data, std::size_t len) {
  constexpr std::uint64_t kMultiplier = 0x9e3779b97f4a7c15ull;
  std::uint64_t h = (len * kMultiplier ^ head) * kMultiplier;
  if (len > 8) h = (h ^ word_at(data + len - 8)) * kMultiplier;
  if (len > 16) h = (h ^ word_at(data + 8)) * kMultiplier;
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
  // The short keys most maps hold are one word, read once for the slot and the comparison.
  const std::uint64_t head = head_word(data, len);
  cached::KeySlot& slot = slots_[slot_of(head, data, len)];
  if (slot.text != nullptr && slot.size == len && same_key(slot.bytes, head, data, len)) {
    Py_INCREF(slot.text);
    return slot.text;
  }
  PyObject* text = new_text(data, len);
  if (text == nullptr) return nullptr;
  PyObject* replaced = slot.text;
  Py_INCREF(text);
  slot.text = text;
  slot.size = static_cast<std::uint32_t>(len);
  std::memset(slot.bytes, 0, sizeof slot.bytes);
  std::memcpy(slot.bytes, data, len);
  Py_XDECREF(replaced);
  return text;
}

}  // namespace zqpy
