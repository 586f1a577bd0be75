// Fuzzes the URL parser and printer. The parser must give what the reference parser gives, under
// both rules, into a fresh record and into a live one; a fresh parse and an in-place parse into a
// full record must agree, a failure must leave a live record as documented, a parsed record must
// print as the reference printer prints it, under every mask, and to a text that reads back as
// the same record wherever the text form can carry it.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "../core/tests/url_parser_reference.h"
#include "../core/tests/url_printer_reference.h"
#include "fuzz_check.h"
#include "url/query_value.h"
#include "url/url.h"
#include "url/url_printer.h"

namespace {

using namespace zq;

// Equality with floats compared by bit pattern, so that -0.0 and 0.0 differ.
bool same(const Url& a, const Url& b) {
  if (!(a == b)) return false;
  for (std::size_t i = 0; i < a.params.size(); ++i) {
    const QueryValue& x = a.params[i].value;
    if (x.kind() == QueryValue::Kind::Float &&
        std::bit_cast<std::uint64_t>(x.as_float()) !=
            std::bit_cast<std::uint64_t>(b.params[i].value.as_float())) {
      return false;
    }
  }
  return true;
}

const Url& live_record() {
  static const Url live{.transport = "T",
                        .route = "R",
                        .scheme = "S",
                        .hostname = "H",
                        .port = 7,
                        .isIp = true,
                        .path = "/P",
                        .params = {{"K", QueryValue::integer(9)}},
                        .fragment = "F"};
  return live;
}

void check_against_reference(std::string_view text) {
  using Parse = Result<void, UrlError> (*)(Url&, std::string_view);
  const std::pair<Parse, Parse> parsers[] = {
      {&parse_url_into, &reference::parse_url_into},
      {&parse_message_url_into, &reference::parse_message_url_into},
  };
  for (const auto& [core_parse, reference_parse] : parsers) {
    for (const Url& start : {new_url(), live_record()}) {
      Url core = start;
      Url expected = start;
      const auto status = core_parse(core, text);
      const auto expected_status = reference_parse(expected, text);
      ZQ_FUZZ_CHECK(status.ok() == expected_status.ok());
      if (!status.ok()) ZQ_FUZZ_CHECK(status.error() == expected_status.error());
      ZQ_FUZZ_CHECK(same(core, expected));
    }
  }
}

void check_in_place_parse(std::string_view text, const Result<Url, UrlError>& fresh) {
  const Url& before = live_record();
  Url live = before;
  const auto status = parse_url_into(live, text);
  ZQ_FUZZ_CHECK(status.ok() == fresh.ok());
  if (!fresh.ok()) {
    const UrlError& error = fresh.error();
    ZQ_FUZZ_CHECK(status.error() == error);
    if (error.kind == UrlErrorKind::InvalidUrl ||
        error.kind == UrlErrorKind::InvalidProtocolChain) {
      ZQ_FUZZ_CHECK(live == before);
    } else {
      ZQ_FUZZ_CHECK(live.hostname == before.hostname && live.port == before.port &&
                    live.isIp == before.isIp && live.params == before.params);
    }
    return;
  }
  // Only a "file" URL with an empty host leaves a fresh record without hostname; in place it
  // keeps the live record's host.
  Url expected = *fresh;
  if (!expected.hostname) {
    ZQ_FUZZ_CHECK(expected.scheme == "file");
    expected.hostname = before.hostname;
    expected.port = before.port;
    expected.isIp = before.isIp;
  }
  ZQ_FUZZ_CHECK(same(live, expected));
}

// What the text form cannot carry: a scheme holding "~" (after "~~") printed without its
// transport reads back as a chain; an infinite float prints as "inf" and reads back as text; a
// Str unquoted from 'text' may read back as another value; an IP host without a port that
// starts with "[" is printed without brackets and no longer parses.
bool text_form_carries(const Url& url) {
  const bool chain_written =
      (url.transport && !url.transport->empty()) || (url.route && !url.route->empty());
  if (!chain_written && url.scheme.view().find('~') != std::string_view::npos) return false;
  if (url.isIp && !url.port && url.hostname && !url.hostname->empty() &&
      (*url.hostname)[0] == '[') {
    return false;
  }
  for (const QueryParam& param : url.params) {
    const QueryValue& value = param.value;
    if (value.kind() == QueryValue::Kind::Float && !std::isfinite(value.as_float())) return false;
    if (value.kind() == QueryValue::Kind::Str && !(parse_query_value(value.text()) == value)) {
      return false;
    }
  }
  return true;
}

// The record that reading the printed text gives: empty transport and route are not written,
// a host with a port is written in brackets, and an empty key without value prints nothing. A
// "lib" URL prints its domain before the path, which reading drops again.
Url as_read_back(Url url) {
  if (url.transport && url.transport->empty()) url.transport.reset();
  if (url.route && url.route->empty()) url.route.reset();
  if (url.port) url.isIp = true;
  std::erase_if(url.params, [](const QueryParam& param) {
    return param.key.empty() && param.value.kind() == QueryValue::Kind::None;
  });
  return url;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check_against_reference(text);
  const auto parsed = parse_url(text);
  check_in_place_parse(text, parsed);
  if (!parsed.ok()) {
    ZQ_FUZZ_CHECK(!display_url_error(parsed.error()).empty());
    return 0;
  }
  const Url& url = *parsed;
  ZQ_FUZZ_CHECK(!url.scheme.empty());

  const std::string printed = display_url(url);
  ZQ_FUZZ_CHECK(printed == reference::format_url(url, UrlParts::All));
  ZQ_FUZZ_CHECK(printed.size() <= url_text_bound(url));
  const auto mask = static_cast<UrlParts>(size % 0x80);
  ZQ_FUZZ_CHECK(PrintedUrl(url, mask).view() == reference::format_url(url, mask));
  if (!text_form_carries(url)) return 0;
  const auto again = parse_url(printed);
  ZQ_FUZZ_CHECK(again.ok());
  ZQ_FUZZ_CHECK(same(*again, as_read_back(url)));
  // Empty and absent transports and routes print alike, and so does a host with a port whatever
  // isIp says, so the text is stable too, unless reading it lost an empty pair.
  if (again->params.size() == url.params.size()) {
    ZQ_FUZZ_CHECK(display_url(*again) == printed);
  }
  return 0;
}
