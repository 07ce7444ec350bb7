// Zstandard frames without checksum (the block format has its own), with long-distance matching
// at the top level.
#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_createDCtx_advanced, to give the decoder a memory budget
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <array>
#include <bit>
#include <memory>

#include "backend.h"
#include "budget_allocator.h"

namespace lzcodec {
namespace {

constexpr std::array<int, 10> kZstdLevelForLevel = {1, 2, 3, 5, 7, 9, 12, 16, 19, 22};
constexpr int kLongMatchingFromLevel = 9;
constexpr int kMinWindowLog = 10;
constexpr int kMaxWindowLog = 30;

struct CctxDeleter {
  void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};
struct DctxDeleter {
  void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

int window_log_for(std::size_t raw_bytes) {
  const int needed = static_cast<int>(std::bit_width(raw_bytes > 1 ? raw_bytes - 1 : 1));
  return std::clamp(needed, kMinWindowLog, kMaxWindowLog);
}

}  // namespace

Status zstd_encode(RawBytes raw, int level, OutBytes coded, std::size_t& written) {
  const std::unique_ptr<ZSTD_CCtx, CctxDeleter> context(ZSTD_createCCtx());
  if (!context) return Status::kNoMemory;
  ZSTD_CCtx* const cctx = context.get();
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, kZstdLevelForLevel[static_cast<std::size_t>(level)]);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 0);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_dictIDFlag, 0);
  ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 1);
  if (level >= kLongMatchingFromLevel) {
    ZSTD_CCtx_setParameter(cctx, ZSTD_c_enableLongDistanceMatching, 1);
    ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, window_log_for(raw.size()));
  }
  const std::size_t result = ZSTD_compress2(cctx, coded.data(), coded.size(), raw.data(), raw.size());
  if (ZSTD_isError(result)) {
    return ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation ? Status::kNoMemory : Status::kDoesNotFit;
  }
  written = result;
  return Status::kOk;
}

Status zstd_decode(RawBytes coded, OutBytes raw) {
  // A frame must announce exactly the block's raw size before anything is decoded.
  const unsigned long long announced = ZSTD_getFrameContentSize(coded.data(), coded.size());
  if (announced != raw.size()) return Status::kCorrupt;
  BudgetAllocator budget(decoder_memory_budget(raw.size()));
  const ZSTD_customMem memory = {&BudgetAllocator::allocate_for, &BudgetAllocator::release_for, &budget};
  const std::unique_ptr<ZSTD_DCtx, DctxDeleter> context(ZSTD_createDCtx_advanced(memory));
  if (!context) return Status::kNoMemory;
  ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, kMaxWindowLog);
  const std::size_t result = ZSTD_decompressDCtx(context.get(), raw.data(), raw.size(), coded.data(), coded.size());
  return !ZSTD_isError(result) && result == raw.size() ? Status::kOk : Status::kCorrupt;
}

}  // namespace lzcodec
