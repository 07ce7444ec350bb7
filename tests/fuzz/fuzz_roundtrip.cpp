// Any bytes, with any codec, level, block size and thread count: compression writes no more than
// the 2 * n + 4095 bytes it is offered, and its payload restores exactly the input. The checks
// abort, so they hold in release builds as they do under the fuzzer.
//
// Input: codec, level and options (one byte each), then the data to compress.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "lzcodec.h"

namespace {

constexpr std::size_t kHeaderBytes = 3;
constexpr std::int32_t kCodecCount = 8;
constexpr std::int32_t kLevelChoices = 12;  // 10 and 11 must act as 9
constexpr std::int64_t kSlackBytes = 4095;
constexpr std::int64_t kBlockUnit = 64 * 1024;

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "round trip: %s\n", what);
  std::abort();
}

// Low two bits: threads (0 is one per core). The other six: block size in 64 KiB units (0 is the
// level's own), so that inputs past 64 KiB are split into several blocks.
LZCodecOptions options_from(std::uint8_t choice) {
  return LZCodecOptions{choice & 3, 0, (choice >> 2) * kBlockUnit};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderBytes) return 0;
  const std::int32_t codec = data[0] % kCodecCount;
  const std::int32_t level = data[1] % kLevelChoices;
  const LZCodecOptions options = options_from(data[2]);
  const std::uint8_t* const raw = data + kHeaderBytes;
  const auto raw_length = static_cast<std::int64_t>(size - kHeaderBytes);

  const std::int64_t capacity = 2 * raw_length + kSlackBytes;
  const auto payload = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(capacity));
  const std::int64_t written =
      OodleLZ_Compress(codec, raw, raw_length, payload.get(), level, &options, 0, 0, 0, 0);
  require(written >= 4, "compression failed");
  require(written <= capacity, "compression claims more than the area it was offered");

  const auto restored = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(raw_length));
  const std::int64_t result = OodleLZ_Decompress(payload.get(), written, restored.get(), raw_length, 0, 0, &options,
                                                 0, 0, 0, 0, 0, 0, 0);
  require(result == raw_length, "decompression failed");
  require(std::memcmp(restored.get(), raw, static_cast<std::size_t>(raw_length)) == 0, "restored bytes differ");
  return 0;
}
