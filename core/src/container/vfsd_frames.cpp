// VFSD body codec: each frame one MessagePack array (type, name, abs_id, updated_ns, payload),
// written in its smallest form and read back with every item checked.
#include "container/vfsd_frames.h"

#include <algorithm>
#include <cstring>

#include "serialization/msgpack.h"
#include "serialization/msgpack_markers.h"
#include "serialization/msgpack_writer.h"

namespace zq {
namespace {

constexpr std::int64_t kMaxUpdatedNs = (std::int64_t{1} << 62) - 1;
// The shortest frame on the wire: 95 00 a0 c4 20 <32 bytes> 00 c0.
constexpr std::size_t kMinFrameSize = 39;

// Turns one decoded value into a frame, copying its name and payload out of the value.
Result<VFSDFrame> frame_from_value(ValueView value) {
  if (value.kind() != Value::Kind::Array || value.as_array().size() != 5) {
    return WireError::invalid("VFSD frame must be a tuple/list of 5 items");
  }
  auto item = value.as_array().begin();
  const ValueView type_item = *item++;
  const ValueView name_item = *item++;
  const ValueView abs_id_item = *item++;
  const ValueView updated_item = *item++;
  const ValueView payload_item = *item;
  VFSDFrame frame;

  if (type_item.kind() != Value::Kind::Int) return WireError::invalid("frame type must be int");
  const std::int64_t type = type_item.as_int();
  if (type < 0 || type > 0xffff) return WireError::invalid("frame type range");
  frame.type = static_cast<std::uint16_t>(type);

  if (name_item.kind() != Value::Kind::Str) return WireError::invalid("frame name must be str");
  frame.name = name_item.as_str();

  if (abs_id_item.kind() != Value::Kind::Bin || abs_id_item.as_bin().size() != frame.abs_id.size()) {
    return WireError::invalid("frame abs_id must be bytes(32)");
  }
  std::memcpy(frame.abs_id.data(), abs_id_item.as_bin().data(), frame.abs_id.size());

  if (updated_item.kind() != Value::Kind::Int) return WireError::invalid("frame updated_ns must be int");
  const std::int64_t updated_ns = updated_item.as_int();
  if (updated_ns < 0) return WireError::invalid("value must be >= 0");
  if (updated_ns > kMaxUpdatedNs) return WireError::invalid("value exceeds 2^62-1");
  frame.updated_ns = static_cast<std::uint64_t>(updated_ns);

  if (payload_item.kind() == Value::Kind::Bin) {
    const ByteView payload = payload_item.as_bin();
    frame.payload.emplace(payload.data(), payload.size());
  } else if (payload_item.kind() != Value::Kind::Nil) {
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
    if (frame.name.size() > mp::kMaxLength) return WireError::invalid("vfsd frame name");
    if (frame.payload && frame.payload->size() > mp::kMaxLength) return WireError::invalid("vfsd frame payload");
    out.push_back(mp::kFixArray | 5);
    mp::append_uint(out, frame.type);
    mp::append_str(out, frame.name);
    mp::append_bin(out, frame.abs_id);
    // Not bounded here: a value above 2^62-1 is written as it is and refused when read.
    mp::append_uint(out, frame.updated_ns);
    if (frame.payload) {
      mp::append_bin(out, *frame.payload);
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
    auto value = read_value(body, position, /*ext_as_bytes=*/false);
    if (!value.ok()) {
      if (value.error() == SerializationError::UnexpectedEnd) {
        return WireError::invalid("VFSD payload has trailing incomplete msgpack frame");
      }
      return WireError::invalid("bad msgpack payload");
    }
    ZQ_ASSIGN_OR_RETURN(VFSDFrame frame, frame_from_value(value->view()));
    frames.push_back(std::move(frame));
  }
  if (frames.size() != expected_count) return WireError::invalid("VFSD payload frame count mismatch");
  return frames;
}

}  // namespace zq
