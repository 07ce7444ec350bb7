// Hostile payloads: whatever the bytes, decompression either restores exactly the claimed length
// or fails with 0, without touching memory outside its buffers. The output buffer is exactly the
// claimed length, so AddressSanitizer catches a write one byte past it.
//
// Input: the claimed raw length (4 bytes, little-endian, reduced to at most kMaxRawBytes), then
// the payload.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "lzcodec.h"

namespace {

// Large enough for many blocks of the smallest size, small enough to keep runs quick and to make
// an allocation far beyond what such blocks justify stand out (see FUZZ_MALLOC_MB in the Makefile).
constexpr std::uint32_t kMaxRawBytes = 2 * 1024 * 1024;
constexpr std::size_t kLengthBytes = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kLengthBytes) return 0;
  std::uint32_t claimed = 0;
  for (std::size_t i = 0; i < kLengthBytes; ++i) claimed |= static_cast<std::uint32_t>(data[i]) << (8 * i);
  const std::int64_t raw_length = claimed % (kMaxRawBytes + 1);

  const auto raw = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(raw_length));
  // One thread: the same input then takes the same path every time.
  const LZCodecOptions options{1, 0, 0};
  const std::int64_t result = OodleLZ_Decompress(data + kLengthBytes, static_cast<std::int64_t>(size - kLengthBytes),
                                                 raw.get(), raw_length, 0, 0, &options, 0, 0, 0, 0, 0, 0, 0);
  if (result != 0 && result != raw_length) {
    std::fprintf(stderr, "decompress returned %lld for a raw length of %lld\n", static_cast<long long>(result),
                 static_cast<long long>(raw_length));
    std::abort();
  }
  return 0;
}
