// Fuzzes pattern compilation: the tokens are the reference's, printing them gives the text
// back, head and tail are the literal ends, the cache hands out the same pattern, and a domain
// built from the pattern (each "*" as one letter, each "**" as nothing) matches it.
#include <cstdint>
#include <string>
#include <string_view>

#include "../core/tests/domain_pattern_reference.h"
#include "domain/domain_matchers.h"
#include "domain/domain_pattern.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zq::DomainToken;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const zq::CompiledDomainPattern pattern = zq::compile_domain_pattern(text);

  const auto expected = zq::reference::compile(zq::reference::byte_units(text));
  ZQ_FUZZ_CHECK(expected.size() == pattern.tokens().size());
  std::string printed;
  std::string witness;
  std::size_t first_wild = std::string::npos;
  std::size_t last_wild = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const DomainToken token = pattern.tokens()[i];
    if (token == DomainToken::DoubleStar) {
      ZQ_FUZZ_CHECK(expected[i] == zq::reference::kDoubleStar);
      printed += "**";
    } else if (token == DomainToken::Star) {
      ZQ_FUZZ_CHECK(expected[i] == zq::reference::kStar);
      printed += '*';
      witness += 'x';
    } else {
      ZQ_FUZZ_CHECK(expected[i] == static_cast<std::uint32_t>(token));
      printed += static_cast<char>(token);
      witness += static_cast<char>(token);
      continue;
    }
    if (first_wild == std::string::npos) first_wild = printed.size() - (token == DomainToken::DoubleStar ? 2 : 1);
    last_wild = printed.size();
  }
  ZQ_FUZZ_CHECK(printed == text);
  if (first_wild == std::string::npos) {
    ZQ_FUZZ_CHECK(pattern.head() == text && pattern.tail().empty());
  } else {
    ZQ_FUZZ_CHECK(pattern.head() == text.substr(0, first_wild));
    ZQ_FUZZ_CHECK(pattern.tail() == text.substr(last_wild));
  }
  if (witness.size() <= zq::kMaxMatchedDomainBytes) ZQ_FUZZ_CHECK(zq::match_domain_pattern(pattern, witness));

  zq::DomainPatternCache cache;
  const zq::CompiledDomainPattern& cached = zq::compile_cached(cache, text);
  ZQ_FUZZ_CHECK(&zq::compile_cached(cache, std::string(text)) == &cached);
  ZQ_FUZZ_CHECK(cached.tokens() == pattern.tokens());
  return 0;
}
