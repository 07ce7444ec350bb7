// bzip3 blocks: the whole block is one BWT block, so the block size is bzip3's block size.
extern "C" {  // libbz3.h declares no C linkage of its own
#include <libbz3.h>
}

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "backend.h"

namespace lzcodec {
namespace {

// bzip3 states hold blocks of 65 KiB to 511 MiB.
constexpr std::size_t kMinStateBlock = 65 * 1024;
constexpr std::size_t kMaxStateBlock = 511 * 1024 * 1024;

struct StateDeleter {
  void operator()(bz3_state* state) const { bz3_free(state); }
};

std::unique_ptr<bz3_state, StateDeleter> make_state(std::size_t raw_bytes) {
  return std::unique_ptr<bz3_state, StateDeleter>(
      bz3_new(static_cast<std::int32_t>(std::max(raw_bytes, kMinStateBlock))));
}

}  // namespace

Status bzip3_encode(RawBytes raw, int /*level: the block size carries it*/, OutBytes coded, std::size_t& written) {
  if (raw.size() > kMaxStateBlock) return Status::kDoesNotFit;
  const auto state = make_state(raw.size());
  if (!state) return Status::kNoMemory;
  // bzip3 codes in place, in a buffer of its bound rather than of the caller's capacity.
  std::vector<std::byte> buffer(bz3_bound(raw.size()));
  std::memcpy(buffer.data(), raw.data(), raw.size());
  const std::int32_t result = bz3_encode_block(state.get(), reinterpret_cast<std::uint8_t*>(buffer.data()),
                                               static_cast<std::int32_t>(raw.size()));
  if (result < 0) return Status::kNoMemory;
  if (static_cast<std::size_t>(result) > coded.size()) return Status::kDoesNotFit;
  std::memcpy(coded.data(), buffer.data(), static_cast<std::size_t>(result));
  written = static_cast<std::size_t>(result);
  return Status::kOk;
}

Status bzip3_decode(RawBytes coded, OutBytes raw) {
  if (raw.size() > kMaxStateBlock || coded.size() > bz3_bound(raw.size())) return Status::kCorrupt;
  const auto state = make_state(raw.size());
  if (!state) return Status::kNoMemory;
  std::vector<std::byte> buffer(bz3_bound(std::max(raw.size(), kMinStateBlock)));
  std::memcpy(buffer.data(), coded.data(), coded.size());
  const std::int32_t result = bz3_decode_block(state.get(), reinterpret_cast<std::uint8_t*>(buffer.data()),
                                               static_cast<std::int32_t>(coded.size()),
                                               static_cast<std::int32_t>(raw.size()));
  if (result != static_cast<std::int32_t>(raw.size())) return Status::kCorrupt;
  std::memcpy(raw.data(), buffer.data(), raw.size());
  return Status::kOk;
}

}  // namespace lzcodec
