// The URL record with its protocol chain and typed query parameters, its parse errors, and the
// parser that fills a record from text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/text.h"
#include "url/query_value.h"

namespace zq {

// The hostname stored for every URL of the "lib" scheme.
inline constexpr std::string_view kLibDomain = "lib.sys";

struct QueryParam {
  Text key;
  QueryValue value;
  friend bool operator==(const QueryParam&, const QueryParam&) = default;
};

namespace detail {

// A block for `count` parameters, and its return. A record's parameters are often made and
// dropped within one call (a Url parsed for a request and the request's copy of it), so each
// thread keeps the last block it freed of each small count and hands it out again, instead of a
// trip through malloc and free for every record.
void* allocate_params(std::size_t count);
void release_params(void* block, std::size_t count) noexcept;

}  // namespace detail

template <class T>
struct ParamsAllocator {
  using value_type = T;
  ParamsAllocator() = default;
  template <class U>
  ParamsAllocator(const ParamsAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(detail::allocate_params(n)); }
  void deallocate(T* p, std::size_t n) noexcept { detail::release_params(p, n); }
  friend bool operator==(const ParamsAllocator&, const ParamsAllocator&) noexcept { return true; }
};

using QueryParams = std::vector<QueryParam, ParamsAllocator<QueryParam>>;

// Absent and present-but-empty differ for transport, route, hostname and fragment.
struct Url {
  std::optional<Text> transport;
  std::optional<Text> route;
  Text scheme;                   // the parser never leaves it empty
  std::optional<Text> hostname;  // the IPv6 form whenever a port came with the host
  std::optional<std::uint64_t> port;
  bool isIp = false;               // the host was written in square brackets
  Text path = "/";                 // from its leading "/" on, undecoded
  QueryParams params;              // in order of first appearance, keys unique
  std::optional<Text> fragment;

  friend bool operator==(const Url&, const Url&) = default;
};

enum class UrlErrorKind : std::uint8_t {
  InvalidUrl,            // carries the whole input
  InvalidProtocolChain,  // carries the text before "://"
  MissingHostname,       // carries the whole input
  InvalidHostname,       // carries the host text, or the whole input of an address helper
};

struct UrlError {
  UrlErrorKind kind = UrlErrorKind::InvalidUrl;
  std::string text;
  friend bool operator==(const UrlError&, const UrlError&) = default;
};

// The defaults: empty scheme, path "/", no parameters, every optional field absent, isIp false.
inline Url new_url() { return Url(); }

// Makes `to` a copy of `from`, as `to = from` would, in one out-of-line function: the defaulted
// assignment expands every string, optional and parameter copy inline, kilobytes of code at
// each place that copies a Url. (Url keeps its implicit members, and with them its designated
// initialisers and its moves, which a user-declared copy would take away.)
void assign_url(Url& to, const Url& from);

// Parses `text` into a fresh record; on failure returns the error and no record.
Result<Url, UrlError> parse_url(std::string_view text);

// Parses `text` into a live record, overwriting each component as it is reached. A failure
// leaves what the earlier steps wrote: after MissingHostname or InvalidHostname the protocol
// chain, scheme, fragment and path are new while hostname, port, isIp and params are not.
// A "file" URL with an empty host keeps the record's hostname, port and isIp.
Result<void, UrlError> parse_url_into(Url& url, std::string_view text);

// The URL of a request message, which the printer wrote: as parse_url, except where the printer
// writes a record that text could not make, so that every URL a request carries reads back:
// an empty host reads as no hostname for every scheme, nothing after "://" as no host and the
// default path ("" for "lib"), a chain that does not split (a scheme holding "~" whose
// empty transport went unwritten) as the scheme, and a host of "[" without "]" (an IP host
// starting with "[", written without brackets) as that IP host.
Result<Url, UrlError> parse_message_url(std::string_view text);

// parse_message_url into a record that holds the defaults of new_url(), such as the URL of a
// request being read: the same result without moving the record out of a Result. After a
// failure the record holds a partial parse, to be discarded.
Result<void, UrlError> parse_message_url_into(Url& url, std::string_view text);

// "Invalid URL: {}", "Invalid protocol chain: {}", "Missing hostname in URL: {}" or
// "Invalid hostname: {}" with the error's text.
std::string display_url_error(const UrlError& error);

}  // namespace zq
