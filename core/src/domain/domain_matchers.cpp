// The pattern cache, the wildcard index and the list and dict matchers built on them.
#include "domain/domain_matchers.h"

#include <limits>
#include <utility>

namespace zq {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

bool holds_star(std::string_view text) { return text.find('*') != std::string_view::npos; }

// Byte k of `text` read forwards, or backwards from its end.
unsigned char key_byte(std::string_view text, std::size_t k, bool reversed) {
  return static_cast<unsigned char>(reversed ? text[text.size() - 1 - k] : text[k]);
}

}  // namespace

const CompiledDomainPattern& compile_cached(DomainPatternCache& cache, std::string_view text) {
  const std::uint32_t found = cache.texts_.find(text);
  if (found != TextIndex::kNotFound) return cache.patterns_[found];
  CompiledDomainPattern compiled = compile_domain_pattern(text);
  cache.texts_.insert(text);
  return cache.patterns_.emplace_back(std::move(compiled));
}

void WildcardIndex::insert(Trie& trie, std::string_view key, std::uint32_t index) {
  std::uint32_t node = 0;
  std::size_t k = 0;
  while (k < key.size()) {
    const unsigned char byte = key_byte(key, k, trie.reversed);
    std::uint32_t child = kNone;
    for (std::uint32_t c : trie.nodes[node].children) {
      if (static_cast<unsigned char>(trie.nodes[c].label[0]) == byte) child = c;
    }
    if (child == kNone) {
      // A new leaf takes the rest of the key as its label.
      Node leaf;
      for (; k < key.size(); ++k) leaf.label.push_back(static_cast<char>(key_byte(key, k, trie.reversed)));
      child = static_cast<std::uint32_t>(trie.nodes.size());
      trie.nodes.push_back(std::move(leaf));
      trie.nodes[node].children.push_back(child);
      node = child;
      break;
    }
    const std::string& label = trie.nodes[child].label;
    std::size_t common = 0;
    while (common < label.size() && k + common < key.size() &&
           static_cast<unsigned char>(label[common]) == key_byte(key, k + common, trie.reversed)) {
      ++common;
    }
    if (common < label.size()) {
      // Split the edge: a new node takes the common part, the old child keeps the rest.
      Node middle;
      middle.label = label.substr(0, common);
      middle.children.push_back(child);
      trie.nodes[child].label.erase(0, common);
      const auto middle_index = static_cast<std::uint32_t>(trie.nodes.size());
      for (std::uint32_t& c : trie.nodes[node].children) {
        if (c == child) c = middle_index;
      }
      trie.nodes.push_back(std::move(middle));
      child = middle_index;
    }
    k += common;
    node = child;
  }
  trie.nodes[node].patterns.push_back(index);
}

void WildcardIndex::add(CompiledDomainPattern pattern) {
  const auto index = static_cast<std::uint32_t>(patterns_.size());
  if (!pattern.tail().empty()) {
    insert(by_tail_, pattern.tail(), index);
  } else if (!pattern.head().empty()) {
    insert(by_head_, pattern.head(), index);
  } else {
    unanchored_.push_back(index);
  }
  patterns_.push_back(std::move(pattern));
}

void WildcardIndex::try_patterns(const std::vector<std::uint32_t>& indices, std::string_view domain,
                                 std::uint32_t& best) const {
  for (std::uint32_t index : indices) {
    if (index >= best) return;
    if (match_domain_pattern(patterns_[index], domain)) {
      best = index;
      return;
    }
  }
}

void WildcardIndex::walk(const Trie& trie, std::string_view domain, bool any, std::uint32_t& best) const {
  const std::vector<Node>& nodes = trie.nodes;
  std::uint32_t node = 0;
  std::size_t k = 0;
  while (k < domain.size() && !nodes[node].children.empty()) {
    const unsigned char byte = key_byte(domain, k, trie.reversed);
    std::uint32_t child = kNone;
    for (std::uint32_t c : nodes[node].children) {
      if (static_cast<unsigned char>(nodes[c].label[0]) == byte) {
        child = c;
        break;
      }
    }
    if (child == kNone) return;
    const std::string& label = nodes[child].label;
    if (label.size() > domain.size() - k) return;
    for (std::size_t j = 1; j < label.size(); ++j) {
      if (static_cast<unsigned char>(label[j]) != key_byte(domain, k + j, trie.reversed)) return;
    }
    k += label.size();
    node = child;
    try_patterns(nodes[node].patterns, domain, best);
    if (any && best != kNone) return;
  }
}

std::optional<std::uint32_t> WildcardIndex::find(std::string_view domain, bool any) const {
  if (patterns_.empty() || domain.size() > kMaxMatchedDomainBytes) return std::nullopt;
  std::uint32_t best = kNone;
  try_patterns(unanchored_, domain, best);
  if (!(any && best != kNone)) walk(by_tail_, domain, any, best);
  if (!(any && best != kNone)) walk(by_head_, domain, any, best);
  if (best == kNone) return std::nullopt;
  return best;
}

DomainMatcherList build_domain_matcher_list(std::span<const std::string> patterns) {
  DomainMatcherList list;
  for (const std::string& text : patterns) {
    if (holds_star(text)) {
      list.wildcards.add(compile_domain_pattern(text));
    } else {
      list.exact.insert(text);
    }
  }
  return list;
}

bool match_any(const DomainMatcherList& list, std::string_view domain) {
  if (list.exact.find(domain) != TextIndex::kNotFound) return true;
  return list.wildcards.find(domain, true).has_value();
}

DomainMatcherDict build_domain_matcher_dict(std::span<const DomainPatternValue> pairs) {
  DomainMatcherDict dict;
  for (const auto& [pattern, value] : pairs) {
    if (holds_star(pattern)) {
      dict.wildcards.add(compile_domain_pattern(pattern));
      dict.wildcard_values.push_back(value);
    } else if (const auto [number, inserted] = dict.exact.insert(pattern); inserted) {
      dict.exact_values.push_back(value);
    } else {
      dict.exact_values[number] = value;
    }
  }
  return dict;
}

std::optional<std::int64_t> match_first(const DomainMatcherDict& dict, std::string_view domain) {
  if (const std::uint32_t number = dict.exact.find(domain); number != TextIndex::kNotFound) {
    return dict.exact_values[number];
  }
  const auto index = dict.wildcards.find(domain, false);
  if (!index) return std::nullopt;
  return dict.wildcard_values[*index];
}

}  // namespace zq
