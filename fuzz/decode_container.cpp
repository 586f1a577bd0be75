// Fuzzes decode_container: every container it accepts encodes again, unless it holds what the
// encoders refuse, into bytes that decode to the same record.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <variant>

#include "objects/container.h"
#include "serialization/msgpack.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "decode_container: %s\n", what);
  std::abort();
}

// Values compare by their MessagePack form, so that a NaN float equals itself.
bool same_value(const zq::Value& a, const zq::Value& b) {
  const auto x = zq::encode_value_to_bytes(a);
  const auto y = zq::encode_value_to_bytes(b);
  return x.ok() && y.ok() && *x == *y;
}

template <class Record>
bool same_value_record(const Record& a, const Record& b) {
  Record a_without = a;
  Record b_without = b;
  a_without.payload = zq::Value();
  b_without.payload = zq::Value();
  return a_without == b_without && same_value(a.payload, b.payload);
}

bool same_record(const zq::Container& a, const zq::Container& b) {
  if (a.index() != b.index()) return false;
  if (const auto* stp = std::get_if<zq::STPContainer>(&a))
    return same_value_record(*stp, std::get<zq::STPContainer>(b));
  if (const auto* dmp = std::get_if<zq::DMPContainer>(&a))
    return same_value_record(*dmp, std::get<zq::DMPContainer>(b));
  return a == b;
}

// What a decoded record may legitimately fail to encode with: a FAT manifest without parts, and
// an STP or DMP value the encoder cannot write (timestamp nanos above 999999999, nesting deeper
// than the encoder allows).
bool refusal_expected(const zq::Container& record, const zq::WireError& error) {
  if (const auto* fat = std::get_if<zq::FATManifestContainer>(&record)) {
    return fat->parts_count == 0 && error == zq::WireError::invalid("parts_count must be > 0");
  }
  const zq::Value* payload = nullptr;
  if (const auto* stp = std::get_if<zq::STPContainer>(&record)) payload = &stp->payload;
  if (const auto* dmp = std::get_if<zq::DMPContainer>(&record)) payload = &dmp->payload;
  return payload != nullptr && error == zq::WireError::invalid("bad msgpack payload") &&
         !zq::encode_value_to_bytes(*payload).ok();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto decoded = zq::decode_container({data, size});
  if (!decoded.ok()) return 0;
  const auto encoded = zq::encode_container(*decoded);
  if (!encoded.ok()) {
    if (!refusal_expected(*decoded, encoded.error())) fail("a decoded container does not encode again");
    return 0;
  }
  const auto again = zq::decode_container(*encoded);
  if (!again.ok()) fail("a re-encoded container does not decode");
  if (!same_record(*decoded, *again)) fail("a re-encoded container decodes to another record");
  return 0;
}
