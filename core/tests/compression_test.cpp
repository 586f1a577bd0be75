// Body compression: pass-through, refusals in order, the level table, both decompression paths,
// frames from the zstd command line and the 1 GiB output limit.
#include "compress/compression.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zstd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "hex_bytes.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZQ_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZQ_UNDER_ASAN 1
#endif
#endif

namespace zq {
namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

std::string describe(const CompressionInfo& info) {
  char text[32];
  std::snprintf(text, sizeof text, "(%d, %d, %d, %d)", info.compressed, info.pretrained_map, info.algorithm,
                info.level);
  return text;
}

Bytes concat(ByteView a, ByteView b) {
  Bytes out(a.begin(), a.end());
  append(out, b);
  return out;
}

Bytes sample_text(int lines) {
  std::string text;
  for (int i = 1; i <= lines; ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "line %02d: a body written by another tool, streamed through a pipe\n", i);
    text += line;
  }
  const ByteView view = as_bytes(text);
  return Bytes(view.begin(), view.end());
}

// One frame of `data` that states its size, as this system writes it.
Bytes sized_frame(ByteView data, int level = 1) {
  Bytes out(ZSTD_compressBound(data.size()));
  out.resize(ZSTD_compress(out.data(), out.size(), data.data(), data.size(), level));
  return out;
}

// Made by `printf ... | zstd -c`: one frame without a content size, with a checksum; it holds
// sample_text(40).
Bytes pipe_frame() {
  std::ifstream in(std::string(ZQ_TEST_DATA_DIR) + "/pipe_no_content_size.zst", std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One streamed frame of `size` bytes, `unit` repeated; it states its size only when `state_size`.
Bytes streamed_frame(ByteView unit, std::uint64_t size, bool state_size) {
  ZSTD_CCtx* cctx = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, 1);
  if (state_size) ZSTD_CCtx_setPledgedSrcSize(cctx, size);
  Bytes frame;
  std::uint8_t chunk[1 << 16];
  std::uint64_t fed = 0;
  for (;;) {
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(unit.size(), size - fed));
    const ZSTD_EndDirective mode = fed + take == size ? ZSTD_e_end : ZSTD_e_continue;
    ZSTD_inBuffer input{unit.data(), take, 0};
    std::size_t pending;
    do {
      ZSTD_outBuffer output{chunk, sizeof chunk, 0};
      pending = ZSTD_compressStream2(cctx, &output, &input, mode);
      EXPECT_FALSE(ZSTD_isError(pending));
      frame.insert(frame.end(), chunk, chunk + output.pos);
    } while (mode == ZSTD_e_end ? pending != 0 : input.pos < input.size);
    fed += take;
    if (mode == ZSTD_e_end) break;
  }
  ZSTD_freeCCtx(cctx);
  return frame;
}

Bytes zero_frame(std::uint64_t size, bool state_size) {
  static const Bytes zeros(std::size_t{1} << 20, 0);
  return streamed_frame(zeros, size, state_size);
}

// A frame header stating `claimed` bytes, followed by one last raw block of 3 bytes.
Bytes claiming_frame(std::uint64_t claimed) {
  Bytes frame = test::from_hex("28 b5 2f fd c0 58");  // 8-byte content size, 2 MiB window
  for (int i = 0; i < 8; ++i) frame.push_back(static_cast<std::uint8_t>(claimed >> (8 * i)));
  append(frame, test::from_hex("19 00 00 61 62 63"));
  return frame;
}

// A skippable frame (magic 0x184D2A5n) carrying `content`, which decoders ignore.
Bytes skippable_frame(std::string_view content, int variant = 0) {
  Bytes frame = {static_cast<std::uint8_t>(0x50 + variant), 0x2a, 0x4d, 0x18};
  for (int i = 0; i < 4; ++i) frame.push_back(static_cast<std::uint8_t>(content.size() >> (8 * i)));
  append(frame, as_bytes(content));
  return frame;
}

bool sanitized_or_asked_to_skip() {
#ifdef ZQ_UNDER_ASAN
  return true;
#else
  return std::getenv("ZQ_SANITIZED") != nullptr;
#endif
}

TEST(CompressPayload, NotCompressedReturnsTheInputItself) {
  const Bytes input = sample_text(3);
  for (const CompressionInfo info :
       {CompressionInfo{0, 0, 0, 0}, CompressionInfo{0, 1, 15, 3}, CompressionInfo{0, 9, 99, 200}}) {
    SCOPED_TRACE(describe(info));
    const auto body = compress_payload(input, info);
    ASSERT_TRUE(body.ok());
    EXPECT_EQ(body->view.data(), input.data());
    EXPECT_EQ(body->view.size(), input.size());
    EXPECT_TRUE(body->owned.empty());
  }
}

TEST(CompressPayload, FirstFailingCheckWins) {
  const struct {
    CompressionInfo info;
    const char* message;
  } cases[] = {
      {{1, 1, 1, 4}, "pretrained map compression not implemented"},
      {{1, 1, 0, 0}, "pretrained map compression not implemented"},
      {{1, 0, 1, 4}, "unknown compression algorithm code"},
      {{255, 0, 16, 0}, "unknown compression algorithm code"},
      {{1, 0, 0, 4}, "unknown compression level code"},
      {{1, 0, 0, 255}, "unknown compression level code"},
  };
  const Bytes input = sample_text(3);
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c.info));
    const auto body = compress_payload(input, c.info);
    ASSERT_FALSE(body.ok());
    EXPECT_EQ(body.error(), WireError::invalid(c.message));
  }
}

TEST(CompressPayload, LevelCodesSelectZstdLevelsAndRoundTripOneShot) {
  const Bytes text = sample_text(40);
  const struct {
    CompressionInfo info;
    int zstd_level;
  } cases[] = {{{1, 0, 0, 0}, 1},
               {{1, 0, 0, 1}, 6},
               {{1, 0, 0, 2}, 9},
               {{1, 0, 0, 3}, 19},
               {{2, 0, 0, 2}, 9}};  // any non-zero `compressed` compresses
  for (const auto& c : cases) {
    for (const Bytes& input : {text, Bytes{}}) {
      SCOPED_TRACE(describe(c.info) + " on " + std::to_string(input.size()) + " bytes");
      const auto body = compress_payload(input, c.info);
      ASSERT_TRUE(body.ok());
      EXPECT_EQ(body->view.data(), body->owned.data());
      EXPECT_EQ(test::to_hex(body->view), test::to_hex(sized_frame(input, c.zstd_level)));
      EXPECT_EQ(ZSTD_getFrameContentSize(body->view.data(), body->view.size()), input.size());
      const auto restored = decompress_payload(body->view);
      ASSERT_TRUE(restored.ok());
      EXPECT_EQ(*restored, input);
    }
  }
}

TEST(DecompressPayload, StreamsFramesThatStateNoSize) {
  const Bytes pipe = pipe_frame();
  ASSERT_EQ(pipe.size(), 182u);
  ASSERT_EQ(ZSTD_getFrameContentSize(pipe.data(), pipe.size()), ZSTD_CONTENTSIZE_UNKNOWN);
  const Bytes text = sample_text(40);

  // Output of more than 8 times the first capacity (4x the input): the buffer grows repeatedly.
  const std::size_t big_size = (std::size_t{3} << 20) + 5;
  Bytes big_text;
  while (big_text.size() < big_size) append(big_text, text);
  big_text.resize(big_size);
  const Bytes big_frame = streamed_frame(text, big_size, false);
  ASSERT_EQ(ZSTD_getFrameContentSize(big_frame.data(), big_frame.size()), ZSTD_CONTENTSIZE_UNKNOWN);
  ASSERT_LT(big_frame.size() * 4 * 8, big_size);

  const struct {
    const char* name;
    Bytes input;
    Bytes expected;
  } cases[] = {
      {"frame from the command line", pipe, text},
      {"two frames back to back", concat(pipe, pipe), concat(text, text)},
      {"unsized frame then sized frame", concat(pipe, sized_frame(text)), concat(text, text)},
      {"3 MiB from a few KiB", big_frame, big_text},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto restored = decompress_payload(c.input);
    ASSERT_TRUE(restored.ok());
    EXPECT_TRUE(*restored == c.expected);
  }
}

// Skippable frames hold no content; the path is chosen by the first frame after them.
TEST(DecompressPayload, SkipsSkippableFrames) {
  const Bytes text = sample_text(40);
  const Bytes sized = sized_frame(text);
  const Bytes skip = skippable_frame("written by another tool");
  ASSERT_EQ(ZSTD_getFrameContentSize(skip.data(), skip.size()), 0u);
  const struct {
    const char* name;
    Bytes input;
    Bytes expected;
  } cases[] = {
      {"skippable then sized", concat(skip, sized), text},
      {"two skippable then sized", concat(concat(skip, skippable_frame("", 15)), sized), text},
      {"skippable then unsized", concat(skip, pipe_frame()), text},
      {"sized then skippable", concat(sized, skip), text},
      {"skippable, sized, skippable", concat(concat(skip, sized), skip), text},
      {"skippable only", skip, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto restored = decompress_payload(c.input);
    ASSERT_TRUE(restored.ok());
    EXPECT_TRUE(*restored == c.expected);
  }
  const Bytes cut_skip(skip.begin(), skip.end() - 1);
  for (const Bytes& bad : {cut_skip, concat(skip, Bytes(sized.begin(), sized.end() - 1)),
                           concat(skip, test::from_hex("01 02 03 04 05 06 07 08"))}) {
    const auto restored = decompress_payload(bad);
    ASSERT_FALSE(restored.ok());
    EXPECT_EQ(restored.error(), WireError::invalid("zstd decompression failed"));
  }
}

TEST(DecompressPayload, FailuresLeaveTheThreadReadyForGoodInput) {
  const Bytes text = sample_text(40);
  const Bytes sized = sized_frame(text);
  const Bytes pipe = pipe_frame();
  const Bytes ten = sized_frame(as_bytes("0123456789"));
  const auto cut = [](const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + n); };
  const struct {
    const char* name;
    Bytes input;
  } cases[] = {
      {"empty input", {}},
      {"not a zstd frame", test::from_hex("68 65 6c 6c 6f 20 7a 71")},
      {"sized frame cut at its end", cut(sized, sized.size() - 1)},
      {"sized frame header only", cut(sized, 6)},
      {"unsized frame cut at its end", cut(pipe, pipe.size() - 1)},
      {"unsized frame header only", cut(pipe, 6)},
      {"10-byte frame then 10 more bytes in a second frame", concat(ten, ten)},
      {"sized frame then junk", concat(sized, test::from_hex("01 02 03 04 05 06 07 08"))},
      {"unsized frame then junk", concat(pipe, test::from_hex("01 02 03 04 05 06 07 08"))},
      {"frame holding less than it states", claiming_frame(10)},
      {"frame claiming 2^40 bytes", claiming_frame(std::uint64_t{1} << 40)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto restored = decompress_payload(c.input);
    ASSERT_FALSE(restored.ok());
    EXPECT_EQ(restored.error(), WireError::invalid("zstd decompression failed"));
    for (const Bytes* good : {&sized, &pipe}) {
      const auto again = decompress_payload(*good);
      ASSERT_TRUE(again.ok());
      EXPECT_TRUE(*again == text);
    }
  }
}

TEST(DecompressPayload, ThreadsDecompressAtOnce) {
  const Bytes text = sample_text(40);
  const Bytes sized = sized_frame(text);
  const Bytes pipe = pipe_frame();
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const auto restored = decompress_payload(i % 2 ? sized : pipe);
        if (!restored.ok() || *restored != text) ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

// Each of these decodes about 1 GiB; too slow and too big for sanitizer builds.
class OutputLimit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (sanitized_or_asked_to_skip()) GTEST_SKIP() << "1 GiB outputs are skipped under sanitizers";
  }
};

TEST_F(OutputLimit, ExactlyOneGiBSucceedsOnBothPaths) {
  for (const bool state_size : {true, false}) {
    SCOPED_TRACE(state_size ? "one-shot" : "streaming");
    const Bytes frame = zero_frame(kGiB, state_size);
    EXPECT_EQ(ZSTD_getFrameContentSize(frame.data(), frame.size()), state_size ? kGiB : ZSTD_CONTENTSIZE_UNKNOWN);
    const auto restored = decompress_payload(frame);
    ASSERT_TRUE(restored.ok());
    ASSERT_EQ(restored->size(), kGiB);
    EXPECT_EQ((*restored)[0], 0);
    EXPECT_EQ((*restored)[kGiB - 1], 0);
  }
}

TEST_F(OutputLimit, OneByteMoreFailsOnBothPaths) {
  // A stated size of 1 GiB + 1 sends the frame down the streaming path too.
  for (const bool state_size : {true, false}) {
    SCOPED_TRACE(state_size ? "stated 1 GiB + 1" : "streaming");
    const auto restored = decompress_payload(zero_frame(kGiB + 1, state_size));
    ASSERT_FALSE(restored.ok());
    EXPECT_EQ(restored.error(), WireError::invalid("zstd decompression failed"));
  }
}

// Runs in a child whose address space leaves room for little more than the test itself: tiny
// frames claiming more than 1 GiB must fail cleanly, where an allocation of the claim would abort.
[[noreturn]] void decompress_claims_in_small_address_space() {
  long pages = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (rlim_t{256} << 20);
  const rlimit address_space{limit, limit};
  if (pages == 0 || setrlimit(RLIMIT_AS, &address_space) != 0) _exit(3);
  for (const std::uint64_t claim : {kGiB + 1, kGiB * 2, std::uint64_t{1} << 40, std::uint64_t{1} << 62}) {
    if (decompress_payload(claiming_frame(claim)).ok()) _exit(1);
  }
  _exit(0);
}

TEST_F(OutputLimit, ClaimedSizesAreNeverAllocated) {
  EXPECT_EXIT(decompress_claims_in_small_address_space(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zq
