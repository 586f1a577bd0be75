// MessagePack encoder: a Value is its MessagePack form already, so encoding checks that nothing
// in it is refused and copies it; the thread's scratch buffers behind ScratchOutput.
#include <array>
#include <optional>

#include "serialization/msgpack.h"
#include "serialization/packed_writer.h"

namespace zq {
namespace {

// An item that encode_value refuses: its offset in the packed form, and why.
struct Refusal {
  std::size_t at;
  SerializationError error;
};

// The first item, in encoding order, that encode_value(value, depth) refuses. What the value
// tells of itself settles most values without a walk.
std::optional<Refusal> first_refusal(const Value& value, std::size_t depth) {
  if (!value.holds_unencodable() && depth + value.nesting() <= kMaxEncodeDepth) return std::nullopt;
  const std::uint8_t* const begin = value.packed().data();
  const std::uint8_t* p = begin;
  // The items still to come in each open array or map; the value itself is the one item at
  // the bottom. The walk stops at the first array or map at kMaxEncodeDepth, so no more than
  // that many are ever open.
  std::array<std::uint64_t, kMaxEncodeDepth + 1> left;
  std::size_t open = 0;
  left[0] = 1;
  for (;;) {
    const packed::Head h = packed::head(p);
    const std::size_t item_depth = depth + open;
    const auto refuse = [&](SerializationError e) { return Refusal{static_cast<std::size_t>(p - begin), e}; };
    switch (h.kind) {
      case ValueKind::Array:
      case ValueKind::Map:
        if (item_depth >= kMaxEncodeDepth) return refuse(SerializationError::DepthExceeded);
        if (*p == packed::kEscape) return refuse(SerializationError::NotEncodable);
        break;
      case ValueKind::Str:
      case ValueKind::Bin:
      case ValueKind::Ext:
        if (*p == packed::kEscape) return refuse(SerializationError::NotEncodable);
        break;
      case ValueKind::Timestamp:
        if (ValueView(p).as_timestamp().nanos > packed::kMaxNanos) return refuse(SerializationError::NotEncodable);
        break;
      default:
        break;
    }
    p += h.size + packed::content_bytes(h);
    if (const std::uint64_t nested = packed::nested_items(h); nested != 0) {
      left[++open] = nested;
      continue;
    }
    while (--left[open] == 0) {
      // A value without refusals ends the walk with its last item.
      if (open == 0) return std::nullopt;
      --open;
    }
  }
}

// Each thread keeps the buffers of its first kKeptOutputs outputs alive at once, so that
// repeated outputs on one thread reuse their allocations; freed when the thread ends. They are
// not kept once grown beyond kKeptOutputMax, so that one huge output does not hold its memory
// for the thread's life.
constexpr std::size_t kKeptOutputs = 2;
thread_local ScratchOutput::Buffers thread_output_buffers[kKeptOutputs];
thread_local std::size_t thread_outputs_alive = 0;
constexpr std::size_t kKeptOutputMax = std::size_t{16} << 20;

}  // namespace

Result<void, SerializationError> encode_value(const Value& value, Bytes& out, std::size_t depth) {
  if (const auto refusal = first_refusal(value, depth)) {
    append(out, value.packed().first(refusal->at));
    return refusal->error;
  }
  append(out, value.packed());
  return {};
}

Result<void, SerializationError> encode_map_pairs(const Value& pairs, Bytes& out) {
  return encode_value(pairs, out, 0);
}

// The thread's buffers are used in place for the output's life and left empty, keeping their
// capacity, on every path.
ScratchOutput::ScratchOutput()
    : depth_(thread_outputs_alive++), buffers_(depth_ < kKeptOutputs ? &thread_output_buffers[depth_] : &own_) {
  buffers_->bytes.clear();
  buffers_->runs.clear();
}

ScratchOutput::~ScratchOutput() {
  --thread_outputs_alive;
  if (buffers_ != &own_ && buffers_->bytes.capacity() > kKeptOutputMax) *buffers_ = Buffers();
}

bool encodable(const Value& value, std::size_t depth) { return !first_refusal(value, depth); }

Result<void, SerializationError> ScratchOutput::encode(const Value& value) {
  if (const auto refusal = first_refusal(value, 0)) return refusal->error;
  append_kept(value.packed());
  return {};
}

void ScratchOutput::append_kept(ByteView bytes) {
  if (bytes.size() < kGatherMin) {
    append(buffers_->bytes, bytes);
    return;
  }
  buffers_->runs.push_back({buffers_->bytes.size(), bytes.data(), bytes.size()});
  gathered_ += bytes.size();
}

void ScratchOutput::copy_to(std::uint8_t* out) const {
  const Bytes& bytes = buffers_->bytes;
  std::size_t from = 0;
  for (const Run& run : buffers_->runs) {
    // Runs are noted in order, each after the bytes appended before it.
    if (run.at != from) std::memcpy(out, bytes.data() + from, run.at - from);
    out += run.at - from;
    std::memcpy(out, run.data, run.size);
    out += run.size;
    from = run.at;
  }
  if (bytes.size() != from) std::memcpy(out, bytes.data() + from, bytes.size() - from);
}

Result<Bytes, SerializationError> encode_value_to_bytes(const Value& value) {
  if (const auto refusal = first_refusal(value, 0)) return refusal->error;
  const ByteView packed = value.packed();
  return Bytes(packed.data(), packed.size());
}

}  // namespace zq
