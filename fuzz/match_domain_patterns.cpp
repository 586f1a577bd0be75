// Fuzzes matching against the table reference. The input is lines: every line but the last a
// pattern, the last the domain. Each pattern must match exactly as the reference does over
// bytes and, for valid UTF-8, over code points; the list and dict built from the patterns must
// answer as trying every pattern in order does.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../core/tests/domain_pattern_reference.h"
#include "common/utf8.h"
#include "domain/domain_matchers.h"
#include "domain/domain_pattern.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1024) return 0;  // the reference's table grows with the square of the input
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t nl; (nl = input.find('\n', start)) != std::string_view::npos; start = nl + 1) {
    lines.emplace_back(input.substr(start, nl - start));
  }
  const std::string domain(input.substr(start));
  const bool valid_domain = zq::is_valid_utf8(domain);

  std::vector<std::pair<std::string, std::int64_t>> pairs;
  std::vector<zq::DomainPatternValue> views;
  bool all_valid = valid_domain;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& p = lines[i];
    const bool result = zq::match_domain_pattern(zq::compile_domain_pattern(p), domain);
    ZQ_FUZZ_CHECK(result == zq::reference::match(p, domain, zq::reference::byte_units));
    const bool valid = zq::is_valid_utf8(p);
    if (valid && valid_domain) ZQ_FUZZ_CHECK(result == zq::reference::match(p, domain, zq::reference::code_points));
    all_valid = all_valid && valid;
    pairs.emplace_back(p, static_cast<std::int64_t>(i));
  }
  for (const auto& [p, v] : pairs) views.push_back({p, v});
  const auto list = zq::build_domain_matcher_list(lines);
  const auto dict = zq::build_domain_matcher_dict(views);
  ZQ_FUZZ_CHECK(zq::match_any(list, domain) == zq::reference::match_any(lines, domain, zq::reference::byte_units));
  ZQ_FUZZ_CHECK(zq::match_first(dict, domain) == zq::reference::match_first(pairs, domain, zq::reference::byte_units));
  if (all_valid) {
    ZQ_FUZZ_CHECK(zq::match_any(list, domain) == zq::reference::match_any(lines, domain, zq::reference::code_points));
  }
  return 0;
}
