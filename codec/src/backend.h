// One adapter per coding library, each turning its library's conventions into Status. Every
// encoder writes at most `coded.size()` bytes and reports kDoesNotFit when the result would not
// fit; every decoder must fill `raw` exactly from exactly the `coded` bytes, and reports kCorrupt
// otherwise. Decoders take a memory budget and never allocate beyond it, whatever `coded` claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lzcodec {

enum class Status { kOk, kDoesNotFit, kCorrupt, kNoMemory };

using RawBytes = std::span<const std::byte>;
using OutBytes = std::span<std::byte>;

Status lz4_encode(RawBytes raw, int level, OutBytes coded, std::size_t& written);
Status lz4_decode(RawBytes coded, OutBytes raw);

Status zstd_encode(RawBytes raw, int level, OutBytes coded, std::size_t& written);
Status zstd_decode(RawBytes coded, OutBytes raw);

Status brotli_encode(RawBytes raw, int level, OutBytes coded, std::size_t& written);
Status brotli_decode(RawBytes coded, OutBytes raw);

enum class LzmaFilter : std::uint8_t { kNone, kX86, kDelta };
// `delta_distance` (1 to 256) is used by LzmaFilter::kDelta only.
Status lzma_encode(RawBytes raw, int level, LzmaFilter filter, int delta_distance, OutBytes coded,
                   std::size_t& written);
Status lzma_decode(RawBytes coded, LzmaFilter filter, int delta_distance, OutBytes raw);

Status bzip3_encode(RawBytes raw, int level, OutBytes coded, std::size_t& written);
Status bzip3_decode(RawBytes coded, OutBytes raw);

}  // namespace lzcodec
