// Coding of one block: the candidates a codec and level try on it, one trial of a candidate, and
// restoring a block from its header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "backend.h"
#include "codec_table.h"
#include "format.h"

namespace lzcodec {

// One way to code a block: a method at one of its own levels (0 to 9).
struct Candidate {
  Method method = Method::kStored;
  int level = 0;
  std::uint8_t parameter = 0;
};

inline constexpr std::size_t kMaxCandidates = 6;

struct CandidateList {
  std::array<Candidate, kMaxCandidates> items{};
  std::size_t count = 0;
  void add(Candidate candidate) { items[count++] = candidate; }
};

// The candidates that codec `codec` at `level` tries on the block `raw`: one for a plain codec,
// several for auto, none for storing. The smallest result wins; ties go to the earlier candidate.
CandidateList candidates_for(Codec codec, int level, RawBytes raw);

// A large block with several candidates first runs them all on a sample of itself; only the
// candidates whose sample came close to the best one then code the whole block. The sample is
// slices spread evenly over the block, so that it sees each kind of data the block holds.
bool worth_sampling(const CandidateList& candidates, RawBytes raw);
std::vector<std::byte> take_sample(RawBytes raw);
// `sample_sizes[i]` is what candidate i made of the sample (the sample's own size if it did not
// shrink it). Keeps the order, so that ties still go to the earlier candidate.
CandidateList close_candidates(const CandidateList& candidates,
                               const std::array<std::size_t, kMaxCandidates>& sample_sizes);

// Codes `raw` with `candidate` into `coded`. Returns the bytes written, or 0 when the result did
// not fit (`coded` is one byte smaller than the raw block: a result must shrink it).
std::size_t try_candidate(const Candidate& candidate, RawBytes raw, OutBytes coded);

// Restores one block into `raw` (exactly header.raw_size bytes, at `raw_offset` in the whole raw
// data) from its coded bytes and checks its checksum. kCorrupt for anything that does not restore
// exactly.
Status decode_block(const BlockHeader& header, std::uint64_t raw_offset, RawBytes coded, OutBytes raw);

}  // namespace lzcodec
