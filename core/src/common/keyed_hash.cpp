// SipHash-1-3 (one compression round per 8-byte block, three finalization rounds) and the
// random keys of hash tables.
#include "common/keyed_hash.h"

#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace zq {
namespace {

constexpr std::uint64_t rotl(std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

struct SipState {
  std::uint64_t v0, v1, v2, v3;

  void round() {
    v0 += v1;
    v1 = rotl(v1, 13);
    v1 ^= v0;
    v0 = rotl(v0, 32);
    v2 += v3;
    v3 = rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = rotl(v1, 17);
    v1 ^= v2;
    v2 = rotl(v2, 32);
  }
  void compress(std::uint64_t m) {
    v3 ^= m;
    round();
    v0 ^= m;
  }
};

std::uint64_t load_le64(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

std::uint64_t splitmix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// Keys from the system's random source; when it cannot deliver, keys mixed from the clock, an
// address and a counter.
HashKeys system_random_keys() {
  HashKeys keys;
  unsigned char* out = reinterpret_cast<unsigned char*>(&keys);
  std::size_t filled = 0;
  while (filled < sizeof keys) {
    const ssize_t got = getrandom(out + filled, sizeof keys - filled, GRND_NONBLOCK);
    if (got > 0) {
      filled += static_cast<std::size_t>(got);
    } else if (got < 0 && errno != EINTR) {
      break;
    }
  }
  if (filled == sizeof keys) return keys;
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t state = static_cast<std::uint64_t>(
                            std::chrono::steady_clock::now().time_since_epoch().count()) ^
                        reinterpret_cast<std::uintptr_t>(&keys) ^
                        (counter.fetch_add(1, std::memory_order_relaxed) << 32);
  return {splitmix(state), splitmix(state)};
}

}  // namespace

std::uint64_t keyed_hash(const HashKeys& keys, std::string_view bytes) {
  SipState s{keys.k0 ^ 0x736f6d6570736575ULL, keys.k1 ^ 0x646f72616e646f6dULL,
             keys.k0 ^ 0x6c7967656e657261ULL, keys.k1 ^ 0x7465646279746573ULL};
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  const std::size_t whole = n & ~std::size_t{7};
  for (std::size_t i = 0; i < whole; i += 8) s.compress(load_le64(p + i));
  std::uint64_t last = static_cast<std::uint64_t>(n) << 56;
  for (std::size_t i = whole; i < n; ++i) last |= static_cast<std::uint64_t>(p[i]) << (8 * (i - whole));
  s.compress(last);
  s.v2 ^= 0xff;
  s.round();
  s.round();
  s.round();
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

// Each thread draws one secret from the system's random source, on its first table; a table's
// keys are then SipHash of a per-thread counter under that secret: as unpredictable as the
// secret, different for every table, and without a system call per table.
HashKeys random_hash_keys() {
  thread_local const HashKeys secret = system_random_keys();
  thread_local std::uint64_t tables = 0;
  char block[9];
  const std::uint64_t number = tables++;
  std::memcpy(block, &number, sizeof number);
  block[8] = 0;
  const std::uint64_t k0 = keyed_hash(secret, {block, sizeof block});
  block[8] = 1;
  return {k0, keyed_hash(secret, {block, sizeof block})};
}

}  // namespace zq
