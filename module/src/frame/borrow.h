// The per-instance borrow flag and its scoped guards: 0 free, n shared borrows, all bits set
// one exclusive borrow. Calls hold the interpreter lock; the flag guards against re-entry from
// Python code that a call runs.
#pragma once

#include <atomic>
#include <cstdint>

#include "frame/python.h"

namespace zqpy {

class BorrowFlag {
 public:
  static constexpr std::uintptr_t kExclusive = ~std::uintptr_t{0};

  // False with RuntimeError "Already mutably borrowed" while an exclusive borrow is held.
  bool try_shared() {
    std::uintptr_t seen = word_.load(std::memory_order_relaxed);
    do {
      if (seen == kExclusive) {
        PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
        return false;
      }
    } while (!word_.compare_exchange_weak(seen, seen + 1, std::memory_order_acquire, std::memory_order_relaxed));
    return true;
  }
  void release_shared() { word_.fetch_sub(1, std::memory_order_release); }

  // False with RuntimeError "Already borrowed" while any borrow is held.
  bool try_exclusive() {
    std::uintptr_t expected = 0;
    if (word_.compare_exchange_strong(expected, kExclusive, std::memory_order_acquire, std::memory_order_relaxed)) {
      return true;
    }
    PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
    return false;
  }
  void release_exclusive() { word_.store(0, std::memory_order_release); }

 private:
  std::atomic<std::uintptr_t> word_{0};
};

// None: the record is immutable and is read without a borrow.
enum class Borrow { Shared, Exclusive, None };

// Holds one borrow of `flag` for its scope when acquire() succeeded.
template <Borrow B>
class BorrowGuard {
 public:
  explicit BorrowGuard(BorrowFlag& flag) : flag_(flag) {}
  BorrowGuard(const BorrowGuard&) = delete;
  BorrowGuard& operator=(const BorrowGuard&) = delete;
  ~BorrowGuard() {
    if (!held_) return;
    if constexpr (B == Borrow::Shared) {
      flag_.release_shared();
    } else if constexpr (B == Borrow::Exclusive) {
      flag_.release_exclusive();
    }
  }

  // False with the borrow's RuntimeError set.
  bool acquire() {
    if constexpr (B == Borrow::Shared) {
      held_ = flag_.try_shared();
    } else if constexpr (B == Borrow::Exclusive) {
      held_ = flag_.try_exclusive();
    } else {
      held_ = true;
    }
    return held_;
  }

 private:
  BorrowFlag& flag_;
  bool held_ = false;
};

}  // namespace zqpy
