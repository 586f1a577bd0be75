// zstd decompression of container bodies under a 1 GiB output limit: one-shot with the thread's
// reusable context when the first frame with content states its size, streaming into a growing
// buffer otherwise.
#include <zstd.h>

#include <algorithm>
#include <memory>
#include <new>

#include "compress/compression.h"

namespace zq {
namespace {

constexpr WireError kDecompressionFailed = WireError::invalid("zstd decompression failed");

// First capacity of the streaming output; it doubles from there, capped at the limit.
constexpr std::size_t kMinStreamingCapacity = std::size_t{64} << 10;

// The calling thread's one-shot decompression context, freed when the thread ends.
struct ThreadDCtx {
  ZSTD_DCtx* dctx = nullptr;
  ~ThreadDCtx() { ZSTD_freeDCtx(dctx); }
};
thread_local ThreadDCtx thread_dctx;

ZSTD_DCtx* init_thread_dctx() {
  if (thread_dctx.dctx == nullptr) {
    thread_dctx.dctx = ZSTD_createDCtx();
    if (thread_dctx.dctx == nullptr) throw std::bad_alloc();
  }
  return thread_dctx.dctx;
}

struct DCtxDeleter {
  void operator()(ZSTD_DCtx* dctx) const { ZSTD_freeDCtx(dctx); }
};

Result<Bytes> decompress_one_shot(ByteView data, std::size_t stated_size) {
  ZSTD_DCtx* dctx = init_thread_dctx();
  Bytes out;
  out.resize(stated_size);  // uninitialised: zstd writes every byte it reports
  // Fails with dstSize_tooSmall when later frames add content beyond the stated size.
  const std::size_t written = ZSTD_decompressDCtx(dctx, out.data(), out.size(), data.data(), data.size());
  if (ZSTD_isError(written)) return kDecompressionFailed;
  out.resize(written);
  return out;
}

// Decodes frame after frame. The output buffer grows geometrically and never past the limit,
// whatever a frame header claims; once it is full at the limit, a one-byte probe tells whether
// the input would produce more.
Result<Bytes> decompress_streaming(ByteView data) {
  std::unique_ptr<ZSTD_DCtx, DCtxDeleter> dctx(ZSTD_createDCtx());
  if (!dctx) throw std::bad_alloc();
  if (ZSTD_isError(ZSTD_initDStream(dctx.get()))) return kDecompressionFailed;
  const std::size_t chunk = ZSTD_DStreamInSize();

  Bytes out;
  out.resize(std::clamp(data.size() < kMaxDecompressedSize / 4 ? data.size() * 4 : kMaxDecompressedSize,
                        kMinStreamingCapacity, kMaxDecompressedSize));
  std::size_t produced = 0;
  std::size_t in_pos = 0;
  std::size_t frame_state = 1;  // 0 once a frame has been decoded and flushed completely
  bool flushed = true;          // the last call left room in its output, so it holds nothing back
  std::uint8_t probe;
  for (;;) {
    const bool input_left = in_pos < data.size();
    if (frame_state == 0) {
      if (!input_left) break;
      if (ZSTD_isError(ZSTD_DCtx_reset(dctx.get(), ZSTD_reset_session_only))) return kDecompressionFailed;
    } else if (!input_left && flushed) {
      return kDecompressionFailed;  // the input ends inside a frame (or is empty)
    }
    if (produced == out.size() && out.size() < kMaxDecompressedSize) {
      const std::size_t grown = std::min(out.size() * 2, kMaxDecompressedSize);
      out.reserve(grown);
      out.resize(grown);
    }
    const bool at_limit = produced == out.size();
    ZSTD_outBuffer output = at_limit ? ZSTD_outBuffer{&probe, 1, 0} : ZSTD_outBuffer{out.data(), out.size(), produced};
    ZSTD_inBuffer input{data.data(), std::min(data.size(), in_pos + chunk), in_pos};
    frame_state = ZSTD_decompressStream(dctx.get(), &output, &input);
    if (ZSTD_isError(frame_state)) return kDecompressionFailed;
    if (at_limit && output.pos != 0) return kDecompressionFailed;  // more output than the limit
    if (!at_limit) produced = output.pos;
    flushed = output.pos < output.size;
    in_pos = input.pos;
  }
  out.resize(produced);
  return out;
}

// Where the first frame that is not a skippable frame begins. Skippable frames carry no content,
// and zstd states a size of 0 for them, so the one-shot path is sized from the frame after them.
// A skippable frame that zstd cannot measure (cut off) ends the walk; decoding then fails on it.
std::size_t first_content_frame(ByteView data) {
  std::size_t offset = 0;
  while (data.size() - offset >= 4) {
    const std::uint8_t* p = data.data() + offset;
    const std::uint32_t magic = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                                std::uint32_t{p[3]} << 24;
    if ((magic & ZSTD_MAGIC_SKIPPABLE_MASK) != ZSTD_MAGIC_SKIPPABLE_START) break;
    const std::size_t length = ZSTD_findFrameCompressedSize(p, data.size() - offset);
    if (ZSTD_isError(length)) break;
    offset += length;
  }
  return offset;
}

}  // namespace

Result<Bytes> decompress_payload(ByteView data) {
  const std::size_t first = first_content_frame(data);
  const unsigned long long stated = ZSTD_getFrameContentSize(data.data() + first, data.size() - first);
  if (stated != ZSTD_CONTENTSIZE_UNKNOWN && stated != ZSTD_CONTENTSIZE_ERROR && stated <= kMaxDecompressedSize) {
    return decompress_one_shot(data, static_cast<std::size_t>(stated));
  }
  return decompress_streaming(data);
}

}  // namespace zq
