// The test binary's global operator new, which counts on the threads that ask it to.
#include "allocation_count.h"

#include <cstdlib>
#include <new>

namespace {

thread_local bool t_counting = false;
thread_local std::size_t t_bytes = 0;
thread_local std::size_t t_calls = 0;

}  // namespace

// g++ sees free() of memory that came from operator new; here that is the pairing itself.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t n) {
  if (t_counting) {
    t_bytes += n;
    ++t_calls;
  }
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }

namespace zq::test {

void start_counting_allocations() {
  t_bytes = t_calls = 0;
  t_counting = true;
}

Allocations stop_counting_allocations() {
  t_counting = false;
  return {t_bytes, t_calls};
}

}  // namespace zq::test
