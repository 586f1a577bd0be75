// The text form of a URL record: protocol chain, bracketed host and port, path, typed query
// values and fragment, written in one pass into storage sized beforehand.
#include "url/url_printer.h"

#include <charconv>
#include <cstring>

#include "url/float_repr.h"

namespace zq {
namespace {

// Room for an integer in decimal: "-9223372036854775808" and 2^64-1 take 20 bytes.
constexpr std::size_t kDecimalMax = 20;

bool has(UrlParts mask, UrlParts part) {
  return (static_cast<std::uint8_t>(mask) & static_cast<std::uint8_t>(part)) != 0;
}

// An empty transport or route is written like an absent one.
bool is_set(const std::optional<Text>& text) { return text && !text->empty(); }

// Out of line, so that the port and the integer values share one expansion of std::to_chars.
[[gnu::noinline]] char* put_unsigned(char* at, std::uint64_t value) {
  return std::to_chars(at, at + kDecimalMax, value).ptr;
}

// Writes forward into storage that url_text_bound sized, so nothing checks for room.
class Cursor {
 public:
  explicit Cursor(char* at) : at_(at) {}

  void put(char c) { *at_++ = c; }
  // A text of the record: the storage's slack takes the whole inline block of a short one.
  void put(const Text& text) { at_ = text.write_to(at_); }
  // A literal's length is known here, which makes its copy a store or two.
  template <std::size_t N>
  void put(const char (&literal)[N]) {
    std::memcpy(at_, literal, N - 1);
    at_ += N - 1;
  }
  void put_decimal(std::uint64_t value) { at_ = put_unsigned(at_, value); }
  void put_decimal(std::int64_t value) {
    if (value < 0) put('-');
    // The magnitude in unsigned arithmetic, which also holds that of the least int64.
    put_decimal(value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value));
  }
  void put_float(double value) { at_ = write_float_repr(value, at_); }

  char* at() const { return at_; }
  void rewind(char* to) { at_ = to; }

 private:
  char* at_;
};

void write_protocol_chain(Cursor& out, const Url& url) {
  const bool transport = is_set(url.transport);
  const bool route = is_set(url.route);
  if (transport) {
    out.put(*url.transport);
    if (route) {
      out.put('~');
    } else {
      out.put("~~");
    }
  }
  if (route) {
    out.put(*url.route);
    out.put('~');
  }
  if (transport || route) {
    out.put(url.scheme);
  } else if (url.scheme.empty()) {
    out.put("zq");
  } else {
    out.put(url.scheme);
  }
  out.put("://");
}

// "[host]:port" with a port, else the host; an IP host without a port in brackets.
void write_host(Cursor& out, const Url& url) {
  const Text& hostname = *url.hostname;
  if (url.port) {
    out.put('[');
    out.put(hostname);
    out.put("]:");
    out.put_decimal(*url.port);
  } else if (hostname.empty()) {
    return;
  } else if (url.isIp && hostname[0] != '[') {
    out.put('[');
    out.put(hostname);
    out.put(']');
  } else {
    out.put(hostname);
  }
}

void write_param(Cursor& out, const QueryParam& param) {
  out.put(param.key);
  const QueryValue& value = param.value;
  switch (value.kind()) {
    case QueryValue::Kind::None:
      return;
    case QueryValue::Kind::Bool:
      if (value.as_bool()) {
        out.put("=True");
      } else {
        out.put("=False");
      }
      return;
    case QueryValue::Kind::Int:
      out.put('=');
      out.put_decimal(value.as_int());
      return;
    case QueryValue::Kind::Float:
      out.put('=');
      out.put_float(value.as_float());
      return;
    case QueryValue::Kind::Str:
    case QueryValue::Kind::Literal:
      out.put('=');
      out.put(value.text());
      return;
  }
}

void write_query(Cursor& out, const QueryParams& params) {
  char* const start = out.at();
  out.put('?');
  // The bounds are read once: every byte written could alias the vector, so a bound read in the
  // loop's test would be read again after each write.
  const QueryParam* param = params.data();
  const QueryParam* const end = param + params.size();
  write_param(out, *param);
  while (++param != end) {
    out.put('&');
    write_param(out, *param);
  }
  // A lone piece that writes nothing (an empty key without value) leaves no "?" behind.
  if (out.at() == start + 1) out.rewind(start);
}

}  // namespace

std::size_t url_text_bound(const Url& url) {
  // The chain's two "~" (or "zq" for an empty scheme) and "://"; "[", "]:" and the port; the
  // "?" of the query and the "#" of the fragment; the slack that writing a text's whole inline
  // block may use past the end.
  std::size_t size = 2 + 3 + 3 + kDecimalMax + 1 + 1 + Text::kInlineCapacity;
  size += url.scheme.size() + url.path.size();
  if (url.transport) size += url.transport->size();
  if (url.route) size += url.route->size();
  if (url.hostname) size += url.hostname->size();
  if (url.fragment) size += url.fragment->size();
  for (const QueryParam& param : url.params) {
    // "&", the key, "=" and the value: its text, or at most a float's repr.
    size += 2 + param.key.size() + kFloatReprMax;
    if (param.value.kind() >= QueryValue::Kind::Str) size += param.value.text().size();
  }
  return size;
}

char* write_url(const Url& url, UrlParts mask, char* out) {
  Cursor cursor(out);
  if (has(mask, UrlParts::Transport | UrlParts::Route | UrlParts::Scheme)) {
    write_protocol_chain(cursor, url);
  }
  if (has(mask, UrlParts::Hostname) && url.hostname) write_host(cursor, url);
  if (has(mask, UrlParts::Path)) cursor.put(url.path);
  if (has(mask, UrlParts::Params) && !url.params.empty()) write_query(cursor, url.params);
  if (has(mask, UrlParts::Fragment) && url.fragment) {
    cursor.put('#');
    cursor.put(*url.fragment);
  }
  return cursor.at();
}

PrintedUrl::PrintedUrl(const Url& url, UrlParts mask) {
  const std::size_t bound = url_text_bound(url);
  char* storage = inline_;
  if (bound > kInlineSize) {
    heap_ = std::make_unique_for_overwrite<char[]>(bound);
    storage = heap_.get();
  }
  data_ = storage;
  size_ = static_cast<std::size_t>(write_url(url, mask, storage) - storage);
}

std::string format_url(const Url& url, UrlParts mask) { return std::string(PrintedUrl(url, mask).view()); }

std::string display_url(const Url& url) { return format_url(url, UrlParts::All); }

}  // namespace zq
