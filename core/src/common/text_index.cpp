// Linear probing over a table kept at most half full.
#include "common/text_index.h"

namespace zq {

std::size_t TextIndex::probe(std::string_view text, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
    const std::uint32_t number = slots_[i];
    if (number == kNotFound || (hashes_[number] == hash && texts_[number] == text)) return i;
  }
}

std::uint32_t TextIndex::find(std::string_view text) const {
  if (texts_.empty()) return kNotFound;
  return slots_[probe(text, keyed_hash(keys_, text))];
}

void TextIndex::grow() {
  slots_.assign(slots_.empty() ? 8 : 2 * slots_.size(), kNotFound);
  const std::size_t mask = slots_.size() - 1;
  for (std::uint32_t number = 0; number < texts_.size(); ++number) {
    std::size_t i = static_cast<std::size_t>(hashes_[number]) & mask;
    while (slots_[i] != kNotFound) i = (i + 1) & mask;
    slots_[i] = number;
  }
}

std::pair<std::uint32_t, bool> TextIndex::insert(std::string_view text) {
  if (2 * (texts_.size() + 1) > slots_.size()) grow();
  const std::uint64_t hash = keyed_hash(keys_, text);
  const std::size_t slot = probe(text, hash);
  if (slots_[slot] != kNotFound) return {slots_[slot], false};
  const auto number = static_cast<std::uint32_t>(texts_.size());
  texts_.emplace_back(text);
  hashes_.push_back(hash);
  slots_[slot] = number;
  return {number, true};
}

}  // namespace zq
