// The display text of URL errors.
#include "url/url.h"

namespace zq {

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
