// The codec library's contracts: names, argument checks, round trips with buffers that end at an
// unreadable page, determinism across thread counts, overhead, and a table of damaged payloads.
#include "lzcodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "support/guarded_buffer.h"
#include "support/test_data.h"

namespace {

using lzpack::test::DataKind;
using lzpack::test::GuardedBuffer;
using lzpack::test::make_data;
using Bytes = std::vector<std::byte>;

constexpr int kCodecCount = 8;
constexpr std::int64_t kSlack = 4095;

Bytes compress(int codec, int level, const Bytes& raw, const LZCodecOptions* options = nullptr) {
  Bytes payload(2 * raw.size() + kSlack);
  const std::int64_t written =
      OodleLZ_Compress(codec, raw.data(), static_cast<std::int64_t>(raw.size()), payload.data(), level, options, 0, 0, 0, 0);
  if (written < 0) return {};
  payload.resize(static_cast<std::size_t>(written));
  return payload;
}

std::int64_t decompress(const Bytes& payload, std::byte* raw, std::int64_t raw_length) {
  return OodleLZ_Decompress(payload.data(), static_cast<std::int64_t>(payload.size()), raw, raw_length, 0, 0, nullptr,
                            0, 0, 0, 0, 0, 1, 0);
}

// Decompresses into a buffer of exactly raw_length bytes followed by a guard page.
std::int64_t decompress_guarded(const Bytes& payload, std::int64_t raw_length, Bytes* restored = nullptr) {
  GuardedBuffer input(payload.size());
  input.fill(payload.data(), payload.size());
  GuardedBuffer output(static_cast<std::size_t>(std::max<std::int64_t>(raw_length, 0)));
  const std::int64_t result = OodleLZ_Decompress(input.data(), static_cast<std::int64_t>(payload.size()), output.data(),
                                                 raw_length, 0, 0, nullptr, 0, 0, 0, 0, 0, 1, 0);
  if (restored != nullptr) restored->assign(output.data(), output.data() + output.size());
  return result;
}

TEST(Names, CodecsEndWithInvalid) {
  const char* const expected[] = {"none", "lz4", "zstd", "brotli", "lzma", "bzip3", "lzma-x86", "auto"};
  for (int codec = 0; codec < kCodecCount; ++codec) EXPECT_STREQ(OodleLZ_Compressor_GetName(codec), expected[codec]);
  for (const int codec : {kCodecCount, 100, -1, INT32_MIN, INT32_MAX}) {
    EXPECT_STREQ(OodleLZ_Compressor_GetName(codec), "invalid") << codec;
  }
}

TEST(Names, LevelsAboveNineRepeatLevelNinesPointer) {
  for (int level = 1; level <= 9; ++level) {
    EXPECT_NE(OodleLZ_CompressionLevel_GetName(level), OodleLZ_CompressionLevel_GetName(level - 1));
  }
  const char* strongest = OodleLZ_CompressionLevel_GetName(9);
  for (const int level : {10, 11, 1000, INT32_MAX}) EXPECT_EQ(OodleLZ_CompressionLevel_GetName(level), strongest);
  EXPECT_STREQ(OodleLZ_CompressionLevel_GetName(-1), "invalid");
}

TEST(Compress, RefusesBadArguments) {
  const Bytes raw = make_data(DataKind::kText, 1000);
  Bytes payload(2 * raw.size() + kSlack);
  const auto run = [&](int codec, int level, std::int64_t length, const LZCodecOptions* options = nullptr) {
    return OodleLZ_Compress(codec, raw.data(), length, payload.data(), level, options, 0, 0, 0, 0);
  };
  EXPECT_EQ(run(kCodecCount, 9, 1000), -1);
  EXPECT_EQ(run(-1, 9, 1000), -1);
  EXPECT_EQ(run(2, -1, 1000), -1);
  EXPECT_EQ(run(2, INT32_MIN, 1000), -1);
  EXPECT_EQ(run(2, 5, -1), -1);
  const LZCodecOptions too_small_blocks{0, 0, 4096};
  EXPECT_EQ(run(2, 5, 1000, &too_small_blocks), -1);
  const LZCodecOptions negative_threads{-2, 0, 0};
  EXPECT_EQ(run(2, 5, 1000, &negative_threads), -1);
}

TEST(Compress, LevelsAboveNineActAsNine) {
  const Bytes raw = make_data(DataKind::kText, 20000);
  EXPECT_EQ(compress(2, 10, raw), compress(2, 9, raw));
  EXPECT_EQ(compress(7, INT32_MAX, raw), compress(7, 9, raw));
}

using RoundTripCase = std::tuple<int /*codec*/, int /*level*/, DataKind, std::size_t /*bytes*/>;
class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, RestoresExactlyWithinOfferedArea) {
  const auto [codec, level, kind, bytes] = GetParam();
  const Bytes raw = make_data(kind, bytes, static_cast<std::uint32_t>(bytes));
  GuardedBuffer input(raw.size());
  input.fill(raw.data(), raw.size());
  GuardedBuffer area(2 * raw.size() + kSlack);
  const std::int64_t written = OodleLZ_Compress(codec, input.data(), static_cast<std::int64_t>(raw.size()), area.data(),
                                                level, nullptr, 0, 0, 0, 0);
  ASSERT_GT(written, 0);
  ASSERT_LE(written, static_cast<std::int64_t>(raw.size()) + 64) << "a block that does not shrink is stored";
  const Bytes payload(area.data(), area.data() + written);

  Bytes restored;
  ASSERT_EQ(decompress_guarded(payload, static_cast<std::int64_t>(raw.size()), &restored),
            static_cast<std::int64_t>(raw.size()));
  EXPECT_TRUE(restored == raw);
}

std::string round_trip_name(const ::testing::TestParamInfo<RoundTripCase>& info) {
  const auto [codec, level, kind, bytes] = info.param;
  std::string name = std::string(OodleLZ_Compressor_GetName(codec)) + "_level" + std::to_string(level) + "_" +
                     lzpack::test::name_of(kind) + "_" + std::to_string(bytes);
  for (char& c : name) c = (c == '-') ? '_' : c;
  return name;
}

// Sizes around a page and one over the smallest block size, across every codec at its lowest,
// middle and highest level.
INSTANTIATE_TEST_SUITE_P(Codecs, RoundTrip,
                         ::testing::Combine(::testing::Range(0, kCodecCount), ::testing::Values(0, 5, 9),
                                            ::testing::Values(DataKind::kText, DataKind::kRandom, DataKind::kZeros),
                                            ::testing::Values(std::size_t{1}, std::size_t{4095}, std::size_t{4097},
                                                              std::size_t{70000})),
                         round_trip_name);

// Every level of every codec, once, on data that all of them shrink.
INSTANTIATE_TEST_SUITE_P(AllLevels, RoundTrip,
                         ::testing::Combine(::testing::Range(0, kCodecCount), ::testing::Range(0, 10),
                                            ::testing::Values(DataKind::kMixed), ::testing::Values(std::size_t{300000})),
                         round_trip_name);

TEST(Payload, SameBytesOnEveryThreadCount) {
  // Auto at level 8 runs several trials per block, on as many threads as there are.
  const Bytes raw = make_data(DataKind::kMixed, 300000, 7);
  for (const auto& [codec, level] : {std::pair{2, 3}, std::pair{7, 8}}) {
    LZCodecOptions one_thread{1, 0, 65536};
    const Bytes reference = compress(codec, level, raw, &one_thread);
    ASSERT_FALSE(reference.empty());
    for (const int threads : {2, 3, 8}) {
      LZCodecOptions options{threads, 0, 65536};
      EXPECT_TRUE(compress(codec, level, raw, &options) == reference) << "codec " << codec << ", " << threads << " threads";
    }
    Bytes restored(raw.size());
    for (const int threads : {1, 3}) {
      LZCodecOptions options{threads, 0, 0};
      EXPECT_EQ(OodleLZ_Decompress(reference.data(), static_cast<std::int64_t>(reference.size()), restored.data(),
                                   static_cast<std::int64_t>(restored.size()), 0, 0, &options, 0, 0, 0, 0, 0, 1, 0),
                static_cast<std::int64_t>(raw.size()));
      EXPECT_TRUE(restored == raw);
    }
  }
}

TEST(Payload, BlockSizeOptionIsHonoured) {
  // Stored blocks show the layout: four full blocks with 13-byte headers, a final one with 5.
  const Bytes raw = make_data(DataKind::kRandom, 300000);
  const LZCodecOptions options{2, 0, 65536};
  EXPECT_EQ(compress(0, 0, raw, &options).size(), 2 + 4 * (13 + 65536) + (5 + 300000 - 4 * 65536));
}

TEST(Payload, OverheadIsSmall) {
  for (int codec = 0; codec < kCodecCount; ++codec) {
    EXPECT_LE(compress(codec, 9, make_data(DataKind::kRandom, 1)).size(), 8u) << codec;
    const Bytes random = make_data(DataKind::kRandom, 1 << 20);
    EXPECT_LE(compress(codec, 5, random).size(), random.size() + random.size() / 1000) << codec;
  }
}

TEST(Payload, EmptyInputRoundTrips) {
  // 0 is both the restored length and the failure result here, so the payload's layout is what
  // shows it is right: the format header alone.
  const Bytes payload = compress(7, 9, Bytes());
  ASSERT_EQ(payload.size(), 2u);
  EXPECT_EQ(decompress(payload, nullptr, 0), 0);
}

// A valid payload of three zstd blocks (64 KiB, 64 KiB, the rest), and ways to damage it. The
// first two blocks have 13-byte headers (kind, raw size, coded size, checksum); the final one has
// 5 (kind, checksum).
class DamagedPayload : public ::testing::Test {
 protected:
  static constexpr std::size_t kRawBytes = 150000;
  static constexpr std::size_t kFirstBlock = 2;
  static constexpr std::size_t kBlockHeader = 13;

  void SetUp() override {
    raw_ = make_data(DataKind::kText, kRawBytes);
    const LZCodecOptions options{1, 0, 65536};
    payload_ = compress(2, 3, raw_, &options);
    ASSERT_FALSE(payload_.empty());
    ASSERT_EQ(decompress_guarded(payload_, kRawBytes), static_cast<std::int64_t>(kRawBytes));
  }

  std::size_t next_block(std::size_t block) const {
    std::size_t coded_size = 0;
    for (std::size_t i = 0; i < 4; ++i) coded_size |= static_cast<std::size_t>(payload_[block + 5 + i]) << (8 * i);
    return block + kBlockHeader + coded_size;
  }

  Bytes raw_;
  Bytes payload_;
};

TEST_F(DamagedPayload, EveryDamageFailsWithZero) {
  struct Damage {
    const char* what;
    std::function<void(Bytes&)> apply;
    std::int64_t raw_length_change = 0;
  };
  const std::size_t second_block = next_block(kFirstBlock);
  const std::size_t final_block = next_block(second_block);
  const std::vector<Damage> damages = {
      {"empty payload", [](Bytes& p) { p.clear(); }},
      {"format header only", [](Bytes& p) { p.resize(2); }},
      {"wrong tag", [](Bytes& p) { p[0] = std::byte{'X'}; }},
      {"unknown version", [](Bytes& p) { p[1] = std::byte{2}; }},
      {"cut by one byte", [](Bytes& p) { p.pop_back(); }},
      {"cut in half", [](Bytes& p) { p.resize(p.size() / 2); }},
      {"cut inside a block header", [&](Bytes& p) { p.resize(second_block + 5); }},
      {"cut before the final block", [&](Bytes& p) { p.resize(final_block); }},
      {"trailing byte", [](Bytes& p) { p.push_back(std::byte{0}); }},
      {"trailing block header", [](Bytes& p) { p.insert(p.end(), kBlockHeader, std::byte{0}); }},
      {"flipped bit in coded bytes", [](Bytes& p) { p[kFirstBlock + kBlockHeader + 40] ^= std::byte{0x10}; }},
      {"flipped bit in final block", [](Bytes& p) { p[p.size() - 3] ^= std::byte{0x01}; }},
      {"flipped checksum", [](Bytes& p) { p[kFirstBlock + 9] ^= std::byte{0x01}; }},
      {"flipped final checksum", [&](Bytes& p) { p[final_block + 1] ^= std::byte{0x01}; }},
      {"unknown method", [](Bytes& p) { p[kFirstBlock] = std::byte{0x0E}; }},
      {"reserved kind bit", [](Bytes& p) { p[kFirstBlock] |= std::byte{0x40}; }},
      {"first block marked final", [](Bytes& p) { p[kFirstBlock] |= std::byte{0x80}; }},
      {"final block not marked final", [&](Bytes& p) { p[final_block] &= std::byte{0x7F}; }},
      {"marked stored though coded", [](Bytes& p) { p[kFirstBlock] = std::byte{0}; }},
      {"other method", [](Bytes& p) { p[kFirstBlock] = std::byte{1}; }},
      {"raw size one larger", [](Bytes& p) { p[kFirstBlock + 1] ^= std::byte{0x01}; }},
      {"raw size zero", [](Bytes& p) { std::memset(&p[kFirstBlock + 1], 0, 4); }},
      {"raw size huge", [](Bytes& p) { std::memset(&p[kFirstBlock + 1], 0xFF, 4); }},
      {"coded size huge", [](Bytes& p) { std::memset(&p[kFirstBlock + 5], 0xFF, 4); }},
      {"coded size one smaller",
       [](Bytes& p) { p[kFirstBlock + 5] = static_cast<std::byte>(static_cast<std::uint8_t>(p[kFirstBlock + 5]) - 1); }},
      {"blocks swapped", [&](Bytes& p) {
         Bytes swapped(p.begin(), p.begin() + kFirstBlock);
         swapped.insert(swapped.end(), p.begin() + static_cast<std::ptrdiff_t>(second_block),
                        p.begin() + static_cast<std::ptrdiff_t>(final_block));
         swapped.insert(swapped.end(), p.begin() + kFirstBlock, p.begin() + static_cast<std::ptrdiff_t>(second_block));
         swapped.insert(swapped.end(), p.begin() + static_cast<std::ptrdiff_t>(final_block), p.end());
         p = swapped;
       }},
      {"raw length one larger", [](Bytes&) {}, 1},
      {"raw length one smaller", [](Bytes&) {}, -1},
      {"raw length zero", [](Bytes&) {}, -static_cast<std::int64_t>(kRawBytes)},
  };
  for (const Damage& damage : damages) {
    Bytes payload = payload_;
    damage.apply(payload);
    EXPECT_EQ(decompress_guarded(payload, static_cast<std::int64_t>(kRawBytes) + damage.raw_length_change), 0)
        << damage.what;
  }
}

TEST_F(DamagedPayload, TerabyteClaimFailsAtOnce) {
  // The output area is never touched when the blocks cannot add up to the claimed length.
  EXPECT_EQ(decompress(payload_, reinterpret_cast<std::byte*>(16), std::int64_t{1} << 40), 0);
  EXPECT_EQ(decompress(payload_, raw_.data(), -1), 0);
}

// Each codec's own bytes damaged: its decoder or the checksum must catch it.
class DamagedCodedBytes : public ::testing::TestWithParam<int> {};

TEST_P(DamagedCodedBytes, FailWithZero) {
  const Bytes raw = make_data(DataKind::kText, 50000, 3);
  const Bytes payload = compress(GetParam(), 5, raw);
  ASSERT_FALSE(payload.empty());
  for (std::size_t offset = 2 + 5; offset < payload.size(); offset += payload.size() / 37 + 1) {
    for (const std::byte flip : {std::byte{0x01}, std::byte{0x80}, std::byte{0xFF}}) {
      Bytes damaged = payload;
      damaged[offset] ^= flip;
      EXPECT_EQ(decompress_guarded(damaged, static_cast<std::int64_t>(raw.size())), 0) << "offset " << offset;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, DamagedCodedBytes, ::testing::Range(0, kCodecCount));

}  // namespace
