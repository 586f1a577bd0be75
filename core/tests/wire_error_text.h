// Readable texts of wire errors and results for test failure messages.
#pragma once

#include <string>

#include "common/result.h"

namespace zq::test {

// "Truncated", "TooLarge" or "Invalid: <message>".
inline std::string describe(const WireError& error) {
  switch (error.kind) {
    case WireErrorKind::Truncated: return "Truncated";
    case WireErrorKind::TooLarge: return "TooLarge";
    case WireErrorKind::Invalid: return std::string("Invalid: ") + error.message;
  }
  return "?";
}

// "ok" or the error's text.
template <class T>
std::string describe(const Result<T>& result) {
  return result.ok() ? "ok" : describe(result.error());
}

}  // namespace zq::test
