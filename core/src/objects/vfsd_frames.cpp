// VFSD body codec: each frame one MessagePack array (type, name, abs_id, updated_ns, payload),
// written in its smallest form and read back with every item checked.
#include "objects/vfsd_frames.h"

#include <algorithm>
#include <cstring>

#include "serialization/big_endian.h"
#include "serialization/msgpack.h"
#include "serialization/msgpack_markers.h"

namespace zq {
namespace {

constexpr std::uint64_t kMaxLength = 0xffffffffu;
constexpr std::int64_t kMaxUpdatedNs = (std::int64_t{1} << 62) - 1;
// The shortest frame on the wire: 95 00 a0 c4 20 <32 bytes> 00 c0.
constexpr std::size_t kMinFrameSize = 39;

// Appends a marker and a big-endian number of type T.
template <class T>
void put(Bytes& out, std::uint8_t marker, std::uint64_t value) {
  const std::size_t at = out.size();
  out.resize(at + 1 + sizeof(T));
  out[at] = marker;
  store_be<T>(out.data() + at + 1, static_cast<T>(value));
}

void put_uint(Bytes& out, std::uint64_t value) {
  if (value <= mp::kPositiveFixIntMax) {
    out.push_back(static_cast<std::uint8_t>(value));
  } else if (value <= 0xff) {
    put<std::uint8_t>(out, mp::kUInt8, value);
  } else if (value <= 0xffff) {
    put<std::uint16_t>(out, mp::kUInt16, value);
  } else if (value <= 0xffffffff) {
    put<std::uint32_t>(out, mp::kUInt32, value);
  } else {
    put<std::uint64_t>(out, mp::kUInt64, value);
  }
}

// `text` is at most kMaxLength bytes.
void put_str(Bytes& out, std::string_view text) {
  const std::size_t n = text.size();
  if (n < 32) {
    out.push_back(static_cast<std::uint8_t>(mp::kFixStr | n));
  } else if (n <= 0xff) {
    put<std::uint8_t>(out, mp::kStr8, n);
  } else if (n <= 0xffff) {
    put<std::uint16_t>(out, mp::kStr16, n);
  } else {
    put<std::uint32_t>(out, mp::kStr32, n);
  }
  append(out, as_bytes(text));
}

// `bytes` is at most kMaxLength bytes.
void put_bin(Bytes& out, ByteView bytes) {
  const std::size_t n = bytes.size();
  if (n <= 0xff) {
    put<std::uint8_t>(out, mp::kBin8, n);
  } else if (n <= 0xffff) {
    put<std::uint16_t>(out, mp::kBin16, n);
  } else {
    put<std::uint32_t>(out, mp::kBin32, n);
  }
  append(out, bytes);
}

// Turns one decoded value into a frame, moving its name and payload out of the value.
Result<VFSDFrame> frame_from_value(Value& value) {
  if (value.kind() != Value::Kind::Array || value.as_array().size() != 5) {
    return WireError::invalid("VFSD frame must be a tuple/list of 5 items");
  }
  Value::Array& items = value.as_array();
  VFSDFrame frame;

  if (items[0].kind() != Value::Kind::Int) return WireError::invalid("frame type must be int");
  const std::int64_t type = items[0].as_int();
  if (type < 0 || type > 0xffff) return WireError::invalid("frame type range");
  frame.type = static_cast<std::uint16_t>(type);

  if (items[1].kind() != Value::Kind::Str) return WireError::invalid("frame name must be str");
  frame.name = std::move(items[1].as_str());

  if (items[2].kind() != Value::Kind::Bin || items[2].as_bin().size() != frame.abs_id.size()) {
    return WireError::invalid("frame abs_id must be bytes(32)");
  }
  std::memcpy(frame.abs_id.data(), items[2].as_bin().data(), frame.abs_id.size());

  if (items[3].kind() != Value::Kind::Int) return WireError::invalid("frame updated_ns must be int");
  const std::int64_t updated_ns = items[3].as_int();
  if (updated_ns < 0) return WireError::invalid("value must be >= 0");
  if (updated_ns > kMaxUpdatedNs) return WireError::invalid("value exceeds 2^62-1");
  frame.updated_ns = static_cast<std::uint64_t>(updated_ns);

  if (items[4].kind() == Value::Kind::Bin) {
    frame.payload = std::move(items[4].as_bin());
  } else if (items[4].kind() != Value::Kind::Nil) {
    return WireError::invalid("frame payload must be bytes or None");
  }
  return frame;
}

}  // namespace

Result<Bytes> encode_vfsd_frames(const std::vector<VFSDFrame>& frames) {
  std::size_t capacity = 0;
  for (const VFSDFrame& frame : frames) {
    capacity += 48 + frame.name.size() + (frame.payload ? frame.payload->size() : 0);
  }
  Bytes out;
  out.reserve(capacity);
  for (const VFSDFrame& frame : frames) {
    if (frame.name.size() > kMaxLength) return WireError::invalid("vfsd frame name");
    if (frame.payload && frame.payload->size() > kMaxLength) return WireError::invalid("vfsd frame payload");
    out.push_back(mp::kFixArray | 5);
    put_uint(out, frame.type);
    put_str(out, frame.name);
    put_bin(out, frame.abs_id);
    // Not bounded here: a value above 2^62-1 is written as it is and refused when read.
    put_uint(out, frame.updated_ns);
    if (frame.payload) {
      put_bin(out, *frame.payload);
    } else {
      out.push_back(mp::kNil);
    }
  }
  return out;
}

Result<std::vector<VFSDFrame>> decode_vfsd_frames(ByteView body, std::uint64_t expected_count) {
  std::vector<VFSDFrame> frames;
  // The count comes from the header: reserve no more than the body can hold.
  frames.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(expected_count, body.size() / kMinFrameSize)));
  std::size_t position = 0;
  while (position < body.size()) {
    auto value = decode_value(body, position, /*ext_as_bytes=*/false);
    if (!value.ok()) {
      if (value.error() == SerializationError::UnexpectedEnd) {
        return WireError::invalid("VFSD payload has trailing incomplete msgpack frame");
      }
      return WireError::invalid("bad msgpack payload");
    }
    ZQ_ASSIGN_OR_RETURN(VFSDFrame frame, frame_from_value(*value));
    frames.push_back(std::move(frame));
  }
  if (frames.size() != expected_count) return WireError::invalid("VFSD payload frame count mismatch");
  return frames;
}

}  // namespace zq
