// MessagePack codec of `Value`: an encoder that appends to a growing buffer and a decoder (no
// recursion) that reads one value from a position in a byte slice. A Value holds its own
// MessagePack form (see value.h), so encoding checks what the encoder refuses and copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bytes.h"
#include "common/result.h"
#include "serialization/value.h"

namespace zq {

// The codec's internal error. Callers turn it into a WireError; it never reaches a user.
enum class SerializationError : std::uint8_t {
  DepthExceeded,
  UnexpectedEnd,
  ReservedMarker,
  InvalidUtf8,
  BadTimestampLength,
  NegativeExtType,
  NotEncodable,
};

// Arrays and maps may enclose a value this deep when encoding (depths 0..511).
inline constexpr std::size_t kMaxEncodeDepth = 512;
// Containers open at once when decoding.
inline constexpr std::size_t kMaxDecodeContainers = 1024;

// Appends the MessagePack form of `value`; `depth` counts the arrays and maps around it.
// On failure (DepthExceeded, NotEncodable) `out` holds the bytes written before the failing item.
Result<void, SerializationError> encode_value(const Value& value, Bytes& out, std::size_t depth = 0);

// Whether encode_value(value, out, depth) would succeed: no array or map at depth
// kMaxEncodeDepth or deeper, no timestamp nanos above 999999999, no negative extension type, no
// length above 2^32-1.
bool encodable(const Value& value, std::size_t depth = 0);

// Appends one map of the pairs of `pairs` (a Map) in order, keys and values encoded at depth 1.
Result<void, SerializationError> encode_map_pairs(const Value& pairs, Bytes& out);

// Bytes built in the calling thread's reusable scratch buffer, for a caller that copies them
// once into memory of its own. Encoded values of kGatherMin bytes or more are not copied into
// the buffer: copy_to() takes them from the value, which must outlive this object. The buffers
// go back to the thread when the object goes. A thread keeps the buffers of two outputs, for a
// message and its payload written at once; a third alive at the same time starts with buffers of
// its own. Outputs end in the reverse order they were made in (they live on the stack).
class ScratchOutput {
 public:
  static constexpr std::size_t kGatherMin = 4096;
  // `size` bytes at `data` that belong at offset `at` of the buffer's bytes.
  struct Run {
    std::size_t at;
    const std::uint8_t* data;
    std::size_t size;
  };
  // What a thread keeps between outputs.
  struct Buffers {
    Bytes bytes;
    std::vector<Run> runs;
  };

  ScratchOutput();
  ~ScratchOutput();
  ScratchOutput(const ScratchOutput&) = delete;
  ScratchOutput& operator=(const ScratchOutput&) = delete;

  // The buffer itself, for writers that append to a Bytes (headers); what they append follows
  // the output of the encodes before.
  Bytes& bytes() { return buffers_->bytes; }

  // Appends the MessagePack form of `value` as encode_value does at depth 0. On failure the
  // output is to be discarded.
  Result<void, SerializationError> encode(const Value& value);
  // Appends `bytes`, which must outlive this object, without copying them when they are long.
  void append_kept(ByteView bytes);

  // The length of the output, and the output itself written at `out`, which has room for it.
  std::size_t size() const { return buffers_->bytes.size() + gathered_; }
  void copy_to(std::uint8_t* out) const;
  // Whether the whole output lies in bytes(): nothing was kept apart.
  bool in_one_piece() const { return buffers_->runs.empty(); }

 private:
  std::size_t depth_;  // outputs alive on the thread before this one
  Buffers* buffers_;   // the thread's, used in place, or own_
  Buffers own_;
  std::size_t gathered_ = 0;
};

// A new byte string of exactly the MessagePack form of `value`.
Result<Bytes, SerializationError> encode_value_to_bytes(const Value& value);

// Reads one value at `position` and advances `position` past it; bytes after it are not looked
// at. With `ext_as_bytes`, extension types 17..27 and 29 decode as Bin.
Result<Value, SerializationError> decode_value(ByteView data, std::size_t& position, bool ext_as_bytes);

// Reads the value at the start of `data` as decode_value does, and takes `data` over as the
// value's block when the value fills it in packed form already (and the buffer has little room
// beyond it); `position` is left past the value, for the caller to compare with data.size().
Result<Value, SerializationError> decode_value_taking(Bytes&& data, std::size_t& position, bool ext_as_bytes);

// A value read for a caller that only looks at it: the input itself when it holds the value in
// packed form already (as everything the encoder writes does), else a value of its own.
class ReadValue {
 public:
  // Valid while this object and the input live.
  ValueView view() const { return in_place_ != nullptr ? ValueView(in_place_) : owned_.view(); }

 private:
  friend Result<ReadValue, SerializationError> read_value(ByteView, std::size_t&, bool);
  const std::uint8_t* in_place_ = nullptr;
  Value owned_;
};

// Reads one value as decode_value does, with the same checks and errors, without copying input
// that is already in packed form.
Result<ReadValue, SerializationError> read_value(ByteView data, std::size_t& position, bool ext_as_bytes);

}  // namespace zq
