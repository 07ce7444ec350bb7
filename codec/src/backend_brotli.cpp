// Brotli streams, with a window sized to the block and brotli's large-window mode at the top.
#include <brotli/decode.h>
#include <brotli/encode.h>

#include <algorithm>
#include <array>
#include <bit>
#include <memory>

#include "backend.h"
#include "budget_allocator.h"

namespace lzcodec {
namespace {

constexpr std::array<int, 10> kQualityForLevel = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11};
constexpr std::array<int, 10> kMaxWindowBitsForLevel = {20, 20, 22, 22, 22, 22, 24, 24, 24, 28};
constexpr int kMinWindowBits = 16;
constexpr int kMaxStandardWindowBits = 24;

struct EncoderDeleter {
  void operator()(BrotliEncoderState* state) const { BrotliEncoderDestroyInstance(state); }
};
struct DecoderDeleter {
  void operator()(BrotliDecoderState* state) const { BrotliDecoderDestroyInstance(state); }
};

int window_bits_for(std::size_t raw_bytes, int level) {
  const int needed = static_cast<int>(std::bit_width(raw_bytes > 1 ? raw_bytes - 1 : 1));
  return std::clamp(needed, kMinWindowBits, kMaxWindowBitsForLevel[static_cast<std::size_t>(level)]);
}

}  // namespace

Status brotli_encode(RawBytes raw, int level, OutBytes coded, std::size_t& written) {
  const std::unique_ptr<BrotliEncoderState, EncoderDeleter> encoder(BrotliEncoderCreateInstance(nullptr, nullptr, nullptr));
  if (!encoder) return Status::kNoMemory;
  BrotliEncoderState* const state = encoder.get();
  const int window_bits = window_bits_for(raw.size(), level);
  BrotliEncoderSetParameter(state, BROTLI_PARAM_QUALITY, static_cast<std::uint32_t>(kQualityForLevel[static_cast<std::size_t>(level)]));
  BrotliEncoderSetParameter(state, BROTLI_PARAM_LARGE_WINDOW, window_bits > kMaxStandardWindowBits ? 1u : 0u);
  BrotliEncoderSetParameter(state, BROTLI_PARAM_LGWIN, static_cast<std::uint32_t>(window_bits));
  BrotliEncoderSetParameter(state, BROTLI_PARAM_SIZE_HINT, static_cast<std::uint32_t>(std::min<std::size_t>(raw.size(), 1u << 30)));

  std::size_t available_in = raw.size();
  const auto* next_in = reinterpret_cast<const std::uint8_t*>(raw.data());
  std::size_t available_out = coded.size();
  auto* next_out = reinterpret_cast<std::uint8_t*>(coded.data());
  while (!BrotliEncoderIsFinished(state)) {
    if (!BrotliEncoderCompressStream(state, BROTLI_OPERATION_FINISH, &available_in, &next_in, &available_out,
                                     &next_out, nullptr)) {
      return Status::kNoMemory;
    }
    if (available_out == 0 && !BrotliEncoderIsFinished(state)) return Status::kDoesNotFit;
  }
  written = coded.size() - available_out;
  return Status::kOk;
}

Status brotli_decode(RawBytes coded, OutBytes raw) {
  BudgetAllocator budget(decoder_memory_budget(raw.size()));
  const std::unique_ptr<BrotliDecoderState, DecoderDeleter> decoder(
      BrotliDecoderCreateInstance(&BudgetAllocator::allocate_for, &BudgetAllocator::release_for, &budget));
  if (!decoder) return Status::kNoMemory;
  BrotliDecoderSetParameter(decoder.get(), BROTLI_DECODER_PARAM_LARGE_WINDOW, 1u);

  std::size_t available_in = coded.size();
  const auto* next_in = reinterpret_cast<const std::uint8_t*>(coded.data());
  std::size_t available_out = raw.size();
  auto* next_out = reinterpret_cast<std::uint8_t*>(raw.data());
  const BrotliDecoderResult result =
      BrotliDecoderDecompressStream(decoder.get(), &available_in, &next_in, &available_out, &next_out, nullptr);
  return result == BROTLI_DECODER_RESULT_SUCCESS && available_in == 0 && available_out == 0 ? Status::kOk
                                                                                            : Status::kCorrupt;
}

}  // namespace lzcodec
