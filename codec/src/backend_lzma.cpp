// Raw LZMA2 streams (no .xz container: the block format records sizes and checksums), optionally
// behind liblzma's x86 branch filter or its delta filter.
#include <lzma.h>

#include <algorithm>
#include <array>
#include <limits>

#include "backend.h"
#include "budget_allocator.h"

namespace lzcodec {
namespace {

constexpr int kExtremeLevel = 9;

struct FilterChain {
  lzma_options_lzma lzma{};
  lzma_options_delta delta{};
  std::array<lzma_filter, 3> filters{};
};

std::uint32_t dictionary_for(std::size_t raw_bytes, std::uint32_t preset_dictionary) {
  // A dictionary larger than the block buys nothing and costs memory on both sides.
  const std::size_t needed = std::max<std::size_t>(raw_bytes, LZMA_DICT_SIZE_MIN);
  return static_cast<std::uint32_t>(std::min<std::size_t>(needed, preset_dictionary));
}

void build_chain(FilterChain& chain, LzmaFilter filter, int delta_distance) {
  std::size_t next = 0;
  if (filter == LzmaFilter::kX86) {
    chain.filters[next++] = {LZMA_FILTER_X86, nullptr};
  } else if (filter == LzmaFilter::kDelta) {
    chain.delta.type = LZMA_DELTA_TYPE_BYTE;
    chain.delta.dist = static_cast<std::uint32_t>(delta_distance);
    chain.filters[next++] = {LZMA_FILTER_DELTA, &chain.delta};
  }
  chain.filters[next++] = {LZMA_FILTER_LZMA2, &chain.lzma};
  chain.filters[next] = {LZMA_VLI_UNKNOWN, nullptr};
}

}  // namespace

Status lzma_encode(RawBytes raw, int level, LzmaFilter filter, int delta_distance, OutBytes coded,
                   std::size_t& written) {
  FilterChain chain;
  const std::uint32_t preset = static_cast<std::uint32_t>(level) | (level == kExtremeLevel ? LZMA_PRESET_EXTREME : 0u);
  if (lzma_lzma_preset(&chain.lzma, preset)) return Status::kNoMemory;
  chain.lzma.dict_size = dictionary_for(raw.size(), chain.lzma.dict_size);
  build_chain(chain, filter, delta_distance);

  std::size_t out_position = 0;
  const lzma_ret result = lzma_raw_buffer_encode(chain.filters.data(), nullptr, reinterpret_cast<const std::uint8_t*>(raw.data()),
                                                 raw.size(), reinterpret_cast<std::uint8_t*>(coded.data()), &out_position,
                                                 coded.size());
  if (result == LZMA_BUF_ERROR) return Status::kDoesNotFit;
  if (result != LZMA_OK) return Status::kNoMemory;
  written = out_position;
  return Status::kOk;
}

Status lzma_decode(RawBytes coded, LzmaFilter filter, int delta_distance, OutBytes raw) {
  FilterChain chain;
  chain.lzma.dict_size = dictionary_for(raw.size(), std::numeric_limits<std::uint32_t>::max());
  build_chain(chain, filter, delta_distance);

  BudgetAllocator budget(decoder_memory_budget(raw.size()));
  const lzma_allocator allocator = {&BudgetAllocator::allocate_array_for, &BudgetAllocator::release_for, &budget};
  std::size_t in_position = 0;
  std::size_t out_position = 0;
  const lzma_ret result = lzma_raw_buffer_decode(chain.filters.data(), &allocator,
                                                 reinterpret_cast<const std::uint8_t*>(coded.data()), &in_position,
                                                 coded.size(), reinterpret_cast<std::uint8_t*>(raw.data()),
                                                 &out_position, raw.size());
  if (result == LZMA_MEM_ERROR) return Status::kNoMemory;
  return result == LZMA_OK && in_position == coded.size() && out_position == raw.size() ? Status::kOk
                                                                                       : Status::kCorrupt;
}

}  // namespace lzcodec
