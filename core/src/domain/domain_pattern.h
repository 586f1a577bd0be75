// Domain patterns: "*" stands for one or more characters within a label (no "." or "~"), "**"
// for any run of characters, every other character for itself. Compiled once, matched anchored
// at both ends.
//
// Matching works on UTF-8 bytes. Because "*" never occurs inside a multi-byte character and a
// literal always spans whole characters, this gives exactly the character-by-character result
// for valid UTF-8; invalid UTF-8 (which only core callers can pass) is matched byte for byte
// and never read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

// Longer domains match no pattern ("**" included).
inline constexpr std::size_t kMaxMatchedDomainBytes = 8192;

enum class DomainToken : std::uint16_t {
  // 0..255: a literal byte.
  Star = 256,
  DoubleStar = 257,
};

class CompiledDomainPattern {
 public:
  // The tokens, one literal byte each for the characters; each "**" is one DoubleStar, a
  // lone "*" one Star (so "***" is DoubleStar then Star, "****" two DoubleStars).
  const std::vector<DomainToken>& tokens() const { return tokens_; }

  // The literal bytes before the first wildcard and after the last; a pattern without
  // wildcards is all head.
  std::string_view head() const { return head_; }
  std::string_view tail() const { return tail_; }

  friend CompiledDomainPattern compile_domain_pattern(std::string_view text);
  friend bool match_domain_pattern(const CompiledDomainPattern& pattern, std::string_view domain);

 private:
  // Exact: no wildcard. OneGroup: head, one run of wildcards, tail (most patterns).
  // General: head, then `middle_` (wildcard runs and the literals between them), then tail.
  enum class Shape : std::uint8_t { Exact, OneGroup, General };

  std::vector<DomainToken> tokens_;
  std::string head_;
  std::string tail_;
  // General only: the tokens between head and tail, each run of DoubleStars collapsed into one
  // (they match the same), beginning and ending with a wildcard.
  std::vector<DomainToken> middle_;
  std::size_t min_bytes_ = 0;  // what any match needs: the literal bytes plus one per Star
  Shape shape_ = Shape::Exact;
  bool group_any_ = false;   // OneGroup: the run holds a DoubleStar
  bool group_star_ = false;  // OneGroup: the run ends with a Star
};

// Never fails.
CompiledDomainPattern compile_domain_pattern(std::string_view text);

// True when all of `domain` matches all of `pattern`. Memory stays proportional to the domain
// and time bounded by its square, whatever the pattern's length.
bool match_domain_pattern(const CompiledDomainPattern& pattern, std::string_view domain);

// True when `name` ends with "core", "gw", "vorn" or "abs" (bytes, no dot boundary).
bool is_core_domain(std::string_view name);

// True when `name` ends with ".zq" or ".sys" (bytes, the dot included).
bool is_sys_domain(std::string_view name);

}  // namespace zq
