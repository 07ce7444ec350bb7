// Whole payloads: blocks coded on several threads and laid out in order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend.h"
#include "codec_table.h"
#include "lzcodec.h"

namespace lzcodec {

// Codes `raw` into `out` (room for `capacity` bytes). Returns the payload's size, or -1 when it
// did not fit or memory ran out.
std::int64_t compress_payload(Codec codec, int level, RawBytes raw, std::byte* out, std::size_t capacity,
                              const LZCodecOptions& options);

// Restores exactly raw.size() bytes from `payload`. False on anything but a whole, intact payload.
bool decompress_payload(RawBytes payload, OutBytes raw, const LZCodecOptions& options);

}  // namespace lzcodec
