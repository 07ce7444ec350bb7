// LZ4 block format: the fast compressor at levels 0 to 2, LZ4 HC above.
#include <lz4.h>
#include <lz4hc.h>

#include <array>

#include "backend.h"

namespace lzcodec {
namespace {

constexpr std::array<int, 3> kAccelerationForLevel = {8, 3, 1};
constexpr std::array<int, 10> kHcLevelForLevel = {0, 0, 0, 4, 6, 8, 9, 10, 11, 12};

bool fits_lz4_api(std::size_t raw_bytes, std::size_t coded_bytes) {
  return raw_bytes <= LZ4_MAX_INPUT_SIZE && coded_bytes <= LZ4_MAX_INPUT_SIZE;
}

}  // namespace

Status lz4_encode(RawBytes raw, int level, OutBytes coded, std::size_t& written) {
  if (!fits_lz4_api(raw.size(), coded.size())) return Status::kDoesNotFit;
  const auto* source = reinterpret_cast<const char*>(raw.data());
  auto* destination = reinterpret_cast<char*>(coded.data());
  const int source_bytes = static_cast<int>(raw.size());
  const int capacity = static_cast<int>(coded.size());
  const int result = level < 3 ? LZ4_compress_fast(source, destination, source_bytes, capacity,
                                                   kAccelerationForLevel[static_cast<std::size_t>(level)])
                               : LZ4_compress_HC(source, destination, source_bytes, capacity,
                                                 kHcLevelForLevel[static_cast<std::size_t>(level)]);
  if (result <= 0) return Status::kDoesNotFit;
  written = static_cast<std::size_t>(result);
  return Status::kOk;
}

Status lz4_decode(RawBytes coded, OutBytes raw) {
  if (!fits_lz4_api(raw.size(), coded.size())) return Status::kCorrupt;
  const int result = LZ4_decompress_safe(reinterpret_cast<const char*>(coded.data()),
                                         reinterpret_cast<char*>(raw.data()), static_cast<int>(coded.size()),
                                         static_cast<int>(raw.size()));
  return result == static_cast<int>(raw.size()) ? Status::kOk : Status::kCorrupt;
}

}  // namespace lzcodec
