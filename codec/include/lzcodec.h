/* The codec library: compresses a whole buffer into a self-describing payload and restores it.
 *
 * Codecs and levels are chosen by number. Codec names end with "invalid"; level names repeat
 * level 9's name (the very same pointer) for every level above 9. The payload records how each of
 * its blocks was coded, so decompression needs no codec or level. All functions are safe to call
 * from several threads at once; none prints, exits or touches files, and no helper thread outlives
 * a call. */
#ifndef LZCODEC_H
#define LZCODEC_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(LZCODEC_BUILDING)
#    define LZCODEC_API __declspec(dllexport)
#  else
#    define LZCODEC_API __declspec(dllimport)
#  endif
#else
#  define LZCODEC_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Options for library users; a null pointer, or a field of 0, means the default. */
typedef struct LZCodecOptions {
  int32_t thread_count; /* threads to code blocks on; 0: one per available core */
  int32_t reserved;     /* must be 0 */
  int64_t block_size;   /* raw bytes per block, 65,536 to 268,435,456; 0: the level's own */
} LZCodecOptions;

/* Name of codec `codec`: "none", "lz4", "zstd", "brotli", "lzma", "bzip3", "lzma-x86", "auto" for
 * 0 to 7; "invalid" for every other number. The string is static. */
LZCODEC_API const char* OodleLZ_Compressor_GetName(int32_t codec);

/* Name of level `level`, 0 (fastest) to 9 (strongest). Every level above 9 gives level 9's very
 * pointer; a negative level gives "invalid". The string is static. */
LZCODEC_API const char* OodleLZ_CompressionLevel_GetName(int32_t level);

/* Compresses raw_length bytes at `raw` with codec `codec` (0 to 7) at `level` (0 to 9; higher acts
 * as 9) into `payload`, which must hold 2 * raw_length + 4095 bytes: nothing is written beyond
 * that. Returns the count of payload bytes written, or -1 when the codec is unknown, the level or
 * raw_length is negative, the options are out of range, or memory ran out. The same input, codec
 * and level give the same payload whatever the thread count. `options` may be null; the four
 * reserved arguments are ignored. */
LZCODEC_API int64_t OodleLZ_Compress(int32_t codec, const void* raw, int64_t raw_length, void* payload,
                                     int32_t level, const LZCodecOptions* options, int64_t reserved1,
                                     int64_t reserved2, int64_t reserved3, int64_t reserved4);

/* Restores `raw_length` bytes into `raw` from the payload_length bytes at `payload`. Safe with any
 * bytes: every length is checked before use, nothing is read outside the payload nor written
 * outside the raw_length bytes at `raw`, memory is bounded by the block sizes, and every block's
 * checksum is verified. Returns raw_length when the payload was whole and restored exactly that
 * many bytes, and 0 on any failure (the raw area may then hold part of the data). `options` may
 * be null; the other reserved arguments are ignored. */
LZCODEC_API int64_t OodleLZ_Decompress(const void* payload, int64_t payload_length, void* raw,
                                       int64_t raw_length, int32_t reserved1, int32_t reserved2,
                                       const LZCodecOptions* options, int64_t reserved3, int64_t reserved4,
                                       int64_t reserved5, int64_t reserved6, int64_t reserved7,
                                       int64_t reserved8, int32_t reserved9);

#ifdef __cplusplus
}
#endif

#endif /* LZCODEC_H */
