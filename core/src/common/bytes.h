// Owned and borrowed byte strings of the core.
// Bytes never zero-fills on resize: codecs that size a buffer write every byte themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace zq {

// An allocator whose value-initialising construct() default-initialises instead, so that
// resize() of a byte vector leaves new bytes uninitialised rather than writing zeros.
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
  using std::allocator<T>::allocator;
  template <class U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this), p,
                                                        std::forward<Args>(args)...);
  }
};

using Bytes = std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>>;
using ByteView = std::span<const std::uint8_t>;

inline ByteView as_bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
inline std::string_view as_text(ByteView b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}
inline void append(Bytes& out, ByteView b) { out.insert(out.end(), b.begin(), b.end()); }

}  // namespace zq
