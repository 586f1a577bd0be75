// Three ways of holding domain patterns: a cache that compiles each pattern text once, a list
// that answers whether any pattern matches, and a map from pattern to a value that answers
// which value applies. Names without "*" are looked up by hashing; wildcard patterns are
// indexed by their literal tail (or head), so a lookup tries only patterns that can match.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/keyed_hash.h"
#include "tools/domain_pattern.h"

namespace zq {

// The patterns a cache has compiled, by exact text. It has no size limit and evicts nothing.
class DomainPatternCache {
 public:
  DomainPatternCache();
  std::size_t size() const { return patterns_.size(); }

  // The cached pattern for `text`, compiled and stored under a copy of the text on first use.
  // The reference stays valid as long as the cache.
  friend const CompiledDomainPattern& compile_cached(DomainPatternCache& cache, std::string_view text);

 private:
  std::unordered_map<std::string, CompiledDomainPattern, KeyedTextHash, TextEqual> patterns_;
};

const CompiledDomainPattern& compile_cached(DomainPatternCache& cache, std::string_view text);

// Wildcard patterns in input order, indexed for lookup. Patterns with a literal tail hang in a
// trie of reversed tails, the others with a literal head in a trie of heads, the rest (no
// literal at either end) in a list; each trie node lists its patterns in ascending index.
class WildcardIndex {
 public:
  void add(CompiledDomainPattern pattern);
  std::size_t size() const { return patterns_.size(); }

  // The lowest index whose pattern matches `domain`, or none. With `any`, the first match
  // found, whatever its index.
  std::optional<std::uint32_t> find(std::string_view domain, bool any) const;

 private:
  struct Node {
    std::vector<std::pair<unsigned char, std::uint32_t>> children;
    std::vector<std::uint32_t> patterns;
  };
  static void insert(std::vector<Node>& trie, std::string_view key, bool reversed, std::uint32_t index);
  // Tries the patterns of the nodes along `key` (read backwards when `reversed`).
  void walk(const std::vector<Node>& trie, std::string_view key, bool reversed, std::string_view domain,
            bool any, std::uint32_t& best) const;
  // Tries `indices` (ascending) below `best`, lowering it to the first that matches.
  void try_patterns(const std::vector<std::uint32_t>& indices, std::string_view domain, std::uint32_t& best) const;

  std::vector<CompiledDomainPattern> patterns_;
  std::vector<Node> by_tail_{Node{}};
  std::vector<Node> by_head_{Node{}};
  std::vector<std::uint32_t> unanchored_;
};

struct DomainMatcherList {
  std::unordered_set<std::string, KeyedTextHash, TextEqual> exact;
  WildcardIndex wildcards;
};

struct DomainPatternValue {
  std::string_view pattern;
  std::int64_t value;
};

struct DomainMatcherDict {
  std::unordered_map<std::string, std::int64_t, KeyedTextHash, TextEqual> exact;
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
