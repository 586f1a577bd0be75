// Parsing URL text into a record: protocol chain, fragment, query, path, host and port, then the
// typed parameters. Each component is written as soon as it is read.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>

#include "common/find_byte.h"
#include "common/keyed_hash.h"
#include "url/address.h"
#include "url/internal/decimal.h"
#include "url/url.h"

namespace zq {
namespace {

constexpr std::string_view kDefaultScheme = "zq";
constexpr std::size_t npos = std::string_view::npos;

// Makes an optional text present with `text`, reusing what it held.
void set(std::optional<Text>& field, std::string_view text) {
  if (field) {
    field->assign(text);
  } else {
    field.emplace(text);
  }
}

// Pieces of a text at positions the parser has found within it, cut without substr's checks.
std::string_view before(std::string_view text, std::size_t end) { return {text.data(), end}; }
std::string_view after(std::string_view text, std::size_t begin) {
  return {text.data() + begin, text.size() - begin};
}
std::string_view between(std::string_view text, std::size_t begin, std::size_t end) {
  return {text.data() + begin, end - begin};
}

// Builds the failure of a parse step; cold, so that error texts stay out of the hot path.
[[gnu::cold, gnu::noinline]] Result<void, UrlError> fail(UrlErrorKind kind, std::string_view text) {
  return UrlError{kind, std::string(text)};
}

// Splits the text before "://" into transport, route and scheme, or fails with the chain. One
// sweep over the "~" finds the first "~~" and the positions of the single "~".
Result<void, UrlError> read_protocol_chain(Url& url, std::string_view chain) {
  std::size_t pair = npos;
  std::size_t tildes[2] = {};
  std::size_t tilde_count = 0;
  std::size_t previous = npos;
  for_each_of(chain, '~', '~', [&](std::size_t at) {
    if (previous + 1 == at && previous != npos) {
      pair = previous;
      return false;
    }
    if (tilde_count < 2) tildes[tilde_count] = at;
    ++tilde_count;
    previous = at;
    return true;
  });

  std::string_view scheme = chain;
  if (pair != npos) {
    // The scheme after "~~" may itself hold "~".
    set(url.transport, before(chain, pair));
    url.route.reset();
    scheme = after(chain, pair + 2);
  } else if (tilde_count == 0) {
    url.transport.reset();
    url.route.reset();
  } else if (tilde_count == 1) {
    url.transport.reset();
    set(url.route, before(chain, tildes[0]));
    scheme = after(chain, tildes[0] + 1);
  } else if (tilde_count == 2) {
    set(url.transport, before(chain, tildes[0]));
    set(url.route, between(chain, tildes[0] + 1, tildes[1]));
    scheme = after(chain, tildes[1] + 1);
  } else [[unlikely]] {
    return fail(UrlErrorKind::InvalidProtocolChain, chain);
  }
  url.scheme.assign(scheme.empty() ? kDefaultScheme : scheme);
  return {};
}

// The bytes a host name may hold: ASCII letters and digits and "*-.<>@_~". A table of 1 for
// these and 0 for the rest, so that the scan of a name costs one load for each byte.
constexpr auto kHostBytes = [] {
  std::array<std::uint8_t, 256> table{};
  for (char c = 'a'; c <= 'z'; ++c) table[static_cast<unsigned char>(c)] = 1;
  for (char c = 'A'; c <= 'Z'; ++c) table[static_cast<unsigned char>(c)] = 1;
  for (char c = '0'; c <= '9'; ++c) table[static_cast<unsigned char>(c)] = 1;
  for (char c : std::string_view("*-.<>@_~")) table[static_cast<unsigned char>(c)] = 1;
  return table;
}();

// 1 for a host byte, 0 for any other.
unsigned host_byte(char c) { return kHostBytes[static_cast<unsigned char>(c)]; }

// The length of the run of host bytes that `host` starts with. Four bytes are tested at once
// while four remain: their table entries are and-ed as integers, with one branch for the four.
std::size_t host_name_length(std::string_view host) {
  const char* const data = host.data();
  std::size_t end = 0;
  while (end + 4 <= host.size() && (host_byte(data[end]) & host_byte(data[end + 1]) &
                                    host_byte(data[end + 2]) & host_byte(data[end + 3])) != 0) {
    end += 4;
  }
  while (end < host.size() && host_byte(data[end]) != 0) ++end;
  return end;
}

// A non-empty host: "[address]" or "[address]:port", or a name of host bytes with an optional
// ":port". Writes hostname, isIp and port together, or nothing when the host is invalid.
// `printed`: a "[" without "]" is an IP host that the printer wrote as it is, because it starts
// with "[".
Result<void, UrlError> read_host(Url& url, std::string_view host, bool printed) {
  const auto invalid = [host] { return fail(UrlErrorKind::InvalidHostname, host); };
  std::string_view name;
  std::string_view after_name;  // "" or ":port"
  const bool bracketed = host[0] == '[';
  if (bracketed) {
    const std::size_t close = find_byte(host, ']');
    if (close == npos && printed) {
      set(url.hostname, host);
      url.isIp = true;
      url.port.reset();
      return {};
    }
    if (close == npos || close == 1) return invalid();
    name = between(host, 1, close);
    after_name = after(host, close + 1);
  } else {
    const std::size_t end = host_name_length(host);
    if (end == 0) return invalid();  // the name must come before anything else
    name = before(host, end);
    after_name = after(host, end);
  }

  std::optional<std::uint64_t> port;
  if (!after_name.empty()) {
    if (after_name[0] != ':') return invalid();
    port = internal::parse_decimal_u64(after(after_name, 1));
    if (!port) return invalid();
  }

  // A bracketed host, and every host given with a port, is stored in IPv6 form. A plain name
  // never holds ":", so with a port it is always mapped.
  if (!url.hostname) url.hostname.emplace();
  if (bracketed || port) {
    assign_ip_to_ipv6(*url.hostname, name);
  } else {
    url.hostname->assign(name);
  }
  url.isIp = bracketed;
  url.port = port;
  return {};
}

// Above this many pieces a repeated key is found through an index instead of a linear scan, so
// that a long query costs linear time.
constexpr std::size_t kLinearLookupPieces = 16;

// Gives `param`, or a new pair for the key when it is null, the typed value of `piece`, which
// `equals` splits into key and value (None without an "=").
void store_param(QueryParams& params, QueryParam* param, std::string_view piece, std::size_t equals) {
  if (!param) {
    param = &params.emplace_back();
    param->key.assign(piece.substr(0, equals));
  }
  if (equals == npos) {
    param->value = QueryValue::none();
  } else {
    read_query_value(after(piece, equals + 1), param->value);
  }
}

// The position of the first "=" in a query piece, or npos. A piece is short and its key shorter:
// a loop over the key costs less than a search that sets up for long texts.
std::size_t find_equals(std::string_view piece) {
  for (std::size_t i = 0; i < piece.size(); ++i) {
    if (piece[i] == '=') return i;
  }
  return npos;
}

// Calls `store(piece, equals)` for each piece of `query` between "&", in order, that is not
// empty, with the position of its first "=" (npos without one).
template <class Store>
void for_each_piece(std::string_view query, Store store) {
  std::size_t begin = 0;
  while (begin <= query.size()) {
    const std::size_t end = std::min(find_byte(query, '&', begin), query.size());
    const std::string_view piece = query.substr(begin, end - begin);
    if (!piece.empty()) store(piece, find_equals(piece));
    begin = end + 1;
  }
}

// A long query: repeated keys are found through a hash index. The keys are input, so the hash is
// keyed; its random keys are drawn here, when an index is used at all. Out of line, so that the
// index's code stays off the path of short queries.
[[gnu::noinline]] void read_params_indexed(QueryParams& params, std::string_view query) {
  // Key text in `query` -> position.
  std::unordered_map<std::string_view, std::size_t, KeyedTextHash> index;
  for_each_piece(query, [&](std::string_view piece, std::size_t equals) {
    const auto [slot, inserted] = index.try_emplace(piece.substr(0, equals), params.size());
    store_param(params, inserted ? nullptr : &params[slot->second], piece, equals);
  });
}

// A piece of a query between "&": where it begins and ends, and its first "=" (npos without
// one), as positions in the query.
struct Piece {
  std::size_t begin;
  std::size_t end;
  std::size_t equals;
};

// Splits the query at "&" into key and typed value; a repeated key updates its first pair. One
// pass over the query finds every "&" and the first "=" of each piece; a query of more than
// kLinearLookupPieces pieces goes to the index as soon as the pass finds so many.
void read_params(QueryParams& params, std::string_view query) {
  params.clear();
  if (query.empty()) return;
  Piece pieces[kLinearLookupPieces];  // filled up to `count`
  std::size_t count = 0;
  Piece current{0, 0, npos};
  const bool short_query = for_each_of(query, '&', '=', [&](std::size_t at) {
    if (query[at] == '=') {
      if (current.equals == npos) current.equals = at;
      return true;
    }
    if (count == kLinearLookupPieces - 1) return false;
    current.end = at;
    pieces[count++] = current;
    current = Piece{at + 1, 0, npos};
    return true;
  });
  if (!short_query) [[unlikely]] {
    read_params_indexed(params, query);
    return;
  }
  current.end = query.size();
  pieces[count++] = current;

  params.reserve(count);
  for (const Piece& at : std::span(pieces, count)) {
    if (at.begin == at.end) continue;
    const std::string_view piece = between(query, at.begin, at.end);
    const std::size_t equals = at.equals == npos ? npos : at.equals - at.begin;
    const std::string_view key = piece.substr(0, equals);
    QueryParam* param = nullptr;
    for (QueryParam& existing : params) {
      if (existing.key == key) {
        param = &existing;
        break;
      }
    }
    store_param(params, param, piece, equals);
  }
}

// How far the parser accepts what the printer writes for records it did not make itself.
enum class Rules : std::uint8_t {
  Text,     // text as a user writes it
  Printed,  // the printer's output: nothing after "://", a chain that does not split, an
            // empty host and a "[" without "]" are what it writes for no path, a scheme holding
            // "~" without a transport, no hostname and an IP host starting with "["
};

// The position of the first "://". Each "/" is tested for the ":" before it and the "/" after
// it, so that a protocol chain holding ":" costs no more searches than one without.
std::size_t find_separator(std::string_view text) {
  for (std::size_t slash = find_byte(text, '/'); slash != npos; slash = find_byte(text, '/', slash + 1)) {
    if (slash > 0 && text[slash - 1] == ':' && slash + 1 < text.size() && text[slash + 1] == '/') {
      return slash - 1;
    }
  }
  return npos;
}

Result<void, UrlError> parse_into(Url& url, std::string_view text, Rules rules) {
  const bool printed = rules == Rules::Printed;
  const std::size_t separator = find_separator(text);
  if (separator == npos || (!printed && separator + 3 == text.size())) [[unlikely]] {
    return fail(UrlErrorKind::InvalidUrl, text);
  }
  const std::string_view chain = before(text, separator);
  if (auto split = read_protocol_chain(url, chain); !split.ok()) [[unlikely]] {
    if (!printed) return split;
    url.transport.reset();
    url.route.reset();
    url.scheme.assign(chain);
  }

  std::string_view rest = after(text, separator + 3);
  if (const std::size_t hash = find_byte(rest, '#'); hash != npos) {
    if (hash + 1 < rest.size()) {
      set(url.fragment, after(rest, hash + 1));
    } else {
      url.fragment.reset();
    }
    rest = before(rest, hash);
  } else {
    url.fragment.reset();
  }

  std::string_view query;
  if (const std::size_t question = find_byte(rest, '?'); question != npos) {
    query = after(rest, question + 1);
    rest = before(rest, question);
  }

  if (url.scheme == "lib") {
    // Library URLs name no host: everything before the query is the path, taken as it is. The
    // printer writes the library domain in the host's place; a leading copy of it is dropped,
    // so that a printed library URL reads back with the path it had.
    if (rest.starts_with(kLibDomain)) rest.remove_prefix(kLibDomain.size());
    url.path.assign(rest);
    set(url.hostname, kLibDomain);
    url.port.reset();
    url.isIp = false;
  } else {
    const std::size_t slash = find_byte(rest, '/');
    const std::string_view host = rest.substr(0, slash);
    url.path.assign(slash == npos ? std::string_view("/") : after(rest, slash));
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

}  // namespace

Result<void, UrlError> parse_url_into(Url& url, std::string_view text) { return parse_into(url, text, Rules::Text); }

Result<Url, UrlError> parse_message_url(std::string_view text) {
  Url url = new_url();
  ZQ_RETURN_IF_ERROR(parse_message_url_into(url, text));
  return url;
}

Result<void, UrlError> parse_message_url_into(Url& url, std::string_view text) {
  return parse_into(url, text, Rules::Printed);
}

Result<Url, UrlError> parse_url(std::string_view text) {
  Url url = new_url();
  ZQ_RETURN_IF_ERROR(parse_url_into(url, text));
  return url;
}

}  // namespace zq
