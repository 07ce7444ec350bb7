// libFuzzer's own mutations, then, most of the time, the lengths mended: each block's coded size
// kept within the input, the last block marked final (it runs to the end), coded blocks kept
// smaller than their raw size, and the claimed raw length set to the sum of the blocks'. A mutated payload then gets
// past the header checks and into a decoder, instead of being refused for a length that no longer
// adds up. Linked into the libFuzzer build of fuzz_decompress only.
#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kPayloadHeaderBytes = 2;
constexpr std::uint8_t kFinalMark = 0x80;
constexpr std::uint8_t kMethodCount = 8;
constexpr std::uint8_t kStored = 0;
constexpr std::uint8_t kDelta = 7;  // the one method with a parameter byte
constexpr std::size_t kSizesBytes = 8;
constexpr std::size_t kChecksumBytes = 4;
constexpr std::uint64_t kMaxRawBytes = 2 * 1024 * 1024;  // as in fuzz_decompress.cpp
constexpr unsigned kRawMutationOneIn = 4;

std::uint32_t load_le32(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
         static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

void store_le32(std::uint8_t* out, std::uint64_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A raw size that the block's coded size can stand for: equal for a stored block, larger for a
// coded one.
std::uint64_t plausible_raw(std::uint8_t method, std::uint64_t raw, std::size_t coded) {
  if (method == kStored) return coded;
  return raw > coded ? raw : coded + 1 + raw % 64;
}

void mend_lengths(std::uint8_t* data, std::size_t size) {
  std::size_t position = kLengthBytes + kPayloadHeaderBytes;
  std::uint64_t raw_total = 0;
  while (position < size) {
    std::uint8_t& kind = data[position];
    const auto method = static_cast<std::uint8_t>((kind & 0x0F) % kMethodCount);
    kind = static_cast<std::uint8_t>(method | (kind & kFinalMark));
    const std::size_t fixed = 1 + (method == kDelta ? 1 : 0);
    const std::size_t left = size - position;
    // A block whose sizes would not fit, or whose coded bytes would run to the end, becomes the
    // final block, which takes whatever follows.
    bool final = (kind & kFinalMark) != 0 || left < fixed + kSizesBytes + kChecksumBytes;
    if (!final) {
      const std::size_t available = left - fixed - kSizesBytes - kChecksumBytes;
      const std::size_t coded = load_le32(&data[position + fixed + 4]);
      if (coded + fixed + kChecksumBytes + 1 > available) {
        final = true;
      } else {
        const std::uint64_t raw = plausible_raw(method, load_le32(&data[position + fixed]), coded);
        store_le32(&data[position + fixed], raw);
        raw_total += raw;
        position += fixed + kSizesBytes + kChecksumBytes + coded;
        continue;
      }
    }
    kind |= kFinalMark;
    if (left < fixed + kChecksumBytes) break;
    const std::size_t coded = left - fixed - kChecksumBytes;
    raw_total += plausible_raw(method, data[position + fixed], coded);
    break;
  }
  if (raw_total <= kMaxRawBytes) store_le32(data, raw_total);
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t max_size,
                                               unsigned int seed) {
  size = LLVMFuzzerMutate(data, size, max_size);
  if (seed % kRawMutationOneIn != 0 && size >= kLengthBytes + kPayloadHeaderBytes) mend_lengths(data, size);
  return size;
}
