#include "budget_allocator.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace lzcodec {
namespace {

// Each block is preceded by its size, kept in a header that preserves malloc's alignment.
constexpr std::size_t kHeaderBytes = alignof(std::max_align_t);

// Brotli's Huffman tables at their worst (256 trees for each of its three alphabets, the
// large-window distances included) take under 4 MiB; the other decoders need far less.
constexpr std::size_t kTableAllowanceBytes = 8 * 1024 * 1024;

}  // namespace

std::size_t decoder_memory_budget(std::size_t raw_bytes) { return 3 * raw_bytes + kTableAllowanceBytes; }

void* BudgetAllocator::allocate(std::size_t bytes) {
  if (bytes > remaining_ || bytes > std::numeric_limits<std::size_t>::max() - kHeaderBytes) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(bytes + kHeaderBytes));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &bytes, sizeof bytes);
  remaining_ -= bytes;
  return block + kHeaderBytes;
}

void BudgetAllocator::release(void* block) {
  if (block == nullptr) return;
  auto* start = static_cast<unsigned char*>(block) - kHeaderBytes;
  std::size_t bytes = 0;
  std::memcpy(&bytes, start, sizeof bytes);
  remaining_ += bytes;
  std::free(start);
}

void* BudgetAllocator::allocate_for(void* self, std::size_t bytes) {
  return static_cast<BudgetAllocator*>(self)->allocate(bytes);
}

void* BudgetAllocator::allocate_array_for(void* self, std::size_t count, std::size_t size) {
  if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) return nullptr;
  return static_cast<BudgetAllocator*>(self)->allocate(count * size);
}

void BudgetAllocator::release_for(void* self, void* block) { static_cast<BudgetAllocator*>(self)->release(block); }

}  // namespace lzcodec
