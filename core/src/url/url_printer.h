// Writing a URL record back as text, whole or only the components a mask selects. The printer
// writes what the record holds: it escapes, encodes and quotes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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

// At least the length of format_url(url, mask) for every mask, with the room past the text's
// end that write_url may also use.
std::size_t url_text_bound(const Url& url);

// Writes the text of format_url(url, mask) at `out`, which has room for url_text_bound(url)
// bytes, and returns the end of the text. Bytes between that end and the end of the room may be
// overwritten.
char* write_url(const Url& url, UrlParts mask, char* out);

// The text of format_url(url, mask) in storage of its own: an inline buffer that holds most
// URLs, the heap for longer ones. For callers that only copy the text on (into a message or a
// Python str), it saves the allocation of a std::string.
class PrintedUrl {
 public:
  explicit PrintedUrl(const Url& url, UrlParts mask = UrlParts::All);
  PrintedUrl(const PrintedUrl&) = delete;
  PrintedUrl& operator=(const PrintedUrl&) = delete;

  std::string_view view() const { return {data_, size_}; }
  const char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  static constexpr std::size_t kInlineSize = 256;
  std::unique_ptr<char[]> heap_;
  const char* data_;
  std::size_t size_;
  char inline_[kInlineSize];
};

}  // namespace zq
