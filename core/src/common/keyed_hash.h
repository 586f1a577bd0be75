// A keyed hash for the core's hash tables (SipHash-1-3 over bytes, 64-bit result). A table draws
// its random keys once, when it is built, and keeps them: lookups on any thread then use the
// keys the table was built with, and no table depends on state that outlives it or on state
// that dies before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zq {

struct HashKeys {
  std::uint64_t k0 = 0;
  std::uint64_t k1 = 0;
};

// Fresh keys for one table, unpredictable and different for every call: derived from a secret
// the calling thread draws once from the system's random source (when it cannot deliver, from
// the clock, an address and a counter).
HashKeys random_hash_keys();

// SipHash-1-3 of `bytes` under `keys`.
std::uint64_t keyed_hash(const HashKeys& keys, std::string_view bytes);

// The hasher for standard hash containers keyed by input text; the container keeps the keys it
// was built with (`Map map(0, KeyedTextHash{})` draws fresh ones).
struct KeyedTextHash {
  HashKeys keys = random_hash_keys();
  std::size_t operator()(std::string_view text) const {
    return static_cast<std::size_t>(keyed_hash(keys, text));
  }
};

}  // namespace zq
