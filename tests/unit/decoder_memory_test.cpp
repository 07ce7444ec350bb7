// The decoders' memory budget at its edge: a block whose brotli window grows past 128 MiB must
// still restore, though the decoder briefly holds its old ring beside the new one. The stream is
// made with libbrotli directly, at a middle quality, since our strongest level would take minutes.
#include <brotli/encode.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "backend.h"

namespace {

struct EncoderDeleter {
  void operator()(BrotliEncoderState* state) const { BrotliEncoderDestroyInstance(state); }
};

std::vector<std::byte> brotli_large_window(const std::vector<std::byte>& raw, std::uint32_t window_bits) {
  const std::unique_ptr<BrotliEncoderState, EncoderDeleter> encoder(BrotliEncoderCreateInstance(nullptr, nullptr, nullptr));
  BrotliEncoderSetParameter(encoder.get(), BROTLI_PARAM_QUALITY, 5);
  BrotliEncoderSetParameter(encoder.get(), BROTLI_PARAM_LARGE_WINDOW, 1);
  BrotliEncoderSetParameter(encoder.get(), BROTLI_PARAM_LGWIN, window_bits);
  std::vector<std::byte> coded(raw.size() / 8 + 65536);
  std::size_t available_in = raw.size();
  const auto* next_in = reinterpret_cast<const std::uint8_t*>(raw.data());
  std::size_t available_out = coded.size();
  auto* next_out = reinterpret_cast<std::uint8_t*>(coded.data());
  while (!BrotliEncoderIsFinished(encoder.get()) && available_out > 0) {
    if (!BrotliEncoderCompressStream(encoder.get(), BROTLI_OPERATION_FINISH, &available_in, &next_in, &available_out,
                                     &next_out, nullptr)) {
      return {};
    }
  }
  if (!BrotliEncoderIsFinished(encoder.get())) return {};
  coded.resize(coded.size() - available_out);
  return coded;
}

TEST(BrotliDecoder, WindowGrowingPast128MiBRestores) {
  constexpr std::size_t kRawBytes = (std::size_t{1} << 27) + (std::size_t{1} << 20);
  std::vector<std::byte> raw(kRawBytes);
  for (std::size_t i = 0; i < raw.size(); i += 4096) raw[i] = static_cast<std::byte>(i >> 12);
  const std::vector<std::byte> coded = brotli_large_window(raw, 28);
  ASSERT_FALSE(coded.empty());

  std::vector<std::byte> restored(kRawBytes);
  ASSERT_EQ(lzcodec::brotli_decode(coded, restored), lzcodec::Status::kOk);
  EXPECT_TRUE(restored == raw);
}

}  // namespace
