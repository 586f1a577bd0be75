// Request and response headers, written and read, one header per iteration, so the time column
// is the time per header. Each row also reports x_copy, its time as a multiple of appending the
// same header bytes to a reused buffer (BM_HeaderCopy), the floor for any writer:
//   HeaderWrite   write_request_header / write_response_header into a reused buffer;
//   HeaderRead    read_request_header / read_response_header of the written bytes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <variant>

#include "message/request_header.h"
#include "message/response_header.h"

namespace {

using zq::ByteView;
using zq::Bytes;

const Bytes kCookies = {0x81, 0xa1, 0x61, 0x01};
const std::string kStatus = "zq:transport:5";
const std::string kUrl = "zq://storage.example.net/buckets/photos/2024?limit=100";

struct Row {
  const char* name;
  std::variant<zq::RequestHeader, zq::ResponseHeader> header;
  std::uint64_t payload;  // bytes after a response header, which its reader is given
};

const Row kRows[] = {
    {"request_defaults", zq::RequestHeader{.transport = "zq:quik:real", .method = "get", .route = "zq:net",
                                           .url = zq::as_bytes(kUrl)}, 0},
    {"request_coded_sized_cookies",
     zq::RequestHeader{.payload = {zq::PayloadMode::Sized, 300}, .transport = "zq:quik:dev", .method = "POST",
                       .route = "api", .url = zq::as_bytes(kUrl), .cookies = ByteView(kCookies)}, 0},
    {"request_texts", zq::RequestHeader{.transport = "tcp", .method = "Options", .route = "files",
                                        .url = zq::as_bytes(kUrl), .version = 1}, 0},
    {"response_bool", zq::ResponseHeader{{}, zq::CommandView::boolean(true), {}, 0, 0}, 0},
    {"response_int_inline", zq::ResponseHeader{{}, zq::CommandView::integer(7), {}, 0, 0}, 0},
    {"response_int_cookies_sized",
     zq::ResponseHeader{{zq::PayloadMode::Sized, 300}, zq::CommandView::integer(200), ByteView(kCookies), 0, 0}, 300},
    {"response_str_inline", zq::ResponseHeader{{}, zq::CommandView::text("zq:app:404"), {}, 0, 0}, 0},
    {"response_str_escape", zq::ResponseHeader{{}, zq::CommandView::text(kStatus), {}, 0, 0}, 0},
    {"response_str_lengthened",
     zq::ResponseHeader{{zq::PayloadMode::Sized, 0}, zq::CommandView::text(""), {}, 0, 0}, 0},
};

zq::Status write(const Row& row, Bytes& out) {
  if (const auto* request = std::get_if<zq::RequestHeader>(&row.header)) {
    return zq::write_request_header(*request, out);
  }
  return zq::write_response_header(std::get<zq::ResponseHeader>(row.header), out);
}

// The row's whole message as its reader is given it.
Bytes message(const Row& row) {
  Bytes out;
  (void)write(row, out);
  out.resize(out.size() + row.payload, 0);
  return out;
}

template <class Fn>
double seconds_per_header(std::size_t runs, Fn&& fn) {
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < runs; ++i) fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / static_cast<double>(runs);
}

double copy_seconds(const Row& row) {
  const Bytes bytes = message(row);
  const std::size_t header = bytes.size() - row.payload;
  Bytes out;
  return seconds_per_header(2000000, [&] {
    out.clear();
    out.append(bytes.data(), header);
    benchmark::DoNotOptimize(out.data());
  });
}

template <class Fn>
void run(benchmark::State& state, const Row& row, Fn&& fn) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) fn();
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.counters["x_copy"] = elapsed / static_cast<double>(state.iterations()) / copy_seconds(row);
}

void BM_HeaderCopy(benchmark::State& state, const Row& row) {
  const Bytes bytes = message(row);
  const std::size_t header = bytes.size() - row.payload;
  Bytes out;
  run(state, row, [&] {
    out.clear();
    out.append(bytes.data(), header);
    benchmark::DoNotOptimize(out.data());
  });
}

void BM_HeaderWrite(benchmark::State& state, const Row& row) {
  Bytes out;
  run(state, row, [&] {
    out.clear();
    auto status = write(row, out);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(out.data());
  });
}

void BM_HeaderRead(benchmark::State& state, const Row& row) {
  const Bytes bytes = message(row);
  const bool request = std::holds_alternative<zq::RequestHeader>(row.header);
  run(state, row, [&] {
    if (request) {
      auto header = zq::read_request_header(bytes);
      benchmark::DoNotOptimize(header);
    } else {
      auto header = zq::read_response_header(bytes);
      benchmark::DoNotOptimize(header);
    }
  });
}

const bool kRegistered = [] {
  for (const Row& row : kRows) {
    const std::string suffix = std::string("/") + row.name;
    benchmark::RegisterBenchmark(("BM_HeaderCopy" + suffix).c_str(), BM_HeaderCopy, row);
    benchmark::RegisterBenchmark(("BM_HeaderWrite" + suffix).c_str(), BM_HeaderWrite, row);
    benchmark::RegisterBenchmark(("BM_HeaderRead" + suffix).c_str(), BM_HeaderRead, row);
  }
  return true;
}();

}  // namespace
