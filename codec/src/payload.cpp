#include "payload.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "block_coder.h"
#include "format.h"
#include "scheduler.h"

namespace lzcodec {
namespace {

struct BlockPlacement {
  BlockHeader header;
  std::size_t coded_offset = 0;  // in the payload
  std::size_t raw_offset = 0;
};

// Reads every block header and checks each length against the space it claims, so that nothing
// is decoded, allocated or written for a payload that cannot be whole.
bool plan_blocks(RawBytes payload, std::size_t raw_bytes, std::vector<BlockPlacement>& blocks) {
  if (!has_payload_header(payload.data(), payload.size())) return false;
  std::size_t position = kPayloadHeaderBytes;
  std::size_t raw_offset = 0;
  bool final_seen = false;
  while (position < payload.size()) {
    if (final_seen) return false;
    BlockHeader header;
    const std::size_t header_bytes =
        read_block_header(payload.data() + position, payload.size() - position, raw_bytes - raw_offset, header);
    if (header_bytes == 0) return false;
    position += header_bytes;
    const std::size_t raw_size = header.raw_size;
    const std::size_t coded_size = header.coded_size;
    if (raw_size == 0 || raw_size > kMaxBlockBytes) return false;
    const bool stored = header.method == Method::kStored;
    if (stored ? coded_size != raw_size : (coded_size == 0 || coded_size >= raw_size)) return false;
    blocks.push_back({header, position, raw_offset});
    position += coded_size;
    raw_offset += raw_size;
    final_seen = header.final;
  }
  // An empty raw length has no blocks; any other ends with its final block.
  return raw_offset == raw_bytes && final_seen == (raw_bytes > 0);
}

}  // namespace

std::int64_t compress_payload(Codec codec, int level, RawBytes raw, std::byte* out, std::size_t capacity,
                              const LZCodecOptions& options) {
  if (capacity < kPayloadHeaderBytes) return -1;
  write_payload_header(out);
  const std::size_t block_bytes =
      options.block_size > 0 ? static_cast<std::size_t>(options.block_size) : block_bytes_for(codec, level);
  const std::size_t block_count = (raw.size() + block_bytes - 1) / block_bytes;

  std::atomic<std::size_t> next_block{0};
  std::mutex placing;
  std::condition_variable placed;
  std::size_t next_to_place = 0;
  std::size_t out_position = kPayloadHeaderBytes;
  bool failed = false;

  // Workers take blocks in order and place them in order, so the payload does not depend on
  // which thread coded which block; a worker waits at most for the blocks taken before its own.
  const auto work = [&] {
    try {
      BlockEncoder encoder(codec, level);
      for (std::size_t index = next_block++; index < block_count; index = next_block++) {
        const std::size_t start = index * block_bytes;
        EncodedBlock block = encoder.encode(raw.subspan(start, std::min(block_bytes, raw.size() - start)), start);
        block.header.final = index + 1 == block_count;
        std::byte* destination = nullptr;
        {
          std::unique_lock lock(placing);
          placed.wait(lock, [&] { return next_to_place == index || failed; });
          if (failed) return;
          const std::size_t block_total = block_header_bytes(block.header) + block.coded.size();
          if (block_total > capacity - out_position) {
            failed = true;
            placed.notify_all();
            return;
          }
          destination = out + out_position;
          out_position += block_total;
        }
        // The room is ours alone now, so the copy runs unlocked while the next block is placed.
        const std::size_t header_bytes = write_block_header(block.header, destination);
        std::memcpy(destination + header_bytes, block.coded.data(), block.coded.size());
        {
          const std::lock_guard lock(placing);
          ++next_to_place;
        }
        placed.notify_all();
      }
    } catch (...) {
      const std::lock_guard lock(placing);
      failed = true;
      placed.notify_all();
    }
  };
  run_on_threads(thread_count_for(options.thread_count, block_count), work);
  return failed ? -1 : static_cast<std::int64_t>(out_position);
}

bool decompress_payload(RawBytes payload, OutBytes raw, const LZCodecOptions& options) {
  std::vector<BlockPlacement> blocks;
  if (!plan_blocks(payload, raw.size(), blocks)) return false;

  std::atomic<std::size_t> next_block{0};
  std::atomic<bool> failed{false};
  const auto work = [&] {
    try {
      for (std::size_t index = next_block++; index < blocks.size() && !failed; index = next_block++) {
        const BlockPlacement& block = blocks[index];
        const RawBytes coded = payload.subspan(block.coded_offset, block.header.coded_size);
        const OutBytes destination = raw.subspan(block.raw_offset, block.header.raw_size);
        if (decode_block(block.header, block.raw_offset, coded, destination) != Status::kOk) failed = true;
      }
    } catch (...) {
      failed = true;
    }
  };
  run_on_threads(thread_count_for(options.thread_count, blocks.size()), work);
  return !failed;
}

}  // namespace lzcodec
