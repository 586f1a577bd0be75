// Owned and borrowed byte strings of the core.
// Bytes copies with memcpy and never zero-fills on resize: codecs that size a buffer write every
// byte themselves.
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <new>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

namespace zq {

namespace detail {

// Blocks of Bytes of this size or more come from, and go back to, a cache of one block: a
// fresh block this large tends to be mapped anew (the allocator returns such freed memory to
// the system), and its page faults cost more than filling it.
inline constexpr std::size_t kReusedBlockMin = std::size_t{256} << 10;
// Larger blocks are not kept.
inline constexpr std::size_t kReusedBlockMax = std::size_t{16} << 20;

// A block of at least `capacity` bytes; `capacity` becomes its actual size. Throws std::bad_alloc.
std::uint8_t* allocate_large_block(std::size_t& capacity);
void release_large_block(std::uint8_t* block, std::size_t capacity) noexcept;

inline std::uint8_t* allocate_block(std::size_t& capacity) {
  if (capacity < kReusedBlockMin) return static_cast<std::uint8_t*>(::operator new(capacity));
  return allocate_large_block(capacity);
}

inline void release_block(std::uint8_t* block, std::size_t capacity) noexcept {
  if (block == nullptr) return;
  if (capacity < kReusedBlockMin) {
    ::operator delete(block);
  } else {
    release_large_block(block, capacity);
  }
}

}  // namespace detail

// An owned byte buffer with the part of std::vector's interface the codecs use. New bytes from
// resize(n) and Bytes(n) are left uninitialised; every copy is one memcpy. Memory comes from
// the global operator new (large blocks through a cache, see detail above), so
// allocation failure throws std::bad_alloc as a vector's would.
class Bytes {
 public:
  using value_type = std::uint8_t;
  using size_type = std::size_t;
  using difference_type = std::ptrdiff_t;
  using reference = value_type&;
  using const_reference = const value_type&;
  using pointer = value_type*;
  using const_pointer = const value_type*;
  using iterator = value_type*;
  using const_iterator = const value_type*;

  Bytes() noexcept = default;
  // `n` uninitialised bytes.
  explicit Bytes(size_type n) { resize(n); }
  Bytes(size_type n, value_type fill) { assign_fill(n, fill); }
  Bytes(const value_type* data, size_type n) { assign_copy(data, n); }
  Bytes(std::initializer_list<value_type> bytes) { assign_copy(bytes.begin(), bytes.size()); }
  template <std::input_iterator It, std::sentinel_for<It> End>
  Bytes(It first, End last) {
    append_range(first, last);
  }

  Bytes(const Bytes& other) { assign_copy(other.data_, other.size_); }
  Bytes(Bytes&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  Bytes& operator=(const Bytes& other) {
    if (this != &other) {
      clear();
      assign_copy(other.data_, other.size_);
    }
    return *this;
  }
  Bytes& operator=(Bytes&& other) noexcept {
    Bytes moved(std::move(other));
    swap(moved);
    return *this;
  }
  ~Bytes() { detail::release_block(data_, capacity_); }

  void swap(Bytes& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }
  friend void swap(Bytes& a, Bytes& b) noexcept { a.swap(b); }

  value_type* data() noexcept { return data_; }
  const value_type* data() const noexcept { return data_; }
  size_type size() const noexcept { return size_; }
  size_type capacity() const noexcept { return capacity_; }
  bool empty() const noexcept { return size_ == 0; }

  iterator begin() noexcept { return data_; }
  iterator end() noexcept { return data_ + size_; }
  const_iterator begin() const noexcept { return data_; }
  const_iterator end() const noexcept { return data_ + size_; }
  const_iterator cbegin() const noexcept { return data_; }
  const_iterator cend() const noexcept { return data_ + size_; }

  reference operator[](size_type i) noexcept { return data_[i]; }
  const_reference operator[](size_type i) const noexcept { return data_[i]; }
  reference front() noexcept { return data_[0]; }
  const_reference front() const noexcept { return data_[0]; }
  reference back() noexcept { return data_[size_ - 1]; }
  const_reference back() const noexcept { return data_[size_ - 1]; }

  void clear() noexcept { size_ = 0; }

  // Gives the buffer up to a caller that releases it with detail::release_block(data,
  // capacity); this is left empty.
  value_type* release(size_type& capacity) noexcept {
    capacity = std::exchange(capacity_, 0);
    size_ = 0;
    return std::exchange(data_, nullptr);
  }

  // At least `n` bytes of capacity (exactly `n` below the reused block size); the contents stay.
  void reserve(size_type n) {
    if (n > capacity_) reallocate(n);
  }

  // Growing leaves the new bytes uninitialised.
  void resize(size_type n) {
    if (n > capacity_) grow_to(n);
    size_ = n;
  }
  void resize(size_type n, value_type fill) {
    const size_type old = size_;
    resize(n);
    if (n > old) std::memset(data_ + old, fill, n - old);
  }

  void push_back(value_type b) {
    if (size_ == capacity_) reallocate(std::max(2 * size_, size_type{16}));
    data_[size_++] = b;
  }
  void pop_back() noexcept { --size_; }

  // Appends `n` bytes from `bytes`, which may point into this buffer. Within the capacity the
  // bytes go straight to the end: a source inside the buffer lies before it.
  void append(const value_type* bytes, size_type n) {
    if (n <= capacity_ - size_) {
      if (n != 0) std::memcpy(data_ + size_, bytes, n);
      size_ += n;
      return;
    }
    insert(end(), bytes, bytes + n);
  }

  iterator insert(const_iterator pos, value_type b) { return insert(pos, &b, &b + 1); }
  iterator insert(const_iterator pos, size_type n, value_type fill) {
    value_type* at = open_gap(pos, n);
    if (n != 0) std::memset(at, fill, n);
    return at;
  }
  iterator insert(const_iterator pos, std::initializer_list<value_type> bytes) {
    return insert(pos, bytes.begin(), bytes.end());
  }
  template <std::input_iterator It, std::sentinel_for<It> End>
  iterator insert(const_iterator pos, It first, End last) {
    const size_type offset = static_cast<size_type>(pos - data_);
    if constexpr (is_byte_run<It, End>) {
      const auto n = static_cast<size_type>(last - first);
      if (n == 0) return data_ + offset;
      const auto* source = reinterpret_cast<const value_type*>(std::to_address(first));
      if (std::greater_equal<const value_type*>()(source, data_) &&
          std::less<const value_type*>()(source, data_ + size_)) {
        // The source lies inside this buffer, which opening the gap may move or overwrite.
        Bytes copy(source, n);
        return insert(pos, copy.begin(), copy.end());
      }
      value_type* at = open_gap(pos, n);
      std::memcpy(at, source, n);
      return at;
    } else if constexpr (std::forward_iterator<It>) {
      const auto n = static_cast<size_type>(std::ranges::distance(first, last));
      value_type* at = open_gap(pos, n);
      std::copy(first, last, at);
      return at;
    } else {
      // Single pass: append at the end, then rotate into place.
      const size_type old = size_;
      append_range(first, last);
      std::rotate(data_ + offset, data_ + old, data_ + size_);
      return data_ + offset;
    }
  }

  friend bool operator==(const Bytes& a, const Bytes& b) noexcept {
    return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
  }
  friend std::strong_ordering operator<=>(const Bytes& a, const Bytes& b) noexcept {
    const size_type common = std::min(a.size_, b.size_);
    const int c = common == 0 ? 0 : std::memcmp(a.data_, b.data_, common);
    if (c != 0) return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
    return a.size_ <=> b.size_;
  }

 private:
  // Ranges of one-byte integers in contiguous memory, which are copied with memcpy.
  template <class It, class End>
  static constexpr bool is_byte_run = std::contiguous_iterator<It> && std::sized_sentinel_for<End, It> &&
                                      std::is_integral_v<std::iter_value_t<It>> &&
                                      sizeof(std::iter_value_t<It>) == 1;

  // Moves the contents into a buffer of `n` bytes (n >= size_), or more for a reused block.
  void reallocate(size_type n) {
    value_type* bigger = detail::allocate_block(n);
    if (size_ != 0) std::memcpy(bigger, data_, size_);
    detail::release_block(data_, capacity_);
    data_ = bigger;
    capacity_ = n;
  }

  // Room for `n` bytes: exactly `n` for an empty buffer, else at least double the size, so that
  // appending piece by piece stays linear.
  void grow_to(size_type n) { reallocate(std::max(n, 2 * size_)); }

  void assign_copy(const value_type* bytes, size_type n) {
    resize(n);
    if (n != 0) std::memcpy(data_, bytes, n);
  }
  void assign_fill(size_type n, value_type fill) {
    resize(n);
    if (n != 0) std::memset(data_, fill, n);
  }

  // Makes `n` uninitialised bytes at `pos`, moving what follows; returns where they start.
  value_type* open_gap(const_iterator pos, size_type n) {
    const size_type offset = static_cast<size_type>(pos - data_);
    const size_type tail = size_ - offset;
    resize(size_ + n);
    if (tail != 0 && n != 0) std::memmove(data_ + offset + n, data_ + offset, tail);
    return data_ + offset;
  }

  template <class It, class End>
  void append_range(It first, End last) {
    if constexpr (std::forward_iterator<It>) {
      const auto n = static_cast<size_type>(std::ranges::distance(first, last));
      value_type* at = open_gap(end(), n);
      if constexpr (is_byte_run<It, End>) {
        if (n != 0) std::memcpy(at, std::to_address(first), n);
      } else {
        std::copy(first, last, at);
      }
    } else {
      for (; first != last; ++first) push_back(static_cast<value_type>(*first));
    }
  }

  value_type* data_ = nullptr;
  size_type size_ = 0;
  size_type capacity_ = 0;
};

using ByteView = std::span<const std::uint8_t>;

inline ByteView as_bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
inline std::string_view as_text(ByteView b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}
inline void append(Bytes& out, ByteView b) { out.append(b.data(), b.size()); }

// Copies `n` (at most 24) bytes as overlapping words, each read before it is written: no call to
// memcpy, no byte past either end touched, and a source that starts at or after the destination
// in the same buffer is copied whole.
inline void copy_short_bytes(void* to, const void* from, std::size_t n) noexcept {
  auto* dst = static_cast<std::uint8_t*>(to);
  const auto* src = static_cast<const std::uint8_t*>(from);
  if (n >= 8) {
    std::uint64_t head, middle, tail;
    std::memcpy(&head, src, 8);
    std::memcpy(&middle, src + (n > 16 ? 8 : n - 8), 8);
    std::memcpy(&tail, src + n - 8, 8);
    std::memcpy(dst, &head, 8);
    std::memcpy(dst + (n > 16 ? 8 : n - 8), &middle, 8);
    std::memcpy(dst + n - 8, &tail, 8);
  } else if (n >= 4) {
    std::uint32_t head, tail;
    std::memcpy(&head, src, 4);
    std::memcpy(&tail, src + n - 4, 4);
    std::memcpy(dst, &head, 4);
    std::memcpy(dst + n - 4, &tail, 4);
  } else if (n > 0) {
    dst[0] = src[0];
    dst[n / 2] = src[n / 2];
    dst[n - 1] = src[n - 1];
  }
}

// Copies `n` bytes between buffers that do not overlap. Up to 24 bytes, the usual length of the
// texts and keys of a message or URL, go as words rather than through a call to memcpy.
inline void copy_bytes(void* to, const void* from, std::size_t n) {
  if (n > 24) {
    std::memcpy(to, from, n);
  } else {
    copy_short_bytes(to, from, n);
  }
}

}  // namespace zq
