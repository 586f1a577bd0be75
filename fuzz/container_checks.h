// What the container fuzz targets share: comparing records with their values by packed form
// (a NaN equals itself), the refusals an encoder may make of a decoded record, and a bound
// on the body size an input inflates to, so that a tiny input that inflates to 1 GiB is skipped
// instead of tripping the fuzzer's memory limits.
#pragma once

#include <zstd.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <variant>

#include "container/container.h"
#include "container/headers.h"
#include "serialization/msgpack.h"
#include "value_checks.h"

namespace zq::fuzz {

template <class Record>
bool same_value_record(const Record& a, const Record& b) {
  Record a_without = a;
  Record b_without = b;
  a_without.payload = Value();
  b_without.payload = Value();
  return a_without == b_without && same_value(a.payload, b.payload);
}

inline bool same_record(const Container& a, const Container& b) {
  if (a.index() != b.index()) return false;
  if (const auto* stp = std::get_if<STPContainer>(&a)) return same_value_record(*stp, std::get<STPContainer>(b));
  if (const auto* dmp = std::get_if<DMPContainer>(&a)) return same_value_record(*dmp, std::get<DMPContainer>(b));
  return a == b;
}

// What a decoded record may legitimately fail to encode with: a FAT manifest without parts, and
// an STP or DMP value the encoder cannot write (timestamp nanos above 999999999, nesting deeper
// than the encoder allows).
inline bool refusal_expected(const Container& record, const WireError& error) {
  if (const auto* fat = std::get_if<FATManifestContainer>(&record)) {
    return fat->parts_count == 0 && error == WireError::invalid("parts_count must be > 0");
  }
  const Value* payload = nullptr;
  if (const auto* stp = std::get_if<STPContainer>(&record)) payload = &stp->payload;
  if (const auto* dmp = std::get_if<DMPContainer>(&record)) payload = &dmp->payload;
  return payload != nullptr && error == WireError::invalid("bad msgpack payload") &&
         !encode_value_to_bytes(*payload).ok();
}

// Bodies are inflated at most this far by the targets that bound their inputs: larger ones
// add nothing to what the targets check, and each would be compressed again (at zstd level 19
// for level code 3) in every run.
inline constexpr std::size_t kMaxFuzzedBodySize = std::size_t{1} << 20;

namespace detail {

template <class Header>
bool header_of(const Result<Header>& header, std::size_t& header_len, CompressionInfo& info) {
  if (!header.ok()) return false;
  header_len = header->header_len;
  info = header->compression_info;
  return true;
}

// The size of the zstd frames in `body` once inflated exceeds `limit`; counted through a small
// window, without keeping the output.
inline bool inflates_beyond(ByteView body, std::size_t limit) {
  std::unique_ptr<ZSTD_DCtx, decltype(&ZSTD_freeDCtx)> context(ZSTD_createDCtx(), &ZSTD_freeDCtx);
  static thread_local std::uint8_t window[1 << 17];
  ZSTD_inBuffer in{body.data(), body.size(), 0};
  std::size_t total = 0;
  while (in.pos < in.size) {
    ZSTD_outBuffer out{window, sizeof window, 0};
    const std::size_t status = ZSTD_decompressStream(context.get(), &out, &in);
    if (ZSTD_isError(status)) return false;
    total += out.pos;
    if (total > limit) return true;
    if (out.pos == 0 && in.pos == in.size) break;
  }
  for (;;) {  // flush what the frame still holds
    ZSTD_outBuffer out{window, sizeof window, 0};
    const std::size_t status = ZSTD_decompressStream(context.get(), &out, &in);
    if (ZSTD_isError(status)) return false;
    total += out.pos;
    if (total > limit) return true;
    if (out.pos < sizeof window) return false;
  }
}

}  // namespace detail

// True when `data` is a container whose compressed body inflates beyond kMaxFuzzedBodySize.
inline bool body_too_large(ByteView data) {
  if (data.size() < 2) return false;
  std::size_t header_len = 0;
  CompressionInfo info;
  bool parsed = false;
  switch (static_cast<ContainerKind>((data[0] << 8) | data[1])) {
    case ContainerKind::ITP: parsed = detail::header_of(parse_itp_header(data), header_len, info); break;
    case ContainerKind::STP: parsed = detail::header_of(parse_stp_header(data), header_len, info); break;
    case ContainerKind::VFSD: parsed = detail::header_of(parse_vfsd_header(data), header_len, info); break;
    case ContainerKind::FATManifest:
      parsed = detail::header_of(parse_fat_manifest_header(data), header_len, info);
      break;
    case ContainerKind::DMP: parsed = detail::header_of(parse_dmp_header(data), header_len, info); break;
  }
  if (!parsed || !info.compressed) return false;
  return detail::inflates_beyond(data.subspan(header_len), kMaxFuzzedBodySize);
}

}  // namespace zq::fuzz
