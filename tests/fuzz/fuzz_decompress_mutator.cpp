// libFuzzer's own mutations, then, most of the time, the lengths mended: each block's coded size
// kept within the input (the last one running to its end), coded blocks kept smaller than their
// raw size, and the claimed raw length set to the sum of the blocks'. A mutated payload then gets
// past the header checks and into a decoder, instead of being refused for a length that no longer
// adds up. Linked into the libFuzzer build of fuzz_decompress only.
#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kPayloadHeaderBytes = 4;
constexpr std::size_t kBlockHeaderBytes = 18;
constexpr std::uint64_t kMaxRawBytes = 2 * 1024 * 1024;  // as in fuzz_decompress.cpp
constexpr std::uint8_t kStored = 0;
constexpr unsigned kRawMutationOneIn = 4;

std::uint32_t load_le32(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
         static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

void store_le32(std::uint8_t* out, std::uint64_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void mend_lengths(std::uint8_t* data, std::size_t size) {
  std::size_t position = kLengthBytes + kPayloadHeaderBytes;
  std::uint64_t raw_total = 0;
  while (size - position >= kBlockHeaderBytes) {
    std::uint8_t* const header = data + position;
    position += kBlockHeaderBytes;
    const std::size_t available = size - position;
    std::size_t coded = load_le32(header + 6);
    // The last block takes whatever follows: too little for another header cannot stand alone.
    if (coded > available || available - coded < kBlockHeaderBytes) coded = available;
    std::uint64_t raw = load_le32(header + 2);
    if (header[0] == kStored) {
      raw = coded;
    } else if (raw <= coded) {
      raw = coded + 1 + raw % 64;
    }
    store_le32(header + 2, raw);
    store_le32(header + 6, coded);
    raw_total += raw;
    position += coded;
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
