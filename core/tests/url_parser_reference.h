// The URL parser as it was before its query and separator scans were reworked, with the query
// value reader of query_value_reference.h, kept apart from the core as a reference: the core's
// parser must give the same record or the same error for every text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/keyed_hash.h"
#include "url/address.h"
#include "url/internal/decimal.h"
#include "query_value_reference.h"
#include "url/url.h"

namespace zq::reference {

inline constexpr std::string_view kDefaultScheme = "zq";
inline constexpr std::size_t npos = std::string_view::npos;

// Assigns in place so that a live record reuses its buffers.
inline void assign(std::optional<Text>& field, const std::optional<std::string_view>& text) {
  if (!text) {
    field.reset();
    return;
  }
  if (!field) field.emplace();
  field->assign(*text);
}

// Builds the failure of a parse step.
inline Result<void, UrlError> fail(UrlErrorKind kind, std::string_view text) {
  return UrlError{kind, std::string(text)};
}

// Splits the text before "://" into transport, route and scheme, or fails with the chain. One
// look at each byte finds the first "~~" and the positions of the single "~".
inline Result<void, UrlError> read_protocol_chain(Url& url, std::string_view chain) {
  std::size_t pair = npos;
  std::size_t tildes[2] = {};
  std::size_t tilde_count = 0;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    if (chain[i] != '~') continue;
    if (i + 1 < chain.size() && chain[i + 1] == '~') {
      pair = i;
      break;
    }
    if (tilde_count < 2) tildes[tilde_count] = i;
    ++tilde_count;
  }

  std::optional<std::string_view> transport;
  std::optional<std::string_view> route;
  std::string_view scheme = chain;
  if (pair != npos) {
    // The scheme after "~~" may itself hold "~".
    transport = chain.substr(0, pair);
    scheme = chain.substr(pair + 2);
  } else if (tilde_count == 1) {
    route = chain.substr(0, tildes[0]);
    scheme = chain.substr(tildes[0] + 1);
  } else if (tilde_count == 2) {
    transport = chain.substr(0, tildes[0]);
    route = chain.substr(tildes[0] + 1, tildes[1] - tildes[0] - 1);
    scheme = chain.substr(tildes[1] + 1);
  } else if (tilde_count > 2) [[unlikely]] {
    return fail(UrlErrorKind::InvalidProtocolChain, chain);
  }
  assign(url.transport, transport);
  assign(url.route, route);
  url.scheme.assign(scheme.empty() ? kDefaultScheme : scheme);
  return {};
}

inline bool is_host_byte(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '*':
    case '-':
    case '.':
    case '<':
    case '>':
    case '@':
    case '_':
    case '~':
      return true;
    default:
      return false;
  }
}

// A non-empty host: "[address]" or "[address]:port", or a name of host bytes with an optional
// ":port". Writes hostname, isIp and port together, or nothing when the host is invalid.
// `printed`: a "[" without "]" is an IP host that the printer wrote as it is, because it starts
// with "[".
inline Result<void, UrlError> read_host(Url& url, std::string_view host, bool printed) {
  const auto invalid = [host] { return fail(UrlErrorKind::InvalidHostname, host); };
  std::string_view name;
  std::string_view after_name;  // "" or ":port"
  const bool bracketed = host[0] == '[';
  if (bracketed) {
    const std::size_t close = host.find(']');
    if (close == npos && printed) {
      assign(url.hostname, host);
      url.isIp = true;
      url.port.reset();
      return {};
    }
    if (close == npos || close == 1) return invalid();
    name = host.substr(1, close - 1);
    after_name = host.substr(close + 1);
  } else {
    std::size_t end = 0;
    while (end < host.size() && is_host_byte(host[end])) ++end;
    if (end == 0) return invalid();  // the name must come before anything else
    name = host.substr(0, end);
    after_name = host.substr(end);
  }

  std::optional<std::uint64_t> port;
  if (!after_name.empty()) {
    if (after_name[0] != ':') return invalid();
    port = internal::parse_decimal_u64(after_name.substr(1));
    if (!port) return invalid();
  }

  // A bracketed host, and every host given with a port, is stored in IPv6 form. A plain name
  // never holds ":", so with a port it is always mapped.
  if (bracketed || port) {
    if (!url.hostname) url.hostname.emplace();
    assign_ip_to_ipv6(*url.hostname, name);
  } else {
    assign(url.hostname, name);
  }
  url.isIp = bracketed;
  url.port = port;
  return {};
}

// Above this many pieces a repeated key is found through an index instead of a linear scan, so
// that a long query costs linear time.
inline constexpr std::size_t kLinearLookupPieces = 16;

// Gives `param`, or a new pair for the key when it is null, the typed value of `piece`, which
// `equals` splits into key and value (None without an "=").
inline void store_param(QueryParams& params, QueryParam* param,
                        std::string_view piece, std::size_t equals) {
  if (!param) {
    param = &params.emplace_back();
    param->key.assign(piece.substr(0, equals));
  }
  // The value is read straight into its pair.
  param->value = equals == npos ? QueryValue::none() : parse_query_value(piece.substr(equals + 1));
}

// Calls `store(piece, equals)` for each non-empty piece between "&", in order, with the
// position of its first "=" (npos without one).
template <class Store>
inline void for_each_piece(std::string_view query, Store store) {
  std::size_t begin = 0;
  while (begin <= query.size()) {
    std::size_t end = query.find('&', begin);
    if (end == npos) end = query.size();
    const std::string_view piece = query.substr(begin, end - begin);
    begin = end + 1;
    if (piece.empty()) continue;
    store(piece, piece.find('='));
  }
}

// A long query: repeated keys are found through a hash index. The keys are input, so the hash is
// keyed; its random keys are drawn here, when an index is used at all.
inline void read_params_indexed(QueryParams& params, std::string_view query) {
  // Key text in `query` -> position.
  std::unordered_map<std::string_view, std::size_t, KeyedTextHash> index;
  for_each_piece(query, [&](std::string_view piece, std::size_t equals) {
    const auto [slot, inserted] = index.try_emplace(piece.substr(0, equals), params.size());
    store_param(params, inserted ? nullptr : &params[slot->second], piece, equals);
  });
}

// Splits the query at "&" into key and typed value; a repeated key updates its first pair.
inline void read_params(QueryParams& params, std::string_view query) {
  params.clear();
  if (query.empty()) return;

  std::size_t pieces = 1;
  for (std::size_t at = query.find('&'); at != npos; at = query.find('&', at + 1)) ++pieces;
  if (pieces > kLinearLookupPieces) [[unlikely]] {
    read_params_indexed(params, query);
    return;
  }

  params.reserve(pieces);
  for_each_piece(query, [&](std::string_view piece, std::size_t equals) {
    const std::string_view key = piece.substr(0, equals);
    QueryParam* param = nullptr;
    for (QueryParam& existing : params) {
      if (existing.key == key) {
        param = &existing;
        break;
      }
    }
    store_param(params, param, piece, equals);
  });
}

// How far the parser accepts what the printer writes for records it did not make itself.
enum class Rules : std::uint8_t {
  Text,     // text as a user writes it
  Printed,  // the printer's output: nothing after "://", a chain that does not split, an
            // empty host and a "[" without "]" are what it writes for no path, a scheme holding
            // "~" without a transport, no hostname and an IP host starting with "["
};

inline Result<void, UrlError> parse_into(Url& url, std::string_view text, Rules rules) {
  const bool printed = rules == Rules::Printed;
  const std::size_t separator = text.find("://");
  if (separator == npos || (!printed && separator + 3 == text.size())) [[unlikely]] {
    return fail(UrlErrorKind::InvalidUrl, text);
  }
  const std::string_view chain = text.substr(0, separator);
  if (auto split = read_protocol_chain(url, chain); !split.ok()) [[unlikely]] {
    if (!printed) return split;
    url.transport.reset();
    url.route.reset();
    url.scheme.assign(chain);
  }

  std::string_view rest = text.substr(separator + 3);
  if (const std::size_t hash = rest.find('#'); hash != npos) {
    const std::string_view fragment = rest.substr(hash + 1);
    assign(url.fragment, fragment.empty() ? std::nullopt : std::optional(fragment));
    rest = rest.substr(0, hash);
  } else {
    url.fragment.reset();
  }

  std::string_view query;
  if (const std::size_t question = rest.find('?'); question != npos) {
    query = rest.substr(question + 1);
    rest = rest.substr(0, question);
  }

  if (url.scheme == "lib") {
    // Library URLs name no host: everything before the query is the path, taken as it is. The
    // printer writes the library domain in the host's place; a leading copy of it is dropped,
    // so that a printed library URL reads back with the path it had.
    if (rest.starts_with(kLibDomain)) rest.remove_prefix(kLibDomain.size());
    url.path.assign(rest);
    assign(url.hostname, kLibDomain);
    url.port.reset();
    url.isIp = false;
  } else {
    const std::size_t slash = rest.find('/');
    const std::string_view host = rest.substr(0, slash);
    url.path.assign(slash == npos ? std::string_view("/") : rest.substr(slash));
    if (host.empty()) {
      // A local file URL has no host and keeps whatever host the record had.
      if (!printed && url.scheme != "file") return fail(UrlErrorKind::MissingHostname, text);
    } else if (auto read = read_host(url, host, printed); !read.ok()) [[unlikely]] {
      return read;
    }
  }

  read_params(url.params, query);
  return {};
}


inline Result<void, UrlError> parse_url_into(Url& url, std::string_view text) {
  return parse_into(url, text, Rules::Text);
}

inline Result<void, UrlError> parse_message_url_into(Url& url, std::string_view text) {
  return parse_into(url, text, Rules::Printed);
}

}  // namespace zq::reference
