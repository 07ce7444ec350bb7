#include "fake_platform.h"

#include <algorithm>
#include <cstring>

namespace lzpack {

namespace test {
platform::FileHandle handle_of(FakeFile& file) { return reinterpret_cast<platform::FileHandle>(&file); }
}  // namespace test

namespace platform {
namespace {

std::uint32_t g_last_error = 0;

test::FakeFile& file_of(FileHandle handle) { return *reinterpret_cast<test::FakeFile*>(handle); }

}  // namespace

std::uint32_t seek_file(FileHandle handle, std::int32_t distance_low, std::int32_t* distance_high, SeekOrigin origin) {
  test::FakeFile& file = file_of(handle);
  const std::uint64_t high = distance_high != nullptr ? static_cast<std::uint32_t>(*distance_high) : 0u;
  const auto distance = static_cast<std::int64_t>((high << 32) | static_cast<std::uint32_t>(distance_low));
  if (origin == SeekOrigin::kEnd && file.end_seek_fails) {
    g_last_error = 1;
    return 0xFFFFFFFFu;
  }
  const std::int64_t base = origin == SeekOrigin::kBegin ? 0 : origin == SeekOrigin::kCurrent ? file.position : file.content_bytes;
  file.position = base + distance;
  g_last_error = 0;
  if (distance_high != nullptr) *distance_high = static_cast<std::int32_t>(static_cast<std::uint64_t>(file.position) >> 32);
  return static_cast<std::uint32_t>(file.position);
}

std::uint32_t last_error() { return g_last_error; }

bool read_file(FileHandle handle, void* buffer, std::uint32_t count, std::uint32_t* count_read) {
  test::FakeFile& file = file_of(handle);
  const std::int64_t available = std::max<std::int64_t>(0, file.content_bytes - file.position);
  *count_read = static_cast<std::uint32_t>(std::min<std::int64_t>(count, available));
  std::memset(buffer, 0xA5, count);  // the whole requested count must be writable
  file.reads.emplace_back(file.position, *count_read);
  file.position += *count_read;
  return true;
}

// The rest is never reached by the size queries under test.
FileHandle open_existing_for_reading(const char*) { return kInvalidFile; }
FileHandle create_or_replace_for_read_write(const char*) { return kInvalidFile; }
MappingHandle create_file_mapping(FileHandle, Access, std::uint32_t, std::uint32_t) { return {}; }
void* map_view(const MappingHandle&, Access) { return nullptr; }
bool unmap_view(const MappingHandle&, void*) { return false; }
bool close_mapping(MappingHandle&) { return false; }
bool close_file(FileHandle) { return false; }
bool set_end_of_file(FileHandle) { return false; }
bool names_open_file(FileHandle, const char*) { return false; }
bool remove_file(const char*) { return false; }

}  // namespace platform
}  // namespace lzpack
