// A straightforward reference for domain patterns, kept apart from the core: characters are
// decoded into units, tokens compiled from them, and the match decided on the whole
// (T + 1) x (L + 1) table; the list and dict try their wildcard patterns one by one in order.
// The core must give exactly these results.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zq::reference {

inline constexpr std::uint32_t kStar = 0xFFFFFFFE;
inline constexpr std::uint32_t kDoubleStar = 0xFFFFFFFF;

// The code points of valid UTF-8 text.
inline std::vector<std::uint32_t> code_points(std::string_view text) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    std::uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(cp);
    i += static_cast<std::size_t>(n);
  }
  return out;
}

// Each byte its own unit: how invalid UTF-8 is matched.
inline std::vector<std::uint32_t> byte_units(std::string_view text) {
  return std::vector<std::uint32_t>(reinterpret_cast<const unsigned char*>(text.data()),
                                    reinterpret_cast<const unsigned char*>(text.data()) + text.size());
}

inline std::vector<std::uint32_t> compile(const std::vector<std::uint32_t>& units) {
  std::vector<std::uint32_t> tokens;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] != '*') {
      tokens.push_back(units[i]);
    } else if (i + 1 < units.size() && units[i + 1] == '*') {
      tokens.push_back(kDoubleStar);
      ++i;
    } else {
      tokens.push_back(kStar);
    }
  }
  return tokens;
}

inline bool match_tokens(const std::vector<std::uint32_t>& p, const std::vector<std::uint32_t>& d) {
  const std::size_t t_count = p.size();
  const std::size_t l = d.size();
  std::vector<std::vector<bool>> m(t_count + 1, std::vector<bool>(l + 1, false));
  m[t_count][l] = true;
  for (std::size_t t = t_count; t-- > 0;) {
    for (std::size_t i = l + 1; i-- > 0;) {
      if (p[t] == kDoubleStar) {
        m[t][i] = m[t + 1][i] || (i < l && m[t][i + 1]);
      } else if (p[t] == kStar) {
        m[t][i] = i < l && d[i] != '.' && d[i] != '~' && (m[t + 1][i + 1] || m[t][i + 1]);
      } else {
        m[t][i] = i < l && d[i] == p[t] && m[t + 1][i + 1];
      }
    }
  }
  return m[0][0];
}

// `decode` is code_points for valid UTF-8 or byte_units.
template <class Decode>
bool match(std::string_view pattern, std::string_view domain, Decode decode) {
  if (domain.size() > 8192) return false;
  return match_tokens(compile(decode(pattern)), decode(domain));
}

inline bool match(std::string_view pattern, std::string_view domain) { return match(pattern, domain, code_points); }

template <class Decode>
bool match_any(const std::vector<std::string>& patterns, std::string_view domain, Decode decode) {
  for (const auto& p : patterns) {
    if (p.find('*') == std::string::npos && p == domain) return true;
  }
  for (const auto& p : patterns) {
    if (p.find('*') != std::string::npos && match(p, domain, decode)) return true;
  }
  return false;
}

template <class Decode>
std::optional<std::int64_t> match_first(const std::vector<std::pair<std::string, std::int64_t>>& pairs,
                                        std::string_view domain, Decode decode) {
  std::optional<std::int64_t> exact;
  for (const auto& [p, v] : pairs) {
    if (p.find('*') == std::string::npos && p == domain) exact = v;  // the later value wins
  }
  if (exact) return exact;
  for (const auto& [p, v] : pairs) {
    if (p.find('*') != std::string::npos && match(p, domain, decode)) return v;
  }
  return std::nullopt;
}

}  // namespace zq::reference
