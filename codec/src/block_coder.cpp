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

// x86 code is dense in E8 (call rel32) opcodes; text and tables rarely are.
bool looks_like_x86_code(RawBytes raw) {
  const auto calls = static_cast<std::size_t>(std::count(raw.begin(), raw.end(), std::byte{0xE8}));
  return calls * 200 >= raw.size();
}

constexpr double kIncompressibleEntropy = 7.95;

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
