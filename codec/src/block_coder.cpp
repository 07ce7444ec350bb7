#include "block_coder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace lzcodec {
namespace {

struct Candidate {
  Method method;
  int level;
  std::uint8_t parameter = 0;
};

// At most this many trials per block.
constexpr std::size_t kMaxCandidates = 6;
struct CandidateList {
  std::array<Candidate, kMaxCandidates> items{};
  std::size_t count = 0;
  void add(Candidate candidate) { items[count++] = candidate; }
};

// Order-0 entropy in bits per byte: cheap, and above ~7.9 nothing but an LZ match can shrink it.
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

CandidateList auto_candidates(int level, RawBytes raw) {
  CandidateList list;
  if (level == 0) {
    list.add({Method::kLz4, 0});
    return list;
  }
  if (byte_entropy(raw) >= kIncompressibleEntropy) {
    list.add({Method::kZstd, 0});
    return list;
  }
  const Method lzma = looks_like_x86_code(raw) ? Method::kLzmaX86 : Method::kLzma;
  switch (level) {
    case 1: list.add({Method::kZstd, 0}); break;
    case 2: list.add({Method::kZstd, 2}); break;
    case 3: list.add({Method::kZstd, 4}); break;
    case 4: list.add({Method::kZstd, 5}); list.add({lzma, 2}); break;
    case 5: list.add({Method::kZstd, 6}); list.add({lzma, 4}); break;
    case 6: list.add({lzma, 6}); list.add({Method::kBzip3, 6}); break;
    case 7: list.add({lzma, 7}); list.add({Method::kBzip3, 7}); list.add({Method::kBrotli, 7}); break;
    case 8: list.add({lzma, 8}); list.add({Method::kBzip3, 8}); list.add({Method::kBrotli, 8}); break;
    default:
      list.add({lzma, 9});
      list.add({Method::kBzip3, 9});
      list.add({Method::kBrotli, 9});
      list.add({Method::kZstd, 9});
      break;
  }
  return list;
}

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

Status encode_with(const Candidate& candidate, RawBytes raw, OutBytes coded, std::size_t& written) {
  switch (candidate.method) {
    case Method::kLz4: return lz4_encode(raw, candidate.level, coded, written);
    case Method::kZstd: return zstd_encode(raw, candidate.level, coded, written);
    case Method::kBrotli: return brotli_encode(raw, candidate.level, coded, written);
    case Method::kLzma: return lzma_encode(raw, candidate.level, LzmaFilter::kNone, 0, coded, written);
    case Method::kLzmaX86: return lzma_encode(raw, candidate.level, LzmaFilter::kX86, 0, coded, written);
    case Method::kLzmaDelta:
      return lzma_encode(raw, candidate.level, LzmaFilter::kDelta, candidate.parameter + 1, coded, written);
    case Method::kBzip3: return bzip3_encode(raw, candidate.level, coded, written);
    case Method::kStored: break;
  }
  return Status::kDoesNotFit;
}

}  // namespace

BlockEncoder::BlockEncoder(Codec codec, int level) : codec_(codec), level_(level) {}

void BlockEncoder::reserve(std::size_t bytes) {
  if (bytes <= capacity_) return;
  best_.reset(new std::byte[bytes]);
  trial_.reset(new std::byte[bytes]);
  capacity_ = bytes;
}

EncodedBlock BlockEncoder::encode(RawBytes raw, std::uint64_t raw_offset) {
  EncodedBlock result;
  result.header.raw_size = static_cast<std::uint32_t>(raw.size());
  result.header.checksum = checksum_of(raw.data(), raw.size(), raw_offset);
  result.coded = raw;

  const CandidateList candidates = candidates_for(codec_, level_, raw);
  if (candidates.count == 0 || raw.size() < 2) {
    result.header.coded_size = result.header.raw_size;
    return result;
  }
  // A coded block must be smaller than the raw one; otherwise it is stored.
  reserve(raw.size() - 1);
  std::size_t best_size = raw.size();
  for (std::size_t i = 0; i < candidates.count; ++i) {
    const Candidate& candidate = candidates.items[i];
    std::size_t written = 0;
    const OutBytes room(trial_.get(), best_size - 1);
    if (encode_with(candidate, raw, room, written) != Status::kOk || written >= best_size) continue;
    std::swap(best_, trial_);
    best_size = written;
    result.header.method = candidate.method;
    result.header.parameter = candidate.parameter;
    if (best_size == 1) break;
  }
  if (best_size < raw.size()) result.coded = {best_.get(), best_size};
  result.header.coded_size = static_cast<std::uint32_t>(result.coded.size());
  return result;
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
