// zstd compression of container bodies at the level a CompressionInfo selects.
#include "compress/compression.h"

#include <zstd.h>

#include <memory>
#include <new>

namespace zq {
namespace {

// zstd level of each level code 0..3.
constexpr int kZstdLevels[] = {1, 6, 9, 19};

struct CCtxDeleter {
  void operator()(ZSTD_CCtx* cctx) const { ZSTD_freeCCtx(cctx); }
};

}  // namespace

Result<CompressedBody> compress_payload(ByteView data, const CompressionInfo& info) {
  if (info.compressed == 0) return CompressedBody{data, {}};
  if (info.pretrained_map != 0) return WireError::invalid("pretrained map compression not implemented");
  if (info.algorithm != 0) return WireError::invalid("unknown compression algorithm code");
  if (info.level > 3) return WireError::invalid("unknown compression level code");

  const WireError failed = WireError::invalid("zstd compression failed");
  // A fresh context per call: compressions on different threads never share state.
  std::unique_ptr<ZSTD_CCtx, CCtxDeleter> cctx(ZSTD_createCCtx());
  if (!cctx) throw std::bad_alloc();
  if (ZSTD_isError(ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, kZstdLevels[info.level]))) {
    return failed;
  }
  const std::size_t bound = ZSTD_compressBound(data.size());
  if (ZSTD_isError(bound)) return failed;

  CompressedBody body;
  body.owned.resize(bound);  // uninitialised: zstd writes what it reports
  const std::size_t written =
      ZSTD_compress2(cctx.get(), body.owned.data(), body.owned.size(), data.data(), data.size());
  if (ZSTD_isError(written)) return failed;
  body.owned.resize(written);
  body.view = body.owned;
  return body;
}

}  // namespace zq
