// The codecs and levels the library offers, with what each level means to each codec.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzcodec {

enum class Codec : std::int32_t { kNone, kLz4, kZstd, kBrotli, kLzma, kBzip3, kLzmaX86, kAuto };
inline constexpr std::int32_t kCodecCount = 8;
inline constexpr std::int32_t kLevelCount = 10;
inline constexpr std::int32_t kStrongestLevel = kLevelCount - 1;

const char* codec_name(std::int32_t codec);
const char* level_name(std::int32_t level);

// Raw bytes per block for a codec at a level (0 to kStrongestLevel), for an input of raw_bytes.
// Depends on nothing else, so that the payload is the same on every machine and thread count.
std::size_t block_bytes_for(Codec codec, int level, std::size_t raw_bytes);

}  // namespace lzcodec
