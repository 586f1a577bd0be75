// Compressed ITP container round trip against libzstd called directly, on the same 1 MiB of
// text-like data in the same process: ZstdRoundTrip1MiB/zq_itp beside ZstdRoundTrip1MiB/libzstd.
//   zq_itp:  encode_itp with setting (1, 0, 0, 2) (zstd level 9), then decode_itp;
//   libzstd: ZSTD_compress2 at level 9 and ZSTD_decompressDCtx, contexts and buffers reused.
#include <benchmark/benchmark.h>
#include <zstd.h>

#include <array>
#include <cstdio>
#include <string_view>

#include "container/container.h"

namespace {

using zq::Bytes;

// Log-like lines: words drawn from a small vocabulary, with numbers and punctuation.
const Bytes& text_1mib() {
  static const Bytes text = [] {
    constexpr std::array<std::string_view, 32> words = {
        "request", "response", "container", "payload", "frame",   "header", "status",  "session",
        "client",  "server",   "timeout",   "retry",   "stream",  "buffer", "window",  "offset",
        "the",     "a",        "of",        "to",      "and",     "in",     "for",     "with",
        "ok",      "error",    "warning",   "debug",   "started", "closed", "written", "read"};
    std::uint64_t state = 0x9e3779b97f4a7c15u;
    const auto next = [&state] {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      return state;
    };
    Bytes out;
    out.reserve((1 << 20) + 128);
    char number[32];
    while (out.size() < (1 << 20)) {
      const int n = std::snprintf(number, sizeof number, "%06llu ", static_cast<unsigned long long>(next() % 1000000));
      out.insert(out.end(), number, number + n);
      for (std::uint64_t w = 3 + next() % 9; w > 0; --w) {
        const std::string_view word = words[next() % words.size()];
        out.insert(out.end(), word.begin(), word.end());
        out.push_back(w == 1 ? '\n' : (next() % 7 == 0 ? ',' : ' '));
      }
    }
    out.resize(1 << 20);
    return out;
  }();
  return text;
}

void BM_ZstdRoundTrip1MiB_zq_itp(benchmark::State& state) {
  const zq::ITPContainer record{zq::InterpreterType::standard(20), text_1mib(), 1, zq::CompressionInfo{1, 0, 0, 2}};
  std::size_t wire_size = 0;
  for (auto _ : state) {
    auto encoded = zq::encode_itp(record);
    auto decoded = zq::decode_itp(*encoded);
    if (!decoded.ok() || decoded->payload.size() != record.payload.size()) state.SkipWithError("round trip failed");
    wire_size = encoded->size();
    benchmark::DoNotOptimize(decoded->payload.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * record.payload.size()));
  state.counters["wire_bytes"] = static_cast<double>(wire_size);
}

void BM_ZstdRoundTrip1MiB_libzstd(benchmark::State& state) {
  const Bytes& text = text_1mib();
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_DCtx* dctx = ZSTD_createDCtx();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, 9);
  Bytes compressed(ZSTD_compressBound(text.size()));
  Bytes restored(text.size());
  std::size_t wire_size = 0;
  for (auto _ : state) {
    wire_size = ZSTD_compress2(cctx, compressed.data(), compressed.size(), text.data(), text.size());
    const std::size_t n = ZSTD_decompressDCtx(dctx, restored.data(), restored.size(), compressed.data(), wire_size);
    if (ZSTD_isError(wire_size) || n != text.size()) state.SkipWithError("round trip failed");
    benchmark::DoNotOptimize(restored.data());
  }
  ZSTD_freeCCtx(cctx);
  ZSTD_freeDCtx(dctx);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["wire_bytes"] = static_cast<double>(wire_size);
}

BENCHMARK(BM_ZstdRoundTrip1MiB_zq_itp)->Name("ZstdRoundTrip1MiB/zq_itp")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZstdRoundTrip1MiB_libzstd)->Name("ZstdRoundTrip1MiB/libzstd")->Unit(benchmark::kMillisecond);

}  // namespace
