// Compiling domain patterns and matching them: exact and one-wildcard-run patterns by direct
// comparison, all others by the dynamic programme over the tokens, kept to two rows.
#include "domain/domain_pattern.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zq {
namespace {

constexpr bool is_separator(unsigned char b) { return b == '.' || b == '~'; }

constexpr bool is_wildcard(DomainToken t) { return t == DomainToken::Star || t == DomainToken::DoubleStar; }

bool has_separator(std::string_view bytes) {
  for (char c : bytes) {
    if (is_separator(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

bool starts_with(std::string_view text, std::string_view head) {
  return head.empty() || std::memcmp(text.data(), head.data(), head.size()) == 0;
}

bool ends_with(std::string_view text, std::string_view tail) {
  return tail.empty() || std::memcmp(text.data() + text.size() - tail.size(), tail.data(), tail.size()) == 0;
}

// M[t][i] of the tokens against the bytes, row by row from the last token, keeping two rows:
// `next` is row t + 1 and `cur` row t. Row t is computed only from `lo[t]` (the bytes the
// tokens before t need at least) on; nothing below is ever read. A row with no true cell ends
// the match at once.
bool match_rows(const std::vector<DomainToken>& tokens, std::string_view bytes) {
  const std::size_t n = bytes.size();
  const auto* d = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t t_count = tokens.size();

  constexpr std::size_t kStackCells = 512;
  unsigned char stack_cells[2 * kStackCells];
  std::unique_ptr<unsigned char[]> heap_cells;
  unsigned char* cells = stack_cells;
  if (n + 1 > kStackCells) {
    heap_cells = std::make_unique_for_overwrite<unsigned char[]>(2 * (n + 1));
    cells = heap_cells.get();
  }
  unsigned char* next = cells;
  unsigned char* cur = cells + (n + 1);

  // lo for the row being computed: the bytes consumed by the tokens before it, at least.
  std::size_t lo = 0;
  for (DomainToken t : tokens) lo += t != DomainToken::DoubleStar;
  std::fill(next + std::min(lo, n), next + n + 1, 0);
  next[n] = 1;

  for (std::size_t t = t_count; t-- > 0;) {
    const DomainToken token = tokens[t];
    if (token != DomainToken::DoubleStar) --lo;
    unsigned char live = 0;
    if (token == DomainToken::DoubleStar) {
      unsigned char acc = next[n];
      cur[n] = acc;
      for (std::size_t i = n; i-- > lo;) {
        acc |= next[i];
        cur[i] = acc;
      }
      live = acc;
    } else if (token == DomainToken::Star) {
      unsigned char run = 0;
      cur[n] = 0;
      for (std::size_t i = n; i-- > lo;) {
        run = is_separator(d[i]) ? 0 : static_cast<unsigned char>(next[i + 1] | run);
        cur[i] = run;
        live |= run;
      }
    } else {
      const auto c = static_cast<unsigned char>(token);
      cur[n] = 0;
      for (std::size_t i = n; i-- > lo;) {
        const auto cell = static_cast<unsigned char>((d[i] == c) & next[i + 1]);
        cur[i] = cell;
        live |= cell;
      }
    }
    if (!live) return false;
    std::swap(next, cur);
  }
  return next[0] != 0;
}

}  // namespace

CompiledDomainPattern compile_domain_pattern(std::string_view text) {
  CompiledDomainPattern p;
  p.tokens_.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '*') {
      p.tokens_.push_back(static_cast<DomainToken>(static_cast<unsigned char>(text[i])));
    } else if (i + 1 < text.size() && text[i + 1] == '*') {
      p.tokens_.push_back(DomainToken::DoubleStar);
      ++i;
    } else {
      p.tokens_.push_back(DomainToken::Star);
    }
  }
  const auto& tokens = p.tokens_;
  const auto first = std::find_if(tokens.begin(), tokens.end(), is_wildcard);
  if (first == tokens.end()) {
    p.head_.assign(text);
    p.min_bytes_ = text.size();
    return p;
  }
  const auto last = std::find_if(tokens.rbegin(), tokens.rend(), is_wildcard).base();  // one past
  for (auto it = tokens.begin(); it != first; ++it) p.head_.push_back(static_cast<char>(*it));
  for (auto it = last; it != tokens.end(); ++it) p.tail_.push_back(static_cast<char>(*it));

  std::size_t groups = 0;
  for (auto it = first; it != last; ++it) {
    const bool wild = is_wildcard(*it);
    if (wild && (it == first || !is_wildcard(*(it - 1)))) ++groups;
    if (*it == DomainToken::DoubleStar) p.group_any_ = true;
    if (*it == DomainToken::Star) p.group_star_ = true;
    // A run of DoubleStars matches what one does.
    if (*it == DomainToken::DoubleStar && !p.middle_.empty() && p.middle_.back() == DomainToken::DoubleStar) continue;
    p.middle_.push_back(*it);
  }
  p.min_bytes_ = static_cast<std::size_t>(
      std::count_if(tokens.begin(), tokens.end(), [](DomainToken t) { return t != DomainToken::DoubleStar; }));
  if (groups == 1) {
    p.shape_ = CompiledDomainPattern::Shape::OneGroup;
    p.middle_.clear();
    p.middle_.shrink_to_fit();
  } else {
    p.shape_ = CompiledDomainPattern::Shape::General;
    p.group_any_ = p.group_star_ = false;
  }
  p.tokens_.shrink_to_fit();
  return p;
}

bool match_domain_pattern(const CompiledDomainPattern& p, std::string_view domain) {
  using Shape = CompiledDomainPattern::Shape;
  if (domain.size() > kMaxMatchedDomainBytes) return false;
  if (p.shape_ == Shape::Exact) return domain == p.head_;
  // A pattern that needs more bytes than the domain has fails before anything is read.
  if (domain.size() < p.min_bytes_) return false;
  if (!starts_with(domain, p.head_) || !ends_with(domain, p.tail_)) return false;
  const std::string_view middle = domain.substr(p.head_.size(), domain.size() - p.head_.size() - p.tail_.size());
  if (p.shape_ == Shape::OneGroup) {
    // DoubleStars then an optional Star: with the Star, at least one byte and the last (which
    // the Star must take) not a separator; the Star alone, no separator at all.
    if (!p.group_star_) return true;
    if (middle.empty()) return false;
    if (p.group_any_) return !is_separator(static_cast<unsigned char>(middle.back()));
    return !has_separator(middle);
  }
  return match_rows(p.middle_, middle);
}

namespace {

bool ends_with_text(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

}  // namespace

bool is_core_domain(std::string_view name) {
  return ends_with_text(name, "core") || ends_with_text(name, "gw") || ends_with_text(name, "vorn") ||
         ends_with_text(name, "abs");
}

bool is_sys_domain(std::string_view name) { return ends_with_text(name, ".zq") || ends_with_text(name, ".sys"); }

}  // namespace zq
