// The body of a VFSD container: frames written back to back, each a MessagePack array of five.
#pragma once

#include <cstdint>
#include <vector>

#include "common/bytes.h"
#include "common/result.h"
#include "container/container.h"

namespace zq {

Result<Bytes> encode_vfsd_frames(const std::vector<VFSDFrame>& frames);
// Exactly `expected_count` frames, each checked, or the first failure.
Result<std::vector<VFSDFrame>> decode_vfsd_frames(ByteView body, std::uint64_t expected_count);

}  // namespace zq
