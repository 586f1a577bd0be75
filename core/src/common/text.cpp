#include "common/text.h"

namespace zq {

char* Text::allocate_copy(const char* text, std::size_t n) {
  char* block = new char[n];
  std::memcpy(block, text, n);
  return block;
}

// The new bytes are copied before the old block goes, since `text` may lie in it.
void Text::assign_slow(const char* text, std::size_t n) {
  char* const old_block = on_heap() ? heap_ : nullptr;
  if (n <= kInlineCapacity) {
    char bytes[kInlineCapacity] = {};  // the bytes past the text stay zero in the inline block
    copy_short_bytes(bytes, text, n);
    std::memcpy(inline_, bytes, kInlineCapacity);
  } else {
    heap_ = allocate_copy(text, n);
  }
  size_ = n;
  delete[] old_block;
}

}  // namespace zq
