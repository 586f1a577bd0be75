// The cache of one large Bytes block: a released block waits there for the next allocation it
// fits without wasting more than that allocation asks for.
#include "common/bytes.h"

#include <atomic>

namespace zq::detail {
namespace {

// The kept block, or null. A block's first bytes hold its capacity while it waits. One slot
// for the process, exchanged atomically, so that any thread may take or leave a block; it has
// no destructor, so that Bytes released during exit find it still there.
std::atomic<std::uint8_t*> kept_block{nullptr};

std::size_t capacity_of_kept(const std::uint8_t* block) {
  std::size_t capacity;
  std::memcpy(&capacity, block, sizeof capacity);
  return capacity;
}

}  // namespace

std::uint8_t* allocate_large_block(std::size_t& capacity) {
  if (std::uint8_t* block = kept_block.exchange(nullptr, std::memory_order_acquire)) {
    const std::size_t kept = capacity_of_kept(block);
    if (kept >= capacity && kept / 2 <= capacity) {
      capacity = kept;
      return block;
    }
    release_large_block(block, kept);
  }
  return static_cast<std::uint8_t*>(::operator new(capacity));
}

void release_large_block(std::uint8_t* block, std::size_t capacity) noexcept {
  if (capacity > kReusedBlockMax) {
    ::operator delete(block);
    return;
  }
  std::memcpy(block, &capacity, sizeof capacity);
  // The newest block is kept; one left by another thread meanwhile is freed.
  if (std::uint8_t* previous = kept_block.exchange(block, std::memory_order_acq_rel)) ::operator delete(previous);
}

}  // namespace zq::detail
