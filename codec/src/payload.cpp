#include "payload.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

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

// Faults in the pages of `area` ahead of reading or writing it all: one call in place of a page
// fault every 4 KiB (or every few, reading), which on a mapped file costs as much as the fastest
// coders' work and, from two threads at once, contends in the kernel. A hint: where the kernel
// cannot (an older one, a full disk), the pages fault in as they are used.
#if defined(__linux__) && defined(MADV_POPULATE_READ) && defined(MADV_POPULATE_WRITE)
void populate(const std::byte* data, std::size_t size, int advice) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(page - 1);
  if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, advice);
}
void prepare_for_reading(RawBytes area) { populate(area.data(), area.size(), MADV_POPULATE_READ); }
void prepare_for_writing(OutBytes area) { populate(area.data(), area.size(), MADV_POPULATE_WRITE); }
#else
void prepare_for_reading(RawBytes) {}
void prepare_for_writing(OutBytes) {}
#endif

// One block in flight: its candidates, the trials still running, and the best result so far.
// While `sampling`, the trials code `sample` and only record their sizes.
struct BlockInFlight {
  bool created = false;
  bool set_up = false;
  std::size_t index = 0;
  RawBytes raw;
  std::uint32_t checksum = 0;
  CandidateList candidates;
  std::size_t trials_taken = 0;
  std::size_t trials_left = 0;
  bool sampling = false;
  std::vector<std::byte> sample;
  std::array<std::size_t, kMaxCandidates> sample_sizes{};
  std::unique_ptr<std::byte[]> best;
  std::size_t best_size = 0;  // 0: nothing shrank the block yet
  std::size_t best_trial = 0;
};

// Codes blocks on several threads. A block's trials (one per candidate) are tasks of their own,
// so that even a single block keeps every thread busy when it has several candidates. Blocks are
// placed in order as soon as all their trials are done, and no work starts on a block more than
// kWindowPerThread blocks per thread ahead of the next one to place, which bounds memory.
class BlockCoder {
 public:
  // Places the blocks from `payload_start` in `out`, which holds `capacity` bytes.
  BlockCoder(Codec codec, int level, RawBytes raw, std::size_t block_bytes, std::byte* out, std::size_t payload_start,
             std::size_t capacity, unsigned threads)
      : codec_(codec),
        level_(level),
        raw_(raw),
        block_bytes_(block_bytes),
        block_count_((raw.size() + block_bytes - 1) / block_bytes),
        out_(out),
        capacity_(capacity),
        window_(kWindowPerThread * threads),
        in_flight_(window_),
        out_position_(payload_start) {}

  // Runs tasks until every block is placed or the run failed.
  void work() {
    try {
      while (run_next_task()) {
      }
    } catch (...) {
      fail();
    }
  }

  // The payload's length, or -1 when it did not fit or memory ran out.
  std::int64_t result() const { return failed_ ? -1 : static_cast<std::int64_t>(out_position_); }

 private:
  static constexpr std::size_t kWindowPerThread = 2;

  BlockInFlight& slot(std::size_t index) { return in_flight_[index % window_]; }

  void fail() {
    const std::lock_guard lock(mutex_);
    failed_ = true;
    changed_.notify_all();
  }

  // Takes the earliest work in the window: setting a block up, or one of its trials.
  bool run_next_task() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (failed_ || next_to_place_ >= block_count_) return false;
      const std::size_t window_end = std::min(block_count_, next_to_place_ + window_);
      for (std::size_t index = next_to_place_; index < window_end; ++index) {
        BlockInFlight& block = slot(index);
        if (!block.created) {
          set_up_block(lock, index);
          return true;
        }
        if (block.trials_taken < block.candidates.count) {
          run_trial(lock, block);
          return true;
        }
      }
      changed_.wait(lock);
    }
  }

  void run_trial(std::unique_lock<std::mutex>& lock, BlockInFlight& block) {
    const std::size_t trial = block.trials_taken++;
    const Candidate candidate = block.candidates.items[trial];
    const bool sampling = block.sampling;
    const RawBytes input = sampling ? RawBytes(block.sample) : block.raw;
    const std::size_t index = block.index;
    lock.unlock();

    std::unique_ptr<std::byte[]> coded(new std::byte[input.size() - 1]);
    const std::size_t written = try_candidate(candidate, input, OutBytes(coded.get(), input.size() - 1));

    lock.lock();
    BlockInFlight& done = slot(index);
    if (sampling) {
      done.sample_sizes[trial] = written > 0 ? written : input.size();
      if (--done.trials_left == 0) finish_sampling(done);
      changed_.notify_all();
      return;
    }
    if (written > 0 && (done.best_size == 0 || written < done.best_size ||
                        (written == done.best_size && trial < done.best_trial))) {
      done.best = std::move(coded);
      done.best_size = written;
      done.best_trial = trial;
    }
    --done.trials_left;
    place_ready_blocks();
  }

  // The sample has spoken: the close candidates code the whole block.
  void finish_sampling(BlockInFlight& block) {
    block.candidates = close_candidates(block.candidates, block.sample_sizes);
    block.sampling = false;
    block.sample = {};
    block.trials_taken = 0;
    block.trials_left = block.candidates.count;
  }

  // Finds the block's checksum and candidates (which may look at its bytes) with the lock
  // released, so that other threads go on with other blocks.
  void set_up_block(std::unique_lock<std::mutex>& lock, std::size_t index) {
    BlockInFlight& block = slot(index);
    block.created = true;
    block.index = index;
    const std::size_t start = index * block_bytes_;
    const RawBytes raw = raw_.subspan(start, std::min(block_bytes_, raw_.size() - start));
    lock.unlock();
    prepare_for_reading(raw);
    const std::uint32_t checksum = checksum_of(raw.data(), raw.size(), start);
    // A block of one byte cannot shrink; storing it is the only choice.
    const CandidateList candidates = raw.size() < 2 ? CandidateList{} : candidates_for(codec_, level_, raw);
    const bool sampling = worth_sampling(candidates, raw);
    std::vector<std::byte> sample = sampling ? take_sample(raw) : std::vector<std::byte>{};
    lock.lock();
    block.raw = raw;
    block.checksum = checksum;
    block.candidates = candidates;
    block.trials_left = candidates.count;
    block.sampling = sampling;
    block.sample = std::move(sample);
    block.set_up = true;
    if (candidates.count == 0) place_ready_blocks();
    changed_.notify_all();
  }

  // Writes out, in order, every finished block from the next one to place on. Called locked.
  void place_ready_blocks() {
    while (!failed_ && next_to_place_ < block_count_) {
      BlockInFlight& block = slot(next_to_place_);
      if (!block.set_up || block.sampling || block.trials_left > 0 ||
          block.trials_taken < block.candidates.count) {
        break;
      }
      BlockHeader header;
      header.raw_size = static_cast<std::uint32_t>(block.raw.size());
      header.checksum = block.checksum;
      header.final = next_to_place_ + 1 == block_count_;
      const bool coded = block.best_size > 0;
      const std::byte* data = coded ? block.best.get() : block.raw.data();
      const std::size_t data_size = coded ? block.best_size : block.raw.size();
      header.coded_size = static_cast<std::uint32_t>(data_size);
      if (coded) {
        header.method = block.candidates.items[block.best_trial].method;
        header.parameter = block.candidates.items[block.best_trial].parameter;
      }
      if (block_header_bytes(header) + data_size > capacity_ - out_position_) {
        failed_ = true;
        break;
      }
      prepare_for_writing(OutBytes(out_ + out_position_, block_header_bytes(header) + data_size));
      out_position_ += write_block_header(header, out_ + out_position_);
      std::memcpy(out_ + out_position_, data, data_size);
      out_position_ += data_size;
      block = BlockInFlight{};
      ++next_to_place_;
    }
    changed_.notify_all();
  }

  const Codec codec_;
  const int level_;
  const RawBytes raw_;
  const std::size_t block_bytes_;
  const std::size_t block_count_;
  std::byte* const out_;
  const std::size_t capacity_;
  const std::size_t window_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<BlockInFlight> in_flight_;
  std::size_t out_position_;
  std::size_t next_to_place_ = 0;
  bool failed_ = false;
};

}  // namespace

std::int64_t compress_payload(Codec codec, int level, RawBytes raw, std::byte* out, std::size_t capacity,
                              const LZCodecOptions& options) {
  if (capacity < kPayloadHeaderBytes) return -1;
  write_payload_header(out);
  const std::size_t block_bytes =
      options.block_size > 0 ? static_cast<std::size_t>(options.block_size) : block_bytes_for(codec, level, raw.size());
  const std::size_t block_count = (raw.size() + block_bytes - 1) / block_bytes;
  // Auto tries several candidates per block, each a task of its own.
  const std::size_t tasks = block_count * (codec == Codec::kAuto ? kMaxCandidates : 1);
  const unsigned threads = thread_count_for(options.thread_count, tasks);
  BlockCoder coder(codec, level, raw, block_bytes, out, kPayloadHeaderBytes, capacity, threads);
  run_on_threads(threads, [&coder] { coder.work(); });
  return coder.result();
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
        prepare_for_reading(coded);
        prepare_for_writing(destination);
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
