#include "mapped_file.h"

#include <cstdlib>

namespace lzpack {
namespace {

constexpr std::size_t kProbeBlockBytes = 0x11000;
constexpr std::uint32_t kProbeReadBytes = 0x10000;
constexpr std::uintptr_t kPageBytes = 4096;
constexpr std::uint32_t kFailedSeekLowHalf = 0xFFFFFFFFu;

std::int32_t high_half(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint64_t>(value) >> 32);
}

std::int32_t low_half(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

std::int64_t join_halves(std::int32_t high, std::uint32_t low) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) |
                                   low);
}

void seek_from_start(platform::FileHandle file, std::int64_t position) {
  std::int32_t high = high_half(position);
  // Where the probe or a restore lands after a failed seek is not looked at: the probe only counts
  // what its reads return, and the size is already known when the position is restored.
  (void)platform::seek_file(file, low_half(position), &high, platform::SeekOrigin::kBegin);
}

}  // namespace

bool open_mapped_input(const char* path, InputMapping& input) {
  input.file = platform::open_existing_for_reading(path);
  if (input.file == platform::kInvalidFile) return false;
  input.size = query_file_size(input.file);
  input.mapping = platform::create_file_mapping(input.file, platform::Access::kRead,
                                                static_cast<std::uint32_t>(high_half(input.size)),
                                                static_cast<std::uint32_t>(input.size));
  if (!input.mapping.valid) return false;
  input.view = static_cast<const std::byte*>(platform::map_view(input.mapping, platform::Access::kRead));
  return input.view != nullptr;
}

std::int64_t query_file_size(platform::FileHandle file) {
  std::int32_t position_high = 0;
  // A failure here leaves position 0, which is where a file whose position cannot be read is.
  const std::uint32_t position_low = platform::seek_file(file, 0, &position_high, platform::SeekOrigin::kCurrent);
  const std::int64_t position = join_halves(position_high, position_low);

  std::int32_t end_high = 0;
  const std::uint32_t end_low = platform::seek_file(file, 0, &end_high, platform::SeekOrigin::kEnd);
  std::int64_t size = join_halves(end_high, end_low);
  if (end_low == kFailedSeekLowHalf && platform::last_error() != 0) size = probe_file_size(file);

  seek_from_start(file, position);
  return size;
}

std::int64_t probe_file_size(platform::FileHandle file) {
  void* block = std::malloc(kProbeBlockBytes);
  if (block == nullptr) return -1;
  auto* const work =
      reinterpret_cast<void*>((reinterpret_cast<std::uintptr_t>(block) & ~(kPageBytes - 1)) + kPageBytes);

  std::int64_t size = 0;
  for (int bit = 62; bit >= 0; --bit) {
    const std::int64_t candidate_bit = std::int64_t{1} << bit;
    size |= candidate_bit;
    seek_from_start(file, size);
    std::uint32_t count = 0;
    // Only the count matters: a failed read counts nothing, like a read past the end.
    (void)platform::read_file(file, work, kProbeReadBytes, &count);
    if (count == 0) {
      size &= ~candidate_bit;
    } else if (count < kProbeReadBytes) {
      size += count;
      break;
    }
  }
  std::free(block);
  return size;
}

bool create_mapped_output(const char* path, std::int64_t size, OutputMapping& output) {
  output.file = platform::create_or_replace_for_read_write(path);
  if (output.file == platform::kInvalidFile) return false;
  output.size = size;
  output.mapping = platform::create_file_mapping(output.file, platform::Access::kReadWrite,
                                                 static_cast<std::uint32_t>(high_half(size)),
                                                 static_cast<std::uint32_t>(size));
  if (!output.mapping.valid) return false;
  output.view = static_cast<std::byte*>(platform::map_view(output.mapping, platform::Access::kReadWrite));
  return output.view != nullptr;
}

void release_output_view(OutputMapping& output) {
  // Nothing can be done about a release that fails; the process end releases it anyway.
  (void)platform::unmap_view(output.mapping, output.view);
  output.view = nullptr;
  (void)platform::close_mapping(output.mapping);
}

void set_file_length(platform::FileHandle file, std::int64_t length) {
  seek_from_start(file, length);
  // A cut that fails leaves a longer file, whose payload the reader then refuses as too long.
  (void)platform::set_end_of_file(file);
}

void discard_output(OutputMapping& output, const char* path) {
  if (output.view != nullptr) release_output_view(output);
  if (output.file != platform::kInvalidFile) {
    (void)platform::close_file(output.file);
    output.file = platform::kInvalidFile;
  }
  // A removal that fails leaves a file the reader refuses: its payload does not check out.
  (void)platform::remove_file(path);
}

}  // namespace lzpack
