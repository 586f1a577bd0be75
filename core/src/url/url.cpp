// Copying URL records, and the display text of URL errors.
#include "url/url.h"

namespace zq {
namespace {

// The text members, copied in loops rather than one by one: the defaulted assignment expands
// the copy of a std::optional<Text> or Text once per member.
constexpr std::optional<Text> Url::*kOptionalTexts[] = {&Url::transport, &Url::route, &Url::hostname,
                                                         &Url::fragment};
constexpr Text Url::*kTexts[] = {&Url::scheme, &Url::path};

}  // namespace

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
