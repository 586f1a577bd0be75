// Writing a URL record back as text, whole or only the components a mask selects. The printer
// writes what the record holds: it escapes, encodes and quotes nothing.
#pragma once

#include <cstdint>
#include <string>

#include "url/url.h"

namespace zq {

// Components of a URL. Transport, Route and Scheme act as one group: any of them selects the
// whole protocol chain with its "://".
enum class UrlParts : std::uint8_t {
  Transport = 0x01,
  Route = 0x02,
  Scheme = 0x04,
  Hostname = 0x08,
  Path = 0x10,
  Params = 0x20,
  Fragment = 0x40,
  All = 0x7F,
};

constexpr UrlParts operator|(UrlParts a, UrlParts b) {
  return static_cast<UrlParts>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}

// The selected components of `url` in URL order.
std::string format_url(const Url& url, UrlParts mask);

// The whole URL: format_url with every component.
std::string display_url(const Url& url);

}  // namespace zq
