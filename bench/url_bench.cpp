// URL parsing and printing over a small fixed corpus; every iteration handles one URL, so the
// time column is the time per URL. Each row also reports x_copy, its time as a multiple of
// copying the same text into a new string (BM_UrlCopyText), the floor for a parser that owns
// its result:
//   UrlParse       parse_url into a new record;
//   UrlParseInto   parse_url_into a reused record, as a setter does;
//   UrlFormat      display_url of a parsed record, into a new std::string;
//   UrlPrinted     the same text into a PrintedUrl, as a caller that copies it on prints it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "url/url.h"
#include "url/url_printer.h"

namespace {

struct Row {
  const char* name;
  const char* text;
};

constexpr Row kRows[] = {
    {"chain_ipv6_port_params_fragment",
     "tls~edge~rpc://[2001:db8::7:1]:8443/api/v1/items?id=4242&ratio=0.25&name='bob'#details"},
    {"transport_ipv4_port_params",
     "tcp~~zq://10.20.30.40:9000/objects/list?limit=100&verbose=True"},
    {"host_path", "zq://storage.example.net/buckets/photos/2024"},
    {"host_query", "https://search.example.com/find?q=hello+world&page=2&lang=en"},
    {"lib", "lib://core.modules/crypto"},
    {"file", "file:///var/lib/data/blob.bin"},
    // Above 16 pieces repeated keys are found through the keyed-hash index.
    {"query_40_params",
     "zq://api.example.com/search?key00=0&key01=7&key02=14&key03=21&key04=28&key05=35&"
     "key06=42&key07=49&key08=56&key09=63&key10=70&key11=77&key12=84&key13=91&key14=98&"
     "key15=105&key16=112&key17=119&key18=126&key19=133&key20=140&key21=147&key22=154&"
     "key23=161&key24=168&key25=175&key26=182&key27=189&key28=196&key29=203&key30=210&"
     "key31=217&key32=224&key33=231&key34=238&key35=245&key36=252&key37=259&key38=266&"
     "key39=273"},
};

template <class Fn>
double seconds_per_url(std::size_t runs, Fn&& fn) {
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < runs; ++i) fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
         static_cast<double>(runs);
}

// Time of the baseline for a row, measured once per row in this process.
double copy_seconds(const Row& row) {
  return seconds_per_url(200000, [&] {
    std::string copy(row.text);
    benchmark::DoNotOptimize(copy.data());
  });
}

template <class Fn>
void run(benchmark::State& state, const Row& row, Fn&& fn) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) fn();
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["x_copy"] = elapsed / static_cast<double>(state.iterations()) / copy_seconds(row);
}

void BM_UrlCopyText(benchmark::State& state, const Row& row) {
  run(state, row, [&] {
    std::string copy(row.text);
    benchmark::DoNotOptimize(copy.data());
  });
}

void BM_UrlParse(benchmark::State& state, const Row& row) {
  run(state, row, [&] {
    auto url = zq::parse_url(row.text);
    benchmark::DoNotOptimize(url);
  });
}

void BM_UrlParseInto(benchmark::State& state, const Row& row) {
  zq::Url url;
  run(state, row, [&] {
    auto status = zq::parse_url_into(url, row.text);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(url);
  });
}

void BM_UrlFormat(benchmark::State& state, const Row& row) {
  const zq::Url url = *zq::parse_url(row.text);
  run(state, row, [&] {
    std::string text = zq::display_url(url);
    benchmark::DoNotOptimize(text.data());
  });
}

void BM_UrlPrinted(benchmark::State& state, const Row& row) {
  const zq::Url url = *zq::parse_url(row.text);
  run(state, row, [&] {
    const zq::PrintedUrl text(url);
    benchmark::DoNotOptimize(text.data());
  });
}

const bool kRegistered = [] {
  for (const Row& row : kRows) {
    const std::string suffix = std::string("/") + row.name;
    benchmark::RegisterBenchmark(("BM_UrlCopyText" + suffix).c_str(), BM_UrlCopyText, row);
    benchmark::RegisterBenchmark(("BM_UrlParse" + suffix).c_str(), BM_UrlParse, row);
    benchmark::RegisterBenchmark(("BM_UrlParseInto" + suffix).c_str(), BM_UrlParseInto, row);
    benchmark::RegisterBenchmark(("BM_UrlFormat" + suffix).c_str(), BM_UrlFormat, row);
    benchmark::RegisterBenchmark(("BM_UrlPrinted" + suffix).c_str(), BM_UrlPrinted, row);
  }
  return true;
}();

}  // namespace
