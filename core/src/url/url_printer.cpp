// The text form of a URL record: protocol chain, bracketed host and port, path, typed query
// values and fragment.
#include "url/url_printer.h"

#include <charconv>

#include "url/float_repr.h"

namespace zq {
namespace {

bool has(UrlParts mask, UrlParts part) {
  return (static_cast<std::uint8_t>(mask) & static_cast<std::uint8_t>(part)) != 0;
}

// An empty transport or route is written like an absent one.
bool is_set(const std::optional<std::string>& text) { return text && !text->empty(); }

template <class Integer>
void append_decimal(std::string& out, Integer value) {
  char digits[24];
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, written.ptr);
}

void append_protocol_chain(std::string& out, const Url& url) {
  const bool transport = is_set(url.transport);
  const bool route = is_set(url.route);
  if (transport) {
    out += *url.transport;
    out += route ? "~" : "~~";
  }
  if (route) {
    out += *url.route;
    out += '~';
  }
  if (transport || route) {
    out += url.scheme;
  } else {
    out += url.scheme.empty() ? std::string_view("zq") : std::string_view(url.scheme);
  }
  out += "://";
}

// "[host]:port" with a port, else the host; an IP host without a port in brackets.
void append_host(std::string& out, const Url& url) {
  const std::string& hostname = *url.hostname;
  if (url.port) {
    out += '[';
    out += hostname;
    out += "]:";
    append_decimal(out, *url.port);
  } else if (hostname.empty()) {
    return;
  } else if (url.isIp && hostname[0] != '[') {
    out += '[';
    out += hostname;
    out += ']';
  } else {
    out += hostname;
  }
}

void append_param(std::string& out, const QueryParam& param) {
  out += param.key;
  const QueryValue& value = param.value;
  switch (value.kind()) {
    case QueryValue::Kind::None:
      return;
    case QueryValue::Kind::Bool:
      out += value.as_bool() ? "=True" : "=False";
      return;
    case QueryValue::Kind::Int:
      out += '=';
      append_decimal(out, value.as_int());
      return;
    case QueryValue::Kind::Float:
      out += '=';
      out += format_float_repr(value.as_float());
      return;
    case QueryValue::Kind::Str:
    case QueryValue::Kind::Literal:
      out += '=';
      out += value.text();
      return;
  }
}

void append_query(std::string& out, const std::vector<QueryParam>& params) {
  const std::size_t start = out.size();
  out += '?';
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (i != 0) out += '&';
    append_param(out, params[i]);
  }
  // A lone piece that writes nothing (an empty key without value) leaves no "?" behind.
  if (out.size() == start + 1) out.resize(start);
}

// An upper bound of the text length (a float repr takes at most 24 bytes), so that the text
// is written into one allocation.
std::size_t estimate_length(const Url& url) {
  std::size_t size = url.scheme.size() + url.path.size() + 48;
  if (url.transport) size += url.transport->size();
  if (url.route) size += url.route->size();
  if (url.hostname) size += url.hostname->size();
  if (url.fragment) size += url.fragment->size();
  for (const QueryParam& param : url.params) {
    size += param.key.size() + 26;
    if (param.value.kind() >= QueryValue::Kind::Str) size += param.value.text().size();
  }
  return size;
}

}  // namespace

std::string format_url(const Url& url, UrlParts mask) {
  std::string out;
  out.reserve(estimate_length(url));
  if (has(mask, UrlParts::Transport | UrlParts::Route | UrlParts::Scheme)) {
    append_protocol_chain(out, url);
  }
  if (has(mask, UrlParts::Hostname) && url.hostname) append_host(out, url);
  if (has(mask, UrlParts::Path)) out += url.path;
  if (has(mask, UrlParts::Params) && !url.params.empty()) append_query(out, url.params);
  if (has(mask, UrlParts::Fragment) && url.fragment) {
    out += '#';
    out += *url.fragment;
  }
  return out;
}

std::string display_url(const Url& url) { return format_url(url, UrlParts::All); }

}  // namespace zq
