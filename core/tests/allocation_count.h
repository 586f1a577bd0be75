// Counting what code asks the global operator new for. The test binary replaces operator new
// (allocation_count.cpp); it counts only on a thread that has asked for it, and otherwise just
// forwards to malloc.
#pragma once

#include <cstddef>

namespace zq::test {

struct Allocations {
  std::size_t bytes = 0;
  std::size_t calls = 0;
};

void start_counting_allocations();
Allocations stop_counting_allocations();

// What `f` asks operator new for on this thread, in total.
template <class F>
Allocations count_allocations(F&& f) {
  start_counting_allocations();
  f();
  return stop_counting_allocations();
}

}  // namespace zq::test
