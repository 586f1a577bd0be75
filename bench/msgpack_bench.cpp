// MessagePack codec speed against the reference C++ library on one fixed corpus, in the same
// process: BM_<Op>/zq/<row> pairs with BM_<Op>/msgpackcxx/<row> and prints vs_msgpackcxx,
// its time over the reference's.
//   Encode        into a reused buffer (Bytes / msgpack::sbuffer), the codec alone;
//   EncodeToBytes into a new byte string each time (encode_value_to_bytes / a new sbuffer);
//   Decode        the whole body to an owned tree (Value / msgpack::object_handle).
#include <benchmark/benchmark.h>

#include <msgpack.hpp>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "serialization/msgpack.h"

namespace {

using zq::Bytes;
using zq::Value;

Value str(std::string s) { return Value::str(std::move(s)); }
Value integer(std::int64_t i) { return Value::integer(i); }

Value small_map() {
  return Value::map({{str("id"), integer(12345)},
                     {str("name"), str("alice")},
                     {str("active"), Value::boolean(true)},
                     {str("score"), Value::floating(98.5)},
                     {str("tags"), Value::array({str("admin"), str("ops")})}});
}

Value small_ints() {
  Value::Array a;
  for (int i = 0; i < 1000; ++i) a.push_back(integer(i % 300 - 100));
  return Value::array(std::move(a));
}

Value short_strings() {
  Value::Array a;
  for (int i = 0; i < 1000; ++i) a.push_back(str("item-" + std::to_string(i)));
  return Value::array(std::move(a));
}

Value map_100() {
  Value::Map m;
  for (int i = 0; i < 100; ++i) {
    Value v = i % 2 == 0 ? integer(i * 1000) : str("value-" + std::to_string(i));
    m.push_back({str("key_" + std::to_string(i)), std::move(v)});
  }
  return Value::map(std::move(m));
}

Value bin_1mib() {
  Bytes b(1 << 20);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 31);
  return Value::bin(std::move(b));
}

// Twenty levels, arrays and maps in turn, each level with a few scalars beside the next.
Value nested_20() {
  Value v = str("leaf");
  for (int level = 0; level < 20; ++level) {
    if (level % 2 == 0) {
      v = Value::array({integer(level), str("lvl"), std::move(v)});
    } else {
      v = Value::map({{str("depth"), integer(level)}, {str("next"), std::move(v)}});
    }
  }
  return v;
}

struct Row {
  const char* name;
  Value value;
  Bytes bytes;                     // our encoding, which the reference writes identically
  msgpack::object_handle theirs;  // the same data as the reference library's tree
};

std::vector<Row>& corpus() {
  static std::vector<Row> rows = [] {
    std::vector<Row> r;
    const std::pair<const char*, Value> data[] = {
        {"small_map", small_map()}, {"ints_1000", small_ints()}, {"strings_1000", short_strings()},
        {"map_100", map_100()},     {"bin_1mib", bin_1mib()},    {"nested_20", nested_20()},
    };
    for (const auto& [name, value] : data) {
      Row row{name, value, {}, {}};
      if (!zq::encode_value(value, row.bytes).ok()) std::abort();
      row.theirs = msgpack::unpack(reinterpret_cast<const char*>(row.bytes.data()), row.bytes.size());
      r.push_back(std::move(row));
    }
    return r;
  }();
  return rows;
}

// Nanoseconds per iteration of the latest reference run of each pair; the zq run registered
// after it prints its own time as a ratio to it (vs_msgpackcxx below 1 means zq is faster).
std::map<std::string, double>& baseline_ns() {
  static std::map<std::string, double> times;
  return times;
}

template <class Body>
void measure(benchmark::State& state, const Row& row, const std::string& pair, bool is_baseline, Body body) {
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
                    static_cast<double>(state.iterations());
  if (is_baseline) {
    baseline_ns()[pair] = ns;
  } else if (auto it = baseline_ns().find(pair); it != baseline_ns().end()) {
    state.counters["vs_msgpackcxx"] = ns / it->second;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * row.bytes.size()));
}

using Op = void (*)(benchmark::State&, const Row&, const std::string&);

void encode_zq(benchmark::State& state, const Row& row, const std::string& pair) {
  Bytes out;
  measure(state, row, pair, false, [&] {
    out.clear();
    if (!zq::encode_value(row.value, out).ok()) state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(out.data());
  });
}

void encode_cxx(benchmark::State& state, const Row& row, const std::string& pair) {
  msgpack::sbuffer out;
  measure(state, row, pair, true, [&] {
    out.clear();
    msgpack::pack(out, row.theirs.get());
    benchmark::DoNotOptimize(out.data());
  });
}

void encode_to_bytes_zq(benchmark::State& state, const Row& row, const std::string& pair) {
  measure(state, row, pair, false, [&] {
    auto out = zq::encode_value_to_bytes(row.value);
    if (!out.ok()) state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(out->data());
  });
}

void encode_to_bytes_cxx(benchmark::State& state, const Row& row, const std::string& pair) {
  measure(state, row, pair, true, [&] {
    msgpack::sbuffer out;
    msgpack::pack(out, row.theirs.get());
    benchmark::DoNotOptimize(out.data());
  });
}

void decode_zq(benchmark::State& state, const Row& row, const std::string& pair) {
  measure(state, row, pair, false, [&] {
    std::size_t pos = 0;
    auto v = zq::decode_value(row.bytes, pos, true);
    if (!v.ok()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(v);
  });
}

void decode_cxx(benchmark::State& state, const Row& row, const std::string& pair) {
  measure(state, row, pair, true, [&] {
    msgpack::object_handle v =
        msgpack::unpack(reinterpret_cast<const char*>(row.bytes.data()), row.bytes.size());
    benchmark::DoNotOptimize(v.get());
  });
}

const bool registered = [] {
  const struct {
    const char* op;
    Op zq;
    Op cxx;
  } ops[] = {
      {"BM_Encode", encode_zq, encode_cxx},
      {"BM_EncodeToBytes", encode_to_bytes_zq, encode_to_bytes_cxx},
      {"BM_Decode", decode_zq, decode_cxx},
  };
  for (const auto& op : ops) {
    for (const Row& row : corpus()) {
      const std::string pair = std::string(op.op) + "/" + row.name;
      // The reference first, so that its time is there when the zq run reports its ratio.
      benchmark::RegisterBenchmark((std::string(op.op) + "/msgpackcxx/" + row.name).c_str(), op.cxx,
                                   std::cref(row), pair);
      benchmark::RegisterBenchmark((std::string(op.op) + "/zq/" + row.name).c_str(), op.zq, std::cref(row),
                                   pair);
    }
  }
  return true;
}();

}  // namespace
