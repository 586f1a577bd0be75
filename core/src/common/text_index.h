// An index of distinct texts: each text gets the next number when first inserted, and lookups
// go through an open-addressing table under the keyed hash, with random keys drawn when the
// index is made and kept by it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/keyed_hash.h"

namespace zq {

class TextIndex {
 public:
  static constexpr std::uint32_t kNotFound = std::numeric_limits<std::uint32_t>::max();

  TextIndex() : keys_(random_hash_keys()) {}

  std::size_t size() const { return texts_.size(); }
  bool empty() const { return texts_.empty(); }
  std::string_view text(std::uint32_t index) const { return texts_[index]; }

  // The number of `text`, or kNotFound.
  std::uint32_t find(std::string_view text) const;

  // The number of `text`, inserting a copy first when it is new; `inserted` says which.
  std::pair<std::uint32_t, bool> insert(std::string_view text);

 private:
  // The slot holding `text`, or the empty slot where it would go.
  std::size_t probe(std::string_view text, std::uint64_t hash) const;
  void grow();

  HashKeys keys_;
  std::vector<std::string> texts_;
  std::vector<std::uint64_t> hashes_;  // by number
  std::vector<std::uint32_t> slots_;   // numbers, kNotFound for empty; a power of two in size
};

}  // namespace zq
