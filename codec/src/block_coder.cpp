#include "block_coder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lzcodec {
namespace {

// Order-0 entropy in bits per byte: cheap, and above ~7.95 only long matches could shrink a block,
// which compressed media does not have.
double byte_entropy(RawBytes raw) {
  std::array<std::size_t, 256> counts{};
  for (const std::byte value : raw) ++counts[static_cast<std::uint8_t>(value)];
  double bits = 0;
  const double total = static_cast<double>(raw.size());
  for (const std::size_t count : counts) {
    if (count == 0) continue;
    const double share = static_cast<double>(count) / total;
    bits -= share * std::log2(share);
  }
  return bits;
}

// x86 code is dense in calls (E8, then a 32-bit displacement); most calls reach code near them,
// so the displacement's high byte is 00 or FF. Text has few E8 bytes, and compressed data has
// them at random, followed by any byte: the second test tells it from code.
bool looks_like_x86_code(RawBytes raw) {
  constexpr std::size_t kDisplacementHigh = 4;
  std::size_t calls = 0;
  for (std::size_t i = 0; i + kDisplacementHigh < raw.size(); ++i) {
    if (raw[i] != std::byte{0xE8}) continue;
    const std::byte high = raw[i + kDisplacementHigh];
    if (high == std::byte{0x00} || high == std::byte{0xFF}) ++calls;
  }
  return calls * 2000 >= raw.size();
}

constexpr double kIncompressibleEntropy = 7.95;

constexpr std::size_t kSampleSlices = 8;
constexpr std::size_t kSliceBytes = std::size_t{256} << 10;
// Below this a block's trials cost little more than its sample's would.
constexpr std::size_t kSampleFromBytes = std::size_t{8} << 20;
// How far behind the best a candidate's sample may be and the candidate still code the block: a
// sample cannot see the block's long-range matches, which favour one coder more than another.
constexpr std::size_t kClosePercent = 2;

// Auto's candidates by level: a ladder from the fastest coders to the strongest, each step a
// coder whose decoding speed fits its ratio (lz4 decodes fastest, then zstd, brotli, lzma, bzip3).
// Level 8 is the strongest without bzip3, whose decoder is ten times slower than lzma's.
CandidateList auto_candidates(int level, RawBytes raw) {
  CandidateList list;
  // The four fastest levels run one fast coder and look at nothing first: detection would cost as
  // much as the coding, and a block that does not shrink is stored anyway.
  switch (level) {
    case 0: list.add({Method::kLz4, 2}); return list;
    case 1: list.add({Method::kLz4, 6}); return list;
    case 2: list.add({Method::kZstd, 0}); return list;
    case 3: list.add({Method::kZstd, 2}); return list;
    default: break;
  }
  if (byte_entropy(raw) >= kIncompressibleEntropy) {
    list.add({Method::kZstd, 0});
    return list;
  }
  const bool code = looks_like_x86_code(raw);
  const Method lzma = code ? Method::kLzmaX86 : Method::kLzma;
  switch (level) {
    case 4: list.add({Method::kBrotli, 4}); break;
    case 5: list.add({Method::kZstd, 8}); break;
    case 6: list.add({lzma, 6}); break;
    case 7: list.add({lzma, 9}); break;
    default:
      list.add({lzma, 9});
      // The E8 count is a guess: where it guessed wrong, plain lzma wins.
      if (code) list.add({Method::kLzma, 9});
      list.add({Method::kBrotli, 9});
      list.add({Method::kZstd, 9});
      if (level >= 9) list.add({Method::kBzip3, 9});
      break;
  }
  return list;
}

}  // namespace

CandidateList candidates_for(Codec codec, int level, RawBytes raw) {
  CandidateList list;
  switch (codec) {
    case Codec::kNone: break;
    case Codec::kLz4: list.add({Method::kLz4, level}); break;
    case Codec::kZstd: list.add({Method::kZstd, level}); break;
    case Codec::kBrotli: list.add({Method::kBrotli, level}); break;
    case Codec::kLzma: list.add({Method::kLzma, level}); break;
    case Codec::kBzip3: list.add({Method::kBzip3, level}); break;
    case Codec::kLzmaX86: list.add({Method::kLzmaX86, level}); break;
    case Codec::kAuto: return auto_candidates(level, raw);
  }
  return list;
}

bool worth_sampling(const CandidateList& candidates, RawBytes raw) {
  return candidates.count > 1 && raw.size() >= kSampleFromBytes;
}

std::vector<std::byte> take_sample(RawBytes raw) {
  std::vector<std::byte> sample;
  sample.reserve(kSampleSlices * kSliceBytes);
  for (std::size_t slice = 0; slice < kSampleSlices; ++slice) {
    const std::size_t offset = slice * (raw.size() - kSliceBytes) / (kSampleSlices - 1);
    const auto start = raw.begin() + static_cast<std::ptrdiff_t>(offset);
    sample.insert(sample.end(), start, start + static_cast<std::ptrdiff_t>(kSliceBytes));
  }
  return sample;
}

CandidateList close_candidates(const CandidateList& candidates,
                               const std::array<std::size_t, kMaxCandidates>& sample_sizes) {
  const auto tried = sample_sizes.begin() + static_cast<std::ptrdiff_t>(candidates.count);
  const std::size_t best = *std::min_element(sample_sizes.begin(), tried);
  CandidateList close;
  for (std::size_t i = 0; i < candidates.count; ++i) {
    if (sample_sizes[i] * 100 <= best * (100 + kClosePercent)) close.add(candidates.items[i]);
  }
  return close;
}

std::size_t try_candidate(const Candidate& candidate, RawBytes raw, OutBytes coded) {
  std::size_t written = 0;
  Status status = Status::kDoesNotFit;
  switch (candidate.method) {
    case Method::kLz4: status = lz4_encode(raw, candidate.level, coded, written); break;
    case Method::kZstd: status = zstd_encode(raw, candidate.level, coded, written); break;
    case Method::kBrotli: status = brotli_encode(raw, candidate.level, coded, written); break;
    case Method::kLzma: status = lzma_encode(raw, candidate.level, LzmaFilter::kNone, 0, coded, written); break;
    case Method::kLzmaX86: status = lzma_encode(raw, candidate.level, LzmaFilter::kX86, 0, coded, written); break;
    case Method::kLzmaDelta:
      status = lzma_encode(raw, candidate.level, LzmaFilter::kDelta, candidate.parameter + 1, coded, written);
      break;
    case Method::kBzip3: status = bzip3_encode(raw, candidate.level, coded, written); break;
    case Method::kStored: break;
  }
  if (status == Status::kNoMemory) throw std::bad_alloc();
  return status == Status::kOk ? written : 0;
}

Status decode_block(const BlockHeader& header, std::uint64_t raw_offset, RawBytes coded, OutBytes raw) {
  Status status = Status::kCorrupt;
  switch (header.method) {
    case Method::kStored:
      if (coded.size() == raw.size()) {
        std::memcpy(raw.data(), coded.data(), raw.size());
        status = Status::kOk;
      }
      break;
    case Method::kLz4: status = lz4_decode(coded, raw); break;
    case Method::kZstd: status = zstd_decode(coded, raw); break;
    case Method::kBrotli: status = brotli_decode(coded, raw); break;
    case Method::kLzma: status = lzma_decode(coded, LzmaFilter::kNone, 0, raw); break;
    case Method::kLzmaX86: status = lzma_decode(coded, LzmaFilter::kX86, 0, raw); break;
    case Method::kLzmaDelta: status = lzma_decode(coded, LzmaFilter::kDelta, header.parameter + 1, raw); break;
    case Method::kBzip3: status = bzip3_decode(coded, raw); break;
  }
  if (status != Status::kOk) return status;
  return checksum_of(raw.data(), raw.size(), raw_offset) == header.checksum ? Status::kOk : Status::kCorrupt;
}

}  // namespace lzcodec
