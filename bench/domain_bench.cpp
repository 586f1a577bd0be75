// Domain patterns: compile and match in ns per call (the time column), each match row also
// reporting x_table, the time of the straightforward full-table match on the same pattern and
// domain measured in this process, divided by its own time (how many times faster):
//   DomainCompile      compile_domain_pattern of the text;
//   DomainMatch        match_domain_pattern of a compiled pattern;
//   DomainListMatch    match_any over 50 exact names and 50 wildcard patterns.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "../core/tests/domain_pattern_reference.h"
#include "domain/domain_matchers.h"
#include "domain/domain_pattern.h"

namespace {

struct Row {
  const char* name;
  const char* pattern;
  const char* domain;
};

constexpr Row kRows[] = {
    {"one_star", "*.api.example.com", "eu-west.api.example.com"},
    {"double_star", "**.example.com", "a.b.c.d.example.com"},
    {"general", "**.svc.*.example.com", "x.y.svc.eu1.example.com"},
    {"general_miss", "api-*.*.example.com", "api-v2.eu.example.org"},
};

template <class Fn>
double seconds_per_call(std::size_t runs, Fn&& fn) {
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < runs; ++i) fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
         static_cast<double>(runs);
}

void BM_DomainCompile(benchmark::State& state, const Row& row) {
  for (auto _ : state) benchmark::DoNotOptimize(zq::compile_domain_pattern(row.pattern));
}

void BM_DomainMatch(benchmark::State& state, const Row& row) {
  const auto pattern = zq::compile_domain_pattern(row.pattern);
  const auto tokens = zq::reference::compile(zq::reference::code_points(row.pattern));
  const auto domain = zq::reference::code_points(row.domain);
  const double table = seconds_per_call(20000, [&] { benchmark::DoNotOptimize(zq::reference::match_tokens(tokens, domain)); });
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) benchmark::DoNotOptimize(zq::match_domain_pattern(pattern, row.domain));
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["x_table"] = table / (elapsed / static_cast<double>(state.iterations()));
}

void BM_DomainListMatch(benchmark::State& state, const char* domain) {
  std::vector<std::string> patterns;
  for (int i = 0; i < 50; ++i) patterns.push_back("host" + std::to_string(i) + ".example.net");
  for (int i = 0; i < 50; ++i) {
    patterns.push_back((i % 2 ? "*.svc" : "**.zone") + std::to_string(i) + ".example.org");
  }
  const auto list = zq::build_domain_matcher_list(patterns);
  for (auto _ : state) benchmark::DoNotOptimize(zq::match_any(list, domain));
}

const bool registered = [] {
  for (const Row& row : kRows) {
    benchmark::RegisterBenchmark((std::string("BM_DomainCompile/") + row.name).c_str(), BM_DomainCompile, row);
    benchmark::RegisterBenchmark((std::string("BM_DomainMatch/") + row.name).c_str(), BM_DomainMatch, row);
  }
  benchmark::RegisterBenchmark("BM_DomainListMatch/exact_hit", BM_DomainListMatch, "host25.example.net");
  benchmark::RegisterBenchmark("BM_DomainListMatch/last_wildcard_hit", BM_DomainListMatch, "a.b.zone48.example.org");
  benchmark::RegisterBenchmark("BM_DomainListMatch/no_hit", BM_DomainListMatch, "nothing.example.com");
  return true;
}();

}  // namespace
