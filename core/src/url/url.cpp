// Copying URL records, and the display text of URL errors.
#include "url/url.h"

#include <new>
#include <utility>

namespace zq {
namespace {

// The text members, copied in loops rather than one by one: the defaulted assignment expands
// the copy of a std::optional<Text> or Text once per member.
constexpr std::optional<Text> Url::*kOptionalTexts[] = {&Url::transport, &Url::route, &Url::hostname,
                                                         &Url::fragment};
constexpr Text Url::*kTexts[] = {&Url::scheme, &Url::path};

// Counts of up to this many parameters have a cached block.
constexpr std::size_t kCachedCounts = 8;

struct ParamBlocks {
  void* blocks[kCachedCounts] = {};  // blocks[c - 1] holds room for c parameters, or null
  ~ParamBlocks() {
    for (void* block : blocks) ::operator delete(block);
  }
};

thread_local ParamBlocks thread_param_blocks;

}  // namespace

namespace detail {

void* allocate_params(std::size_t count) {
  if (count - 1 < kCachedCounts) {
    if (void* block = std::exchange(thread_param_blocks.blocks[count - 1], nullptr)) return block;
  }
  if (count > std::size_t(-1) / sizeof(QueryParam)) throw std::bad_alloc();
  return ::operator new(count * sizeof(QueryParam));
}

void release_params(void* block, std::size_t count) noexcept {
  if (count - 1 < kCachedCounts) {
    void*& slot = thread_param_blocks.blocks[count - 1];
    if (slot == nullptr) {
      slot = block;
      return;
    }
  }
  ::operator delete(block);
}

}  // namespace detail

void assign_url(Url& to, const Url& from) {
  if (&to == &from) return;
  for (const auto member : kOptionalTexts) to.*member = from.*member;
  for (const auto member : kTexts) to.*member = from.*member;
  to.port = from.port;
  to.isIp = from.isIp;
  to.params = from.params;
}

std::string display_url_error(const UrlError& error) {
  std::string_view prefix;
  switch (error.kind) {
    case UrlErrorKind::InvalidUrl:
      prefix = "Invalid URL: ";
      break;
    case UrlErrorKind::InvalidProtocolChain:
      prefix = "Invalid protocol chain: ";
      break;
    case UrlErrorKind::MissingHostname:
      prefix = "Missing hostname in URL: ";
      break;
    case UrlErrorKind::InvalidHostname:
      prefix = "Invalid hostname: ";
      break;
  }
  std::string out;
  out.reserve(prefix.size() + error.text.size());
  out += prefix;
  out += error.text;
  return out;
}

}  // namespace zq
