// Auto's choices: the coder its look at a block picks, the bytes a large block's sample holds and
// the candidates the sample keeps, and that a sampled payload is the same on every thread count
// and restores exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "block_coder.h"
#include "lzcodec.h"
#include "support/test_data.h"

namespace {

using lzcodec::Candidate;
using lzcodec::CandidateList;
using lzcodec::Method;
using lzpack::test::DataKind;
using lzpack::test::make_data;
using Bytes = std::vector<std::byte>;

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kSlice = 256 << 10;

CandidateList three_candidates() {
  CandidateList list;
  list.add({Method::kLzma, 9});
  list.add({Method::kBrotli, 9});
  list.add({Method::kZstd, 9});
  return list;
}

// Text with a call opcode every `stride` bytes, each followed by three bytes of text and then
// `high`, the byte that would be a displacement's top.
Bytes text_with_calls(std::size_t stride, std::byte high) {
  Bytes block = make_data(DataKind::kText, 1 << 20, 5);
  for (std::size_t i = 0; i + 5 <= block.size(); i += stride) {
    block[i] = std::byte{0xE8};
    block[i + 4] = high;
  }
  return block;
}

TEST(AutoLook, CallsToNearTargetsMeanX86Code) {
  struct Case {
    std::size_t stride;
    std::byte high;
    Method expected;
  };
  const Case cases[] = {
      {1000, std::byte{0x00}, Method::kLzmaX86},
      {1000, std::byte{0xFF}, Method::kLzmaX86},
      {3000, std::byte{0x00}, Method::kLzma},  // too few calls
      {1000, std::byte{0x65}, Method::kLzma},  // an E8 byte in text, not a call
  };
  for (const Case& test : cases) {
    const CandidateList list = lzcodec::candidates_for(lzcodec::Codec::kAuto, 6, text_with_calls(test.stride, test.high));
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(list.items[0].method, test.expected) << test.stride << " " << static_cast<int>(test.high);
  }
}

TEST(Sampling, OnlyLargeBlocksWithAChoiceAreSampled) {
  const Bytes large(8 * kMiB);
  const Bytes smaller(8 * kMiB - 1);
  CandidateList one;
  one.add({Method::kLzma, 9});
  EXPECT_TRUE(lzcodec::worth_sampling(three_candidates(), large));
  EXPECT_FALSE(lzcodec::worth_sampling(three_candidates(), smaller));
  EXPECT_FALSE(lzcodec::worth_sampling(one, large));
}

TEST(Sampling, SliceSpreadFromFirstToLastByte) {
  Bytes raw(9 * kMiB + 12345);
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::byte>((i * 2654435761u) >> 13);
  const Bytes sample = lzcodec::take_sample(raw);
  ASSERT_EQ(sample.size(), 8 * kSlice);
  for (std::size_t slice = 0; slice < 8; ++slice) {
    const std::size_t offset = slice * (raw.size() - kSlice) / 7;
    EXPECT_EQ(std::memcmp(sample.data() + slice * kSlice, raw.data() + offset, kSlice), 0) << slice;
  }
}

TEST(Sampling, KeepsCandidatesWithinTwoPercentInOrder) {
  struct Case {
    std::array<std::size_t, lzcodec::kMaxCandidates> sizes;
    std::vector<Method> kept;
  };
  const Case cases[] = {
      {{1000, 1020, 1021}, {Method::kLzma, Method::kBrotli}},
      {{1021, 1000, 1020}, {Method::kBrotli, Method::kZstd}},
      {{900, 1000, 800}, {Method::kZstd}},
      {{500, 500, 500}, {Method::kLzma, Method::kBrotli, Method::kZstd}},
  };
  for (const Case& test : cases) {
    const CandidateList kept = lzcodec::close_candidates(three_candidates(), test.sizes);
    std::vector<Method> methods;
    for (std::size_t i = 0; i < kept.count; ++i) methods.push_back(kept.items[i].method);
    EXPECT_EQ(methods, test.kept) << test.sizes[0] << " " << test.sizes[1] << " " << test.sizes[2];
  }
}

TEST(Sampling, SampledPayloadIsSameOnEveryThreadCountAndRestores) {
  // Two sampled blocks of mostly zeros and text, cheap for every strong coder.
  Bytes raw = make_data(DataKind::kZeros, 17 * kMiB);
  const Bytes text = make_data(DataKind::kText, kSlice, 3);
  std::memcpy(raw.data() + 3 * kMiB, text.data(), text.size());
  std::memcpy(raw.data() + 12 * kMiB, text.data(), text.size());
  Bytes reference;
  for (const int threads : {1, 2, 3}) {
    const LZCodecOptions options{threads, 0, static_cast<std::int32_t>(9 * kMiB)};
    Bytes payload(raw.size() + 4096);
    const std::int64_t written = OodleLZ_Compress(7, raw.data(), static_cast<std::int64_t>(raw.size()), payload.data(),
                                                  8, &options, 0, 0, 0, 0);
    ASSERT_GT(written, 0);
    payload.resize(static_cast<std::size_t>(written));
    if (reference.empty()) reference = payload;
    EXPECT_TRUE(payload == reference) << threads << " threads";
  }
  Bytes restored(raw.size());
  EXPECT_EQ(OodleLZ_Decompress(reference.data(), static_cast<std::int64_t>(reference.size()), restored.data(),
                               static_cast<std::int64_t>(restored.size()), 0, 0, nullptr, 0, 0, 0, 0, 0, 1, 0),
            static_cast<std::int64_t>(raw.size()));
  EXPECT_TRUE(restored == raw);
}

}  // namespace
