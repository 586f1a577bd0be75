// What the codec allocates: a short input of huge container counts reserves only a small
// multiple of its own size, and encode_value_to_bytes reuses its per-thread buffer.
//
// The counts come from a replacement of the global operator new for this test binary; it
// counts only on a thread that has asked for it, and otherwise just forwards to malloc.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string_view>
#include <thread>

#include "hex_bytes.h"
#include "msgpack_test_values.h"
#include "serialization/msgpack.h"

namespace {

thread_local bool t_counting = false;
thread_local std::size_t t_bytes = 0;
thread_local std::size_t t_calls = 0;

}  // namespace

// g++ sees free() of memory that came from operator new; here that is the pairing itself.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t n) {
  if (t_counting) {
    t_bytes += n;
    ++t_calls;
  }
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }

namespace zq {
namespace {

using namespace zq::test;

struct Allocations {
  std::size_t bytes = 0;
  std::size_t calls = 0;
};

// What `f` asks operator new for on this thread, in total.
template <class F>
Allocations count_allocations(F&& f) {
  t_bytes = t_calls = 0;
  t_counting = true;
  f();
  t_counting = false;
  return {t_bytes, t_calls};
}

// `n` copies of the bytes `hex` gives.
Bytes repeated(std::string_view hex, int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) append(out, from_hex(hex));
  return out;
}

TEST(MsgpackAllocations, HugeCountsReserveInProportionToTheInput) {
  // Nested headers announcing 2^32-1 items each, then the input ends. Capping each container
  // at 4096 items would reserve 4M items (160 MiB) for the 5 KiB of 1024 headers; capping it
  // also at the bytes left after its header would still reserve 2.5M (100 MiB).
  const struct {
    const char* name;
    Bytes input;
  } cases[] = {
      {"1024 nested arrays", repeated("dd ff ff ff ff", 1024)},
      {"1024 nested maps", repeated("df ff ff ff ff", 1024)},
      {"one array, three items", from_hex("dd ff ff ff ff 01 02 03")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t pos = 0;
    bool failed_at_end = false;
    const Allocations a = count_allocations([&] {
      auto r = decode_value(c.input, pos, true);
      failed_at_end = !r.ok() && r.error() == SerializationError::UnexpectedEnd;
    });
    EXPECT_TRUE(failed_at_end);
    // The total asked for bounds the peak. Each input byte is at most one item: one reserved
    // slot and one slot of growth; then at most 64 KiB for the stack of open containers.
    EXPECT_LE(a.bytes, c.input.size() * 2 * sizeof(Value) + 64 * 1024)
        << a.bytes << " bytes in " << a.calls << " allocations";
  }
}

TEST(MsgpackAllocations, ThreadEncodeBufferKeepsItsCapacity) {
  const Value big = Value::bin(Bytes(100000, 7));
  const Value small = Str("hello");
  Bytes expected_big;
  ASSERT_TRUE(encode_value(big, expected_big).ok());

  // A fresh thread starts with an empty buffer: the first encode grows it, later ones only
  // allocate their result, also after an encode that failed.
  std::thread([&] {
    Result<Bytes, SerializationError> first = SerializationError::NotEncodable;
    const Allocations grow = count_allocations([&] { first = encode_value_to_bytes(big); });
    ASSERT_TRUE(first.ok());
    EXPECT_TRUE(*first == expected_big);
    EXPECT_GT(grow.calls, 1u);

    const Value failing = Arr({small, Ts(0, 1000000000)});
    Result<Bytes, SerializationError> second = SerializationError::NotEncodable;
    const Allocations fail = count_allocations([&] { second = encode_value_to_bytes(failing); });
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error(), SerializationError::NotEncodable);
    EXPECT_EQ(fail.calls, 0u);

    for (const Value* v : {&big, &small, &big}) {
      Result<Bytes, SerializationError> again = SerializationError::NotEncodable;
      const Allocations reuse = count_allocations([&] { again = encode_value_to_bytes(*v); });
      ASSERT_TRUE(again.ok());
      EXPECT_EQ(reuse.calls, 1u);
      EXPECT_EQ(reuse.bytes, again->size());
    }
  }).join();

  // Another thread has a buffer of its own.
  std::thread([&] {
    const Allocations grow = count_allocations([&] { (void)encode_value_to_bytes(big); });
    EXPECT_GT(grow.calls, 1u);
  }).join();
}

}  // namespace
}  // namespace zq
