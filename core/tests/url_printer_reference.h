// A straightforward reference for the URL printer, kept apart from the core: each component is
// appended to a std::string as it is written, floats through the to_chars reference. The
// core's printer must give exactly these texts.
#pragma once

#include <cstdint>
#include <string>

#include "float_reference.h"
#include "url/url.h"
#include "url/url_printer.h"

namespace zq::reference {

inline std::string format_url(const Url& url, UrlParts mask) {
  const auto has = [mask](UrlParts part) {
    return (static_cast<std::uint8_t>(mask) & static_cast<std::uint8_t>(part)) != 0;
  };
  const auto is_set = [](const std::optional<Text>& text) { return text && !text->empty(); };
  std::string out;

  if (has(UrlParts::Transport | UrlParts::Route | UrlParts::Scheme)) {
    const bool transport = is_set(url.transport);
    const bool route = is_set(url.route);
    if (transport) {
      out += *url.transport;
      out += route ? "~" : "~~";
    }
    if (route) {
      out += *url.route;
      out += "~";
    }
    if (transport || route) {
      out += url.scheme;
    } else {
      out += url.scheme.empty() ? std::string_view("zq") : url.scheme.view();
    }
    out += "://";
  }

  if (has(UrlParts::Hostname) && url.hostname) {
    std::string host;
    if (url.port) {
      host.append("[").append(*url.hostname).append("]:").append(std::to_string(*url.port));
    } else {
      host = *url.hostname;
    }
    if (url.isIp && !host.empty() && host[0] != '[') {
      out += "[";
      out += host;
      out += "]";
    } else {
      out += host;
    }
  }

  if (has(UrlParts::Path)) out += url.path;

  if (has(UrlParts::Params)) {
    std::string joined;
    for (std::size_t i = 0; i < url.params.size(); ++i) {
      if (i != 0) joined += '&';
      const QueryParam& param = url.params[i];
      joined += param.key;
      switch (param.value.kind()) {
        case QueryValue::Kind::None:
          break;
        case QueryValue::Kind::Bool:
          joined += param.value.as_bool() ? "=True" : "=False";
          break;
        case QueryValue::Kind::Int:
          joined += "=";
          joined += std::to_string(param.value.as_int());
          break;
        case QueryValue::Kind::Float:
          joined += "=";
          joined += float_repr(param.value.as_float());
          break;
        case QueryValue::Kind::Str:
        case QueryValue::Kind::Literal:
          joined += "=";
          joined += param.value.text();
          break;
      }
    }
    if (!joined.empty()) {
      out += "?";
      out += joined;
    }
  }

  if (has(UrlParts::Fragment) && url.fragment) {
    out += "#";
    out += *url.fragment;
  }
  return out;
}

}  // namespace zq::reference
