// Readable gtest output for texts, URL records, query values and URL errors.
#pragma once

#include <ostream>

#include "url/url.h"

namespace zq {

inline std::ostream& operator<<(std::ostream& os, const Text& text) { return os << text.view(); }

inline void PrintTo(const QueryValue& value, std::ostream* os) {
  switch (value.kind()) {
    case QueryValue::Kind::None:
      *os << "None";
      return;
    case QueryValue::Kind::Bool:
      *os << "Bool(" << (value.as_bool() ? "True" : "False") << ")";
      return;
    case QueryValue::Kind::Int:
      *os << "Int(" << value.as_int() << ")";
      return;
    case QueryValue::Kind::Float:
      *os << "Float(" << value.as_float() << ")";
      return;
    case QueryValue::Kind::Str:
      *os << "Str(\"" << value.text() << "\")";
      return;
    case QueryValue::Kind::Literal:
      *os << "Literal(\"" << value.text() << "\")";
      return;
  }
}

inline void PrintTo(const Url& url, std::ostream* os) {
  const auto optional = [os](const char* name, const std::optional<Text>& text) {
    *os << name << "=";
    if (text)
      *os << '"' << *text << '"';
    else
      *os << "absent";
  };
  *os << "{";
  optional("transport", url.transport);
  optional(" route", url.route);
  *os << " scheme=\"" << url.scheme << "\"";
  optional(" hostname", url.hostname);
  *os << " port=";
  if (url.port)
    *os << *url.port;
  else
    *os << "absent";
  *os << " isIp=" << url.isIp << " path=\"" << url.path << "\" params=[";
  for (const QueryParam& param : url.params) {
    *os << " \"" << param.key << "\": ";
    PrintTo(param.value, os);
  }
  *os << " ] ";
  optional("fragment", url.fragment);
  *os << "}";
}

inline void PrintTo(const UrlError& error, std::ostream* os) {
  *os << "UrlError(" << static_cast<int>(error.kind) << ", \"" << error.text << "\")";
}

}  // namespace zq
