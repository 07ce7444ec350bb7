#include "codec_table.h"

#include <algorithm>
#include <array>

namespace lzcodec {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;

constexpr std::array<const char*, kCodecCount> kCodecNames = {"none", "lz4",   "zstd",     "brotli",
                                                               "lzma", "bzip3", "lzma-x86", "auto"};
constexpr const char* kInvalidName = "invalid";

constexpr std::array<const char*, kLevelCount> kLevelNames = {
    "fastest", "faster", "fast", "quick", "balanced", "normal", "good", "strong", "stronger", "strongest"};

// Larger blocks keep longer matches; smaller ones give every core work sooner and bound memory.
// bzip3 codes each block as one BWT block, so its level is its block size.
constexpr std::array<std::array<std::size_t, kLevelCount>, kCodecCount> kBlockMiB = {{
    /* none     */ {16, 16, 16, 16, 16, 16, 16, 16, 16, 16},
    /* lz4      */ {4, 4, 4, 8, 8, 8, 8, 16, 16, 16},
    /* zstd     */ {4, 4, 4, 8, 8, 8, 16, 16, 32, 64},
    /* brotli   */ {4, 4, 4, 4, 8, 8, 8, 16, 16, 32},
    /* lzma     */ {4, 4, 4, 8, 8, 8, 16, 32, 32, 64},
    /* bzip3    */ {1, 2, 4, 8, 8, 16, 16, 32, 32, 64},
    /* lzma-x86 */ {4, 4, 4, 8, 8, 8, 16, 32, 32, 64},
    /* auto     */ {4, 4, 4, 8, 8, 16, 16, 32, 16, 16},
}};

// At the two strongest auto levels a file of up to this size is one block: its long-range matches
// are worth more than a second core, and its trials already run in parallel. A larger file is
// most often a mix (an archive, a disk image), where 16 MiB blocks let each part find its coder:
// on 128 MiB of the benchmark's large file they came out 1.0 % smaller than 32 MiB blocks and
// 2.5 % smaller than 8 MiB ones, and held two lzma 9e coders in 0.4 GiB instead of 0.75.
constexpr std::size_t kWholeFileMiB = 64;
constexpr int kWholeFileFromLevel = 8;

}  // namespace

const char* codec_name(std::int32_t codec) {
  return codec >= 0 && codec < kCodecCount ? kCodecNames[static_cast<std::size_t>(codec)] : kInvalidName;
}

const char* level_name(std::int32_t level) {
  if (level < 0) return kInvalidName;
  return kLevelNames[static_cast<std::size_t>(level < kLevelCount ? level : kStrongestLevel)];
}

std::size_t block_bytes_for(Codec codec, int level, std::size_t raw_bytes) {
  if (codec == Codec::kAuto && level >= kWholeFileFromLevel && raw_bytes <= kWholeFileMiB * kMiB) {
    return std::max<std::size_t>(raw_bytes, 1);
  }
  return kBlockMiB[static_cast<std::size_t>(codec)][static_cast<std::size_t>(level)] * kMiB;
}

}  // namespace lzcodec
