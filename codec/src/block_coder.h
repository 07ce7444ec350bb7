// Coding of one block: choosing its method (for auto, by trial among the level's candidates),
// falling back to storing it when nothing shrinks it, and restoring it from its header.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "backend.h"
#include "codec_table.h"
#include "format.h"

namespace lzcodec {

struct EncodedBlock {
  BlockHeader header;
  std::span<const std::byte> coded;  // valid until the encoder's next call
};

// One per worker thread: holds the scratch space its trials need, sized to the largest block.
class BlockEncoder {
 public:
  BlockEncoder(Codec codec, int level);
  // `raw_offset` is where the block starts in the whole raw data.
  EncodedBlock encode(RawBytes raw, std::uint64_t raw_offset);

 private:
  void reserve(std::size_t bytes);

  Codec codec_;
  int level_;
  std::size_t capacity_ = 0;
  std::unique_ptr<std::byte[]> best_;
  std::unique_ptr<std::byte[]> trial_;
};

// Restores one block into `raw` (exactly header.raw_size bytes, at `raw_offset` in the whole raw
// data) from its coded bytes and checks its checksum. kCorrupt for anything that does not restore exactly.
Status decode_block(const BlockHeader& header, std::uint64_t raw_offset, RawBytes coded, OutBytes raw);

}  // namespace lzcodec
