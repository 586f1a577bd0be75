// Three ways of holding domain patterns: a cache that compiles each pattern text once, a list
// that answers whether any pattern matches, and a map from pattern to a value that answers
// which value applies. Names without "*" are looked up by hashing; wildcard patterns are
// indexed by their literal tail (or head), so a lookup tries only patterns that can match.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_index.h"
#include "domain/domain_pattern.h"

namespace zq {

// The patterns a cache has compiled, by exact text. It has no size limit and evicts nothing.
class DomainPatternCache {
 public:
  std::size_t size() const { return patterns_.size(); }

  // The cached pattern for `text`, compiled and stored under a copy of the text on first use.
  // The reference stays valid as long as the cache.
  friend const CompiledDomainPattern& compile_cached(DomainPatternCache& cache, std::string_view text);

 private:
  TextIndex texts_;
  std::deque<CompiledDomainPattern> patterns_;  // by text number; a deque keeps references stable
};

const CompiledDomainPattern& compile_cached(DomainPatternCache& cache, std::string_view text);

// Wildcard patterns in input order, indexed for lookup. Patterns with a literal tail hang in a
// radix trie of reversed tails, the others with a literal head in a radix trie of heads, the
// rest (no literal at either end) in a list; each node lists its patterns in ascending index.
class WildcardIndex {
 public:
  void add(CompiledDomainPattern pattern);
  std::size_t size() const { return patterns_.size(); }

  // The lowest index whose pattern matches `domain`, or none. With `any`, the first match
  // found, whatever its index.
  std::optional<std::uint32_t> find(std::string_view domain, bool any) const;

 private:
  struct Node {
    std::string label;                   // the key bytes on the edge into this node, in key order
    std::vector<std::uint32_t> children;  // nodes, each label starting with a different byte
    std::vector<std::uint32_t> patterns;
  };
  struct Trie {
    bool reversed = false;  // keys are read from the end of the text
    std::vector<Node> nodes{Node{}};
  };
  static void insert(Trie& trie, std::string_view key, std::uint32_t index);
  // Tries the patterns of the nodes along `domain`'s key path.
  void walk(const Trie& trie, std::string_view domain, bool any, std::uint32_t& best) const;
  // Tries `indices` (ascending) below `best`, lowering it to the first that matches.
  void try_patterns(const std::vector<std::uint32_t>& indices, std::string_view domain, std::uint32_t& best) const;

  std::vector<CompiledDomainPattern> patterns_;
  Trie by_tail_{true};
  Trie by_head_{false};
  std::vector<std::uint32_t> unanchored_;
};

struct DomainMatcherList {
  TextIndex exact;
  WildcardIndex wildcards;
};

struct DomainPatternValue {
  std::string_view pattern;
  std::int64_t value;
};

struct DomainMatcherDict {
  TextIndex exact;
  std::vector<std::int64_t> exact_values;     // by exact-name number
  WildcardIndex wildcards;
  std::vector<std::int64_t> wildcard_values;  // by wildcard index
};

// Texts holding "*" become wildcard patterns, in order with duplicates; the others (the empty
// text included) exact names.
DomainMatcherList build_domain_matcher_list(std::span<const std::string> patterns);

// True when an exact name equals `domain` (at any length) or a wildcard pattern matches it.
bool match_any(const DomainMatcherList& list, std::string_view domain);

// Patterns holding "*" become wildcard entries in order; the others exact names, where a
// repeated name takes the later value.
DomainMatcherDict build_domain_matcher_dict(std::span<const DomainPatternValue> pairs);

// The exact name's value, else the value of the first wildcard entry that matches, else none.
std::optional<std::int64_t> match_first(const DomainMatcherDict& dict, std::string_view domain);

}  // namespace zq
