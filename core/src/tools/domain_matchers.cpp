// The pattern cache, the wildcard index and the list and dict matchers built on them.
#include "tools/domain_matchers.h"

#include <limits>
#include <utility>

namespace zq {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

bool holds_star(std::string_view text) { return text.find('*') != std::string_view::npos; }

}  // namespace

DomainPatternCache::DomainPatternCache() : patterns_(0, KeyedTextHash{random_hash_keys()}) {}

const CompiledDomainPattern& compile_cached(DomainPatternCache& cache, std::string_view text) {
  auto found = cache.patterns_.find(text);
  if (found != cache.patterns_.end()) return found->second;
  return cache.patterns_.emplace(std::string(text), compile_domain_pattern(text)).first->second;
}

void WildcardIndex::insert(std::vector<Node>& trie, std::string_view key, bool reversed, std::uint32_t index) {
  std::uint32_t node = 0;
  for (std::size_t k = 0; k < key.size(); ++k) {
    const auto byte = static_cast<unsigned char>(reversed ? key[key.size() - 1 - k] : key[k]);
    std::uint32_t child = kNone;
    for (const auto& [b, c] : trie[node].children) {
      if (b == byte) child = c;
    }
    if (child == kNone) {
      child = static_cast<std::uint32_t>(trie.size());
      trie[node].children.emplace_back(byte, child);
      trie.emplace_back();
    }
    node = child;
  }
  trie[node].patterns.push_back(index);
}

void WildcardIndex::add(CompiledDomainPattern pattern) {
  const auto index = static_cast<std::uint32_t>(patterns_.size());
  if (!pattern.tail().empty()) {
    insert(by_tail_, pattern.tail(), true, index);
  } else if (!pattern.head().empty()) {
    insert(by_head_, pattern.head(), false, index);
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

void WildcardIndex::walk(const std::vector<Node>& trie, std::string_view key, bool reversed,
                         std::string_view domain, bool any, std::uint32_t& best) const {
  std::uint32_t node = 0;
  for (std::size_t k = 0; k < key.size(); ++k) {
    const auto byte = static_cast<unsigned char>(reversed ? key[key.size() - 1 - k] : key[k]);
    std::uint32_t child = kNone;
    for (const auto& [b, c] : trie[node].children) {
      if (b == byte) {
        child = c;
        break;
      }
    }
    if (child == kNone) return;
    node = child;
    try_patterns(trie[node].patterns, domain, best);
    if (any && best != kNone) return;
  }
}

std::optional<std::uint32_t> WildcardIndex::find(std::string_view domain, bool any) const {
  if (patterns_.empty() || domain.size() > kMaxMatchedDomainBytes) return std::nullopt;
  std::uint32_t best = kNone;
  try_patterns(unanchored_, domain, best);
  if (!(any && best != kNone)) walk(by_tail_, domain, true, domain, any, best);
  if (!(any && best != kNone)) walk(by_head_, domain, false, domain, any, best);
  if (best == kNone) return std::nullopt;
  return best;
}

DomainMatcherList build_domain_matcher_list(std::span<const std::string> patterns) {
  DomainMatcherList list{decltype(DomainMatcherList::exact)(0, KeyedTextHash{random_hash_keys()}), {}};
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
  if (!list.exact.empty() && list.exact.find(domain) != list.exact.end()) return true;
  return list.wildcards.find(domain, true).has_value();
}

DomainMatcherDict build_domain_matcher_dict(std::span<const DomainPatternValue> pairs) {
  DomainMatcherDict dict{decltype(DomainMatcherDict::exact)(0, KeyedTextHash{random_hash_keys()}), {}, {}};
  for (const auto& [pattern, value] : pairs) {
    if (holds_star(pattern)) {
      dict.wildcards.add(compile_domain_pattern(pattern));
      dict.wildcard_values.push_back(value);
    } else {
      dict.exact.insert_or_assign(std::string(pattern), value);
    }
  }
  return dict;
}

std::optional<std::int64_t> match_first(const DomainMatcherDict& dict, std::string_view domain) {
  if (!dict.exact.empty()) {
    auto found = dict.exact.find(domain);
    if (found != dict.exact.end()) return found->second;
  }
  const auto index = dict.wildcards.find(domain, false);
  if (!index) return std::nullopt;
  return dict.wildcard_values[*index];
}

}  // namespace zq
