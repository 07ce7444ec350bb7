// A malloc-backed allocator that refuses to go past a fixed number of bytes in use, handed to the
// libraries' decoders so that a hostile payload cannot make them allocate more than its block
// sizes justify.
#pragma once

#include <cstddef>

namespace lzcodec {

// Bytes of working memory a decoder may take for a block of `raw_bytes`: a window the size of the
// block, three times over for brotli, which rounds its window up to a power of two (below twice
// the block) and, while growing it, holds the old one beside the new; and a fixed allowance for
// tables, a few MiB at most, so that a tiny block cannot take far more than that.
std::size_t decoder_memory_budget(std::size_t raw_bytes);

class BudgetAllocator {
 public:
  explicit BudgetAllocator(std::size_t budget_bytes) : remaining_(budget_bytes) {}
  BudgetAllocator(const BudgetAllocator&) = delete;
  BudgetAllocator& operator=(const BudgetAllocator&) = delete;

  void* allocate(std::size_t bytes);
  void release(void* block);

  // C-style entry points for libraries that take (opaque, size) / (opaque, pointer) callbacks.
  static void* allocate_for(void* self, std::size_t bytes);
  static void* allocate_array_for(void* self, std::size_t count, std::size_t size);
  static void release_for(void* self, void* block);

 private:
  std::size_t remaining_;
};

}  // namespace lzcodec
