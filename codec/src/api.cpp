// The four exported functions: argument checks and the C boundary, which no exception crosses.
#include <cstddef>
#include <cstdint>

#include "codec_table.h"
#include "format.h"
#include "lzcodec.h"
#include "payload.h"

namespace {

constexpr std::int64_t kPayloadSlackBytes = 4095;

bool options_in_range(const LZCodecOptions& options) {
  return options.thread_count >= 0 && options.reserved == 0 &&
         (options.block_size == 0 ||
          (options.block_size >= static_cast<std::int64_t>(lzcodec::kMinBlockBytes) &&
           options.block_size <= static_cast<std::int64_t>(lzcodec::kMaxBlockBytes)));
}

}  // namespace

extern "C" {

LZCODEC_API const char* OodleLZ_Compressor_GetName(int32_t codec) { return lzcodec::codec_name(codec); }

LZCODEC_API const char* OodleLZ_CompressionLevel_GetName(int32_t level) { return lzcodec::level_name(level); }

LZCODEC_API int64_t OodleLZ_Compress(int32_t codec, const void* raw, int64_t raw_length, void* payload,
                                     int32_t level, const LZCodecOptions* options, int64_t /*reserved1*/,
                                     int64_t /*reserved2*/, int64_t /*reserved3*/, int64_t /*reserved4*/) {
  const LZCodecOptions chosen = options != nullptr ? *options : LZCodecOptions{};
  if (codec < 0 || codec >= lzcodec::kCodecCount || level < 0 || raw_length < 0 || payload == nullptr ||
      (raw == nullptr && raw_length > 0) || raw_length > (INT64_MAX - kPayloadSlackBytes) / 2 ||
      !options_in_range(chosen)) {
    return -1;
  }
  try {
    const lzcodec::RawBytes input(static_cast<const std::byte*>(raw), static_cast<std::size_t>(raw_length));
    const auto capacity = static_cast<std::size_t>(2 * raw_length + kPayloadSlackBytes);
    return lzcodec::compress_payload(static_cast<lzcodec::Codec>(codec),
                                     level < lzcodec::kLevelCount ? level : lzcodec::kStrongestLevel, input,
                                     static_cast<std::byte*>(payload), capacity, chosen);
  } catch (...) {
    return -1;
  }
}

LZCODEC_API int64_t OodleLZ_Decompress(const void* payload, int64_t payload_length, void* raw, int64_t raw_length,
                                       int32_t /*reserved1*/, int32_t /*reserved2*/, const LZCodecOptions* options,
                                       int64_t /*reserved3*/, int64_t /*reserved4*/, int64_t /*reserved5*/,
                                       int64_t /*reserved6*/, int64_t /*reserved7*/, int64_t /*reserved8*/,
                                       int32_t /*reserved9*/) {
  const LZCodecOptions chosen = options != nullptr ? *options : LZCodecOptions{};
  if (payload == nullptr || payload_length < 0 || raw_length < 0 || (raw == nullptr && raw_length > 0) ||
      !options_in_range(chosen)) {
    return 0;
  }
  try {
    const lzcodec::RawBytes input(static_cast<const std::byte*>(payload), static_cast<std::size_t>(payload_length));
    const lzcodec::OutBytes output(static_cast<std::byte*>(raw), static_cast<std::size_t>(raw_length));
    return lzcodec::decompress_payload(input, output, chosen) ? raw_length : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
